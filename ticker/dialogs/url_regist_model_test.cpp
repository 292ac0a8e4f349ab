#include "ticker/dialogs/url_regist_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"
#include "tests/registry_test_key.h"

namespace {

using url_regist::VectorItemList;

UrlEntry Entry(const std::string& title, int level = 40) {
  return UrlEntry{title, "http://host/" + title, "http://from/" + title, level};
}

std::vector<std::string> Titles(const url_regist::UrlItemList& list) {
  std::vector<std::string> titles;
  titles.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) titles.push_back(list.Entry(i).title);
  return titles;
}

VectorItemList ListOf(std::initializer_list<const char*> titles) {
  VectorItemList list;
  for (const char* t : titles) list.Insert(list.Count(), Entry(t));
  return list;
}

TEST(UrlRegistFind, PrefixWithoutCaseFromTheSecondItemRoundToTheFirst) {
  const std::vector<std::string> titles{"News A", "news b", "Sports", "ニュース"};
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "NEWS"), 1);  // the first item is searched last
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "news a"), 0);
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "sp"), 2);
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "ニュ"), 3);
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "ports"), -1);  // a prefix, not a part
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, "News A and more"), -1);
  EXPECT_EQ(url_regist::FindTitlePrefix(titles, ""), -1);
  EXPECT_EQ(url_regist::FindTitlePrefix({"only"}, "ONLY"), 0);
  EXPECT_EQ(url_regist::FindTitlePrefix({}, "x"), -1);
}

TEST(UrlRegistAdd, AppendsOrOverwritesInPlaceOnlyWhenTheUserSaysYes) {
  VectorItemList list = ListOf({"Alpha", "Beta news", "Gamma"});
  int asked = 0;
  auto no = [&] {
    ++asked;
    return false;
  };
  auto yes = [&] {
    ++asked;
    return true;
  };

  EXPECT_EQ(url_regist::AddEntry(list, Entry("Delta"), "Delta", no), 3);
  EXPECT_EQ(asked, 0);

  // "beta" is a prefix of "Beta news": the question is asked.
  EXPECT_EQ(url_regist::AddEntry(list, Entry("beta", 7), "beta", no), -1);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "Beta news", "Gamma", "Delta"}));

  EXPECT_EQ(url_regist::AddEntry(list, Entry("beta", 7), "beta", yes), 1);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "beta", "Gamma", "Delta"}));
  EXPECT_EQ(list.Entry(1).level, 7);
  EXPECT_EQ(list.Entry(1).url, "http://host/beta");

  // An empty title finds nothing and appends an item with an empty text.
  EXPECT_EQ(url_regist::AddEntry(list, Entry(""), "", yes), 4);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(list.Entry(4).title, "");
}

TEST(UrlRegistDelete, ByTheTitleInTheEditNotBySelection) {
  VectorItemList list = ListOf({"Alpha", "Beta", "Gamma"});
  list.Select(0);
  EXPECT_FALSE(url_regist::DeleteByTitle(list, "Omega"));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(url_regist::DeleteByTitle(list, "gam"));
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "Beta"}));
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_FALSE(url_regist::DeleteByTitle(list, ""));
}

TEST(UrlRegistMove, UpAndDownStopAtTheEndsAndKeepTheRecord) {
  VectorItemList list = ListOf({"Alpha", "Beta", "Gamma"});
  EXPECT_FALSE(url_regist::MoveSelected(list, -1));  // no selection
  list.Select(0);
  EXPECT_FALSE(url_regist::MoveSelected(list, -1));
  list.Select(2);
  EXPECT_FALSE(url_regist::MoveSelected(list, +1));
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "Beta", "Gamma"}));

  EXPECT_TRUE(url_regist::MoveSelected(list, -1));
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "Gamma", "Beta"}));
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_EQ(list.Entry(1).url, "http://host/Gamma");
  list.Select(0);
  EXPECT_TRUE(url_regist::MoveSelected(list, +1));
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Gamma", "Alpha", "Beta"}));
  EXPECT_EQ(list.Selected(), 1);
}

class UrlRegistStore : public RegistryKeyTest {};

TEST_F(UrlRegistStore, GapsCloseOnLoadAndSlotsFollowTheListOnSave) {
  for (int slot : {0, 3, 7}) {
    ASSERT_TRUE(
        url_list::WriteEntry(reg_, url_list::SlotKey(slot), Entry("slot" + std::to_string(slot), slot)));
  }
  VectorItemList list;
  url_regist::Load(reg_, list);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"slot0", "slot3", "slot7"}));
  EXPECT_EQ(list.Entry(2).referrer, "http://from/slot7");
  EXPECT_EQ(list.Entry(2).level, 7);

  ASSERT_TRUE(url_regist::Save(reg_, list));
  for (int slot = 0; slot < 32; ++slot) EXPECT_EQ(url_list::SlotExists(reg_, slot), slot < 3) << slot;
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::SlotKey(2), e));
  EXPECT_EQ(e.title, "slot7");
  EXPECT_EQ(e.level, 7);
}

TEST_F(UrlRegistStore, ThirtyFiveItemsSaveAsThirtyTwo) {
  VectorItemList list;
  for (int i = 0; i < 35; ++i) list.Insert(list.Count(), Entry("t" + std::to_string(i), i));
  EXPECT_EQ(url_regist::EntriesToSave(list).size(), 32u);
  ASSERT_TRUE(url_regist::Save(reg_, list));
  EXPECT_TRUE(url_list::SlotExists(reg_, 31));
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::SlotKey(31), e));
  EXPECT_EQ(e.title, "t31");
  EXPECT_EQ(url_list::ReadList(reg_).size(), 32u);
}

TEST_F(UrlRegistStore, SaveWaitsForAnotherWriterHoldingTheListLock) {
  VectorItemList list = ListOf({"mine"});
  std::atomic<bool> saved{false};
  std::thread saver;
  {
    url_list::ListLock other;  // the companion rewriting the list
    ASSERT_TRUE(other.Held());
    saver = std::thread([&] {
      CRegistry reg(base_);
      url_regist::Save(reg, list);
      saved = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(saved.load());
    EXPECT_FALSE(url_list::SlotExists(reg_, 0));
  }
  saver.join();
  EXPECT_TRUE(saved.load());
  EXPECT_TRUE(url_list::SlotExists(reg_, 0));
}

TEST(UrlRegistText, HelpTextHasItsFortyThreeLines) {
  const std::string& text = url_regist::HelpText();
  std::size_t lines = 1;
  for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++lines;
  EXPECT_EQ(lines, 43u);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

}  // namespace

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

TEST(UrlRegistFind, TheWholeTitleWithoutCaseFromTheSecondItemRoundToTheFirst) {
  const std::vector<std::string> titles{"News A", "news b", "Sports", "星", "星雷タイムズ"};
  EXPECT_EQ(url_regist::FindTitle(titles, "NEWS B"), 1);
  EXPECT_EQ(url_regist::FindTitle(titles, "news a"), 0);
  // A title that is only the start of another never finds it, either way round.
  EXPECT_EQ(url_regist::FindTitle(titles, "星"), 3);
  EXPECT_EQ(url_regist::FindTitle(titles, "星雷タイムズ"), 4);
  EXPECT_EQ(url_regist::FindTitle(titles, "星雷"), -1);
  EXPECT_EQ(url_regist::FindTitle(titles, "sp"), -1);
  EXPECT_EQ(url_regist::FindTitle(titles, "News A and more"), -1);
  EXPECT_EQ(url_regist::FindTitle(titles, ""), -1);
  EXPECT_EQ(url_regist::FindTitle({"abc", "ABC"}, "abc"), 1);  // the first item is searched last
  EXPECT_EQ(url_regist::FindTitle({"only"}, "ONLY"), 0);
  EXPECT_EQ(url_regist::FindTitle({}, "x"), -1);
}

TEST(UrlRegistAdd, AppendsOrOverwritesTheSameTitleOnlyWhenTheUserSaysYes) {
  VectorItemList list = ListOf({"Alpha", "星雷タイムズ", "Gamma"});
  url_regist::KnownUrls known;
  int asked = 0;
  auto no = [&] {
    ++asked;
    return false;
  };
  auto yes = [&] {
    ++asked;
    return true;
  };

  // A title that only begins another is a new entry.
  auto added = url_regist::AddEntry(list, Entry("星"), no, known);
  EXPECT_EQ(added.outcome, url_regist::AddOutcome::kAppended);
  EXPECT_EQ(added.index, 3);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(known.count("http://host/星"), 1u);

  EXPECT_EQ(url_regist::AddEntry(list, Entry("gamma", 7), no, known).outcome,
            url_regist::AddOutcome::kDeclined);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "星雷タイムズ", "Gamma", "星"}));

  added = url_regist::AddEntry(list, Entry("星", 7), yes, known);
  EXPECT_EQ(added.outcome, url_regist::AddOutcome::kReplaced);
  EXPECT_EQ(added.index, 3);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"Alpha", "星雷タイムズ", "Gamma", "星"}));
  EXPECT_EQ(list.Entry(3).level, 7);
  EXPECT_EQ(list.Entry(1).level, 40);
}

TEST(UrlRegistAdd, NothingIsAddedWithoutATitleOrAnAddressOrBeyondThirtyTwo) {
  VectorItemList list;
  url_regist::KnownUrls known;
  auto yes = [] { return true; };
  EXPECT_EQ(url_regist::AddEntry(list, UrlEntry{"", "http://a/", "", 40}, yes, known).outcome,
            url_regist::AddOutcome::kNoTitle);
  EXPECT_EQ(url_regist::AddEntry(list, UrlEntry{" \t", "http://a/", "", 40}, yes, known).outcome,
            url_regist::AddOutcome::kNoTitle);
  EXPECT_EQ(url_regist::AddEntry(list, UrlEntry{"t", " ", "", 40}, yes, known).outcome,
            url_regist::AddOutcome::kNoUrl);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(known.empty());

  for (int i = 0; i < 32; ++i) {
    ASSERT_EQ(url_regist::AddEntry(list, Entry("t" + std::to_string(i)), yes, known).outcome,
              url_regist::AddOutcome::kAppended);
  }
  const auto full = url_regist::AddEntry(list, Entry("t32"), yes, known);
  EXPECT_EQ(full.outcome, url_regist::AddOutcome::kListFull);
  EXPECT_FALSE(full.Changed());
  EXPECT_EQ(list.Count(), 32);
  EXPECT_EQ(known.count("http://host/t32"), 0u);
  // A full list still takes an overwrite.
  EXPECT_EQ(url_regist::AddEntry(list, Entry("T5", 9), yes, known).outcome,
            url_regist::AddOutcome::kReplaced);
  EXPECT_EQ(list.Entry(5).level, 9);
}

TEST(UrlRegistDelete, ByTheWholeTitleInTheEditNotBySelection) {
  VectorItemList list = ListOf({"星雷タイムズ", "Beta", "星"});
  list.Select(1);
  EXPECT_FALSE(url_regist::DeleteByTitle(list, "Omega"));
  EXPECT_FALSE(url_regist::DeleteByTitle(list, "bet"));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(url_regist::DeleteByTitle(list, "星"));
  EXPECT_EQ(Titles(list), std::vector<std::string>({"星雷タイムズ", "Beta"}));
  EXPECT_EQ(list.Selected(), 1);
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

  // The moved item stays selected, not another one a search by its title would find first.
  VectorItemList same = ListOf({"q", "A", "a"});
  same.Select(1);
  EXPECT_TRUE(url_regist::MoveSelected(same, -1));
  EXPECT_EQ(Titles(same), std::vector<std::string>({"A", "q", "a"}));
  EXPECT_EQ(same.Selected(), 0);
}

class UrlRegistStore : public RegistryKeyTest {
 protected:
  // What the companion's AddURL does while the dialog is open: one more slot under the list lock.
  void CompanionAppends(const UrlEntry& entry) {
    url_list::ListLock lock;
    ASSERT_TRUE(url_list::WriteEntry(
        reg_, url_list::SlotKey(static_cast<int>(url_list::ReadList(reg_).size())), entry));
  }
  std::vector<std::string> StoredTitles() {
    std::vector<std::string> titles;
    for (const UrlEntry& e : url_list::ReadList(reg_)) titles.push_back(e.title);
    return titles;
  }
  url_regist::KnownUrls known;
};

TEST_F(UrlRegistStore, GapsCloseOnLoadAndSlotsFollowTheListOnSave) {
  for (int slot : {0, 3, 7}) {
    ASSERT_TRUE(
        url_list::WriteEntry(reg_, url_list::SlotKey(slot), Entry("slot" + std::to_string(slot), slot)));
  }
  VectorItemList list;
  url_regist::Load(reg_, list, known);
  EXPECT_EQ(Titles(list), std::vector<std::string>({"slot0", "slot3", "slot7"}));
  EXPECT_EQ(list.Entry(2).referrer, "http://from/slot7");
  EXPECT_EQ(list.Entry(2).level, 7);

  const auto saved = url_regist::SaveMerged(reg_, list, known);
  ASSERT_TRUE(saved.saved);
  EXPECT_TRUE(saved.writeOk);
  EXPECT_EQ(saved.arrived, 0);
  for (int slot = 0; slot < 32; ++slot) EXPECT_EQ(url_list::SlotExists(reg_, slot), slot < 3) << slot;
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::SlotKey(2), e));
  EXPECT_EQ(e.title, "slot7");
  EXPECT_EQ(e.level, 7);
}

TEST_F(UrlRegistStore, AnEntryAddedWhileTheDialogWasOpenIsKeptAndADeletedOneStaysDeleted) {
  ASSERT_TRUE(url_list::WriteList(reg_, {Entry("A"), Entry("B")}));
  VectorItemList list;
  url_regist::Load(reg_, list, known);
  ASSERT_TRUE(url_regist::DeleteByTitle(list, "A"));
  url_regist::AddEntry(list, Entry("C"), nullptr, known);
  CompanionAppends(Entry("D"));
  // The same address the user added by hand is not taken twice.
  CompanionAppends(UrlEntry{"C(2)", "http://host/C", "", 40});

  const auto saved = url_regist::SaveMerged(reg_, list, known);
  ASSERT_TRUE(saved.saved);
  EXPECT_EQ(saved.arrived, 1);
  EXPECT_EQ(StoredTitles(), std::vector<std::string>({"B", "C", "D"}));
  EXPECT_EQ(url_list::ReadList(reg_)[2].referrer, "http://from/D");
}

TEST_F(UrlRegistStore, WhatDoesNotFitIsNamedKeptInTheListAndNothingIsWritten) {
  std::vector<UrlEntry> stored;
  stored.reserve(31);
  for (int i = 0; i < 31; ++i) stored.push_back(Entry("t" + std::to_string(i)));
  ASSERT_TRUE(url_list::WriteList(reg_, stored));
  VectorItemList list;
  url_regist::Load(reg_, list, known);
  ASSERT_EQ(url_regist::AddEntry(list, Entry("mine"), nullptr, known).outcome,
            url_regist::AddOutcome::kAppended);
  CompanionAppends(Entry("theirs"));

  auto saved = url_regist::SaveMerged(reg_, list, known);
  EXPECT_FALSE(saved.saved);
  EXPECT_EQ(saved.arrived, 1);
  EXPECT_EQ(saved.notSaved, std::vector<std::string>({"theirs"}));
  EXPECT_EQ(list.Count(), 33);
  EXPECT_EQ(StoredTitles().back(), "theirs");  // untouched
  EXPECT_EQ(StoredTitles().size(), 32u);
  EXPECT_EQ(url_regist::NotSavedText({"theirs", std::string(150, 'x')}),
            "次のURLは登録できませんでした（最大32件）：\ntheirs\n" + std::string(100, 'x') + "...");

  // The user makes room; the next "設定" saves every item without taking "theirs" twice.
  ASSERT_TRUE(url_regist::DeleteByTitle(list, "t3"));
  saved = url_regist::SaveMerged(reg_, list, known);
  EXPECT_TRUE(saved.saved);
  EXPECT_EQ(saved.arrived, 0);
  const auto titles = StoredTitles();
  ASSERT_EQ(titles.size(), 32u);
  EXPECT_EQ(titles[30], "mine");
  EXPECT_EQ(titles[31], "theirs");
}

TEST_F(UrlRegistStore, ThirtyFiveItemsAreNotCutToThirtyTwo) {
  VectorItemList list;
  for (int i = 0; i < 35; ++i) list.Insert(list.Count(), Entry("t" + std::to_string(i), i));
  EXPECT_EQ(url_regist::EntriesToSave(list).size(), 32u);
  const auto saved = url_regist::SaveMerged(reg_, list, known);
  EXPECT_FALSE(saved.saved);
  EXPECT_EQ(saved.notSaved, std::vector<std::string>({"t32", "t33", "t34"}));
  EXPECT_TRUE(url_list::ReadList(reg_).empty());
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
      url_regist::KnownUrls mine;
      url_regist::SaveMerged(reg, list, mine);
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

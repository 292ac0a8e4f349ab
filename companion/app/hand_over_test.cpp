#include "companion/app/hand_over.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"
#include "tests/recording_ticker.h"
#include "tests/registry_test_key.h"

namespace {

using zellora_test::RecordingTicker;

class HandOver : public RegistryKeyTest {
 protected:
  void Put(int slot, const std::string& title, const std::string& url, int level = 20) {
    ASSERT_TRUE(
        url_list::WriteEntry(reg_, url_list::SlotKey(slot), UrlEntry{title, url, "http://ref/", level}));
  }
  // Every slot 0-31 as "title|url|referrer|level", "-" for a missing one.
  std::vector<std::string> Slots() {
    std::vector<std::string> out;
    for (int slot = 0; slot < url_list::kMaxSlots; ++slot) {
      UrlEntry e;
      if (!url_list::LoadEntry(reg_, url_list::SlotKey(slot), e)) {
        out.push_back("-");
        continue;
      }
      out.push_back(e.title + "|" + e.url + "|" + e.referrer + "|" + std::to_string(e.level));
    }
    return out;
  }
  zellmate::AddResult Add(const std::string& title, const std::string& url,
                          const std::string& referrer = "") {
    return zellmate::AddURL(reg_, ticker, title, url, referrer);
  }

  RecordingTicker ticker;
};

TEST_F(HandOver, AddClosesGapsAppendsAtTheEndAndPostsTheNewSlot) {
  Put(0, "朝刊", "http://a/");
  Put(1, "夕刊", "http://b/");
  Put(5, "号外", "http://c/");
  const zellmate::AddResult r = Add("新着", "http://d/", "http://from/");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.slot, 3);
  EXPECT_TRUE(r.posted);
  EXPECT_TRUE(r.locked);
  EXPECT_EQ(ticker.commands, std::vector<int>{10003});
  std::vector<std::string> want(32, "-");
  want[0] = "朝刊|http://a/|http://ref/|20";
  want[1] = "夕刊|http://b/|http://ref/|20";
  want[2] = "号外|http://c/|http://ref/|20";
  want[3] = "新着|http://d/|http://from/|40";
  EXPECT_EQ(Slots(), want);
}

TEST_F(HandOver, UntitledPagesTakeTheSmallestFreeDefaultTitle) {
  Put(0, "お気に入り(1)", "http://a/");
  Put(1, "お気に入り(3)", "http://b/");
  zellmate::AddResult r = Add("", "http://c/");
  EXPECT_EQ(r.title, "お気に入り(2)");
  // Now 1, 2 and 3 are taken: the next one is 4, found by rescanning from the first entry.
  r = Add("", "http://d/");
  EXPECT_EQ(r.title, "お気に入り(4)");
  EXPECT_EQ(r.slot, 3);
  // A title that only looks similar does not count.
  ASSERT_TRUE(zellmate::DefaultTitle({UrlEntry{"お気に入り(1) ", "", "", 0}}) == "お気に入り(1)");
  EXPECT_EQ(zellmate::DefaultTitle({}), "お気に入り(1)");
}

TEST_F(HandOver, TakenTitlesAreNumberedFromTwoAndTheSamePageChangesNothing) {
  Put(0, "ニュース", "http://a/");
  Put(1, "ニュース(2)", "http://b/");
  Put(3, "表計算", "http://s/");
  zellmate::AddResult r = Add("ニュース", "http://other/");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.title, "ニュース(3)");
  EXPECT_EQ(r.slot, 3);

  // Title and URL both known: already subscribed, nothing written, nothing posted.
  ticker.commands.clear();
  const std::vector<std::string> before = Slots();
  r = Add("ニュース", "http://a/");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kSubscribed);
  EXPECT_EQ(Slots(), before);
  EXPECT_TRUE(ticker.commands.empty());

  // A known URL under a new title is added again; 0x5C trail bytes (表) compare exactly.
  r = Add("表計算", "http://a/");
  EXPECT_EQ(r.title, "表計算(2)");
  r = Add("別名", "http://a/");
  EXPECT_EQ(r.title, "別名");
  EXPECT_EQ(r.slot, 5);
}

TEST_F(HandOver, AFullListEmptyUrlOrStoppedTickerAreHandledSilently) {
  for (int slot = 0; slot < 32; ++slot)
    Put(slot, "t" + std::to_string(slot), "http://x/" + std::to_string(slot));
  const std::vector<std::string> full = Slots();
  zellmate::AddResult r = Add("新しい", "http://new/");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kListFull);
  EXPECT_EQ(Slots(), full);
  EXPECT_TRUE(ticker.commands.empty());

  ASSERT_TRUE(reg_.DeleteKey(url_list::SlotKey(7)));
  r = Add("新しい", "");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kNoUrl);
  EXPECT_FALSE(url_list::SlotExists(reg_, 7));
  EXPECT_TRUE(ticker.commands.empty());

  // Not running: the entry is stored for the next start, nothing posted. 31 entries: slot 31.
  ticker.running = false;
  r = Add("新しい", "http://new/");
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.slot, 31);
  EXPECT_FALSE(r.posted);
  EXPECT_EQ(Slots()[31], "新しい|http://new/||40");
  EXPECT_TRUE(ticker.commands.empty());
}

TEST_F(HandOver, AddWaitsABoundedTimeForAnotherWriterThenProceeds) {
  // Another writer holds the list lock for longer than AddURL waits.
  // The lock is one per session, and test programs running beside this one take it too: the
  // holder waits its turn like any writer, and the test goes on only once it holds it.
  std::promise<bool> taken;
  std::promise<void> release;
  std::thread holder([&] {
    url_list::ListLock lock;
    taken.set_value(lock.Held());
    release.get_future().wait();
  });
  if (!taken.get_future().get()) {
    release.set_value();
    holder.join();
    FAIL() << "the list lock was not had in its wait";
  }
  zellmate::AddOptions quick;
  quick.lockWaitMs = 50;
  const auto start = std::chrono::steady_clock::now();
  zellmate::AddResult r = zellmate::AddURL(reg_, ticker, "a", "http://a/", "", quick);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
  EXPECT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_FALSE(r.locked);
  release.set_value();
  holder.join();

  // Free again: held, within the ordinary wait (a test program beside this one may have it for a
  // moment, longer than the quick wait above). Switched off: not even tried.
  r = zellmate::AddURL(reg_, ticker, "b", "http://b/", "", zellmate::AddOptions{});
  EXPECT_TRUE(r.locked);
  zellmate::AddOptions unlocked;
  unlocked.useListLock = false;
  r = zellmate::AddURL(reg_, ticker, "c", "http://c/", "", unlocked);
  EXPECT_FALSE(r.locked);
  EXPECT_EQ(url_list::ReadList(reg_).size(), 3u);
}

TEST_F(HandOver, SendWritesTheFlashEntryOnlyForARunningTicker) {
  int next = 0;
  auto sequence = [&next] { return next++; };
  EXPECT_TRUE(zellmate::SendURL(reg_, ticker, "台風情報", "http://w/", "http://r/", sequence));
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::kTempKey, e));
  EXPECT_EQ(e.title, "特報　台風情報");
  EXPECT_EQ(e.url, "http://w/");
  EXPECT_EQ(e.referrer, "http://r/");
  EXPECT_EQ(e.level, 40);
  EXPECT_EQ(ticker.commands, std::vector<int>{11000});
  // The temporary entry is replaced, not added to the list.
  EXPECT_TRUE(zellmate::SendURL(reg_, ticker, "台風情報", "http://w2/", "", sequence));
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::kTempKey, e));
  EXPECT_EQ(e.title, "号外　台風情報");
  EXPECT_EQ(e.url, "http://w2/");
  EXPECT_EQ(e.referrer, "");
  EXPECT_TRUE(zellmate::SendURL(reg_, ticker, "", "http://w3/", "", sequence));
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::kTempKey, e));
  EXPECT_EQ(e.title, "緊急");
  EXPECT_TRUE(url_list::ReadList(reg_).empty());
  // The index is taken modulo 3.
  EXPECT_TRUE(zellmate::SendURL(reg_, ticker, "", "http://w4/", "", [] { return 4; }));
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::kTempKey, e));
  EXPECT_EQ(e.title, "号外");
  EXPECT_EQ(zellmate::FlashTitle(2, "x"), "緊急　x");

  ASSERT_TRUE(reg_.DeleteKey(url_list::kTempKey));
  ticker.commands.clear();
  EXPECT_FALSE(zellmate::SendURL(reg_, ticker, "t", "", "", sequence));
  ticker.running = false;
  EXPECT_FALSE(zellmate::SendURL(reg_, ticker, "t", "http://w/", "", sequence));
  EXPECT_FALSE(reg_.ValueExists(url_list::kTempKey, ""));
  EXPECT_TRUE(ticker.commands.empty());
}

}  // namespace

namespace {

// Pages from any web site: 10 000-character titles and URLs and bytes that are not Shift_JIS are
// stored exactly as given, numbered when taken, and fill the list to its 32 slots and no further.
TEST_F(HandOver, LongAndMalformedTitlesAndUrlsAreStoredExactly) {
  const std::string title(10000, 'T');
  const std::string url = "http://long.example/" + std::string(10000 - 20, 'u');
  const std::string bad("\x81\x7f\xa0\xfd\xff\x82", 6);  // ends in a lone lead byte
  zellmate::AddResult r = Add(title, url, std::string(10000, 'r'));
  ASSERT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.title, title);
  r = Add(title, url + "2");
  ASSERT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.title, title + "(2)");
  EXPECT_EQ(Add(title, url).outcome, zellmate::AddOutcome::kSubscribed);
  // Bad bytes reach the list as the system stores them (Windows' "A" functions replace them).
  r = Add(bad, bad);
  ASSERT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.slot, 2);
  r = Add(bad, "http://other/");
  ASSERT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.slot, 3);

  const std::vector<std::string> slots = Slots();
  EXPECT_EQ(slots[0], title + "|" + url + "|" + std::string(10000, 'r') + "|40");
  EXPECT_NE(slots[2], "-");
  EXPECT_NE(slots[3], "-");
  for (int i = 4; i < url_list::kMaxSlots; ++i) {
    ASSERT_EQ(Add(title, url + std::to_string(i)).outcome, zellmate::AddOutcome::kAdded) << i;
  }
  EXPECT_EQ(Add(title, url + "x").outcome, zellmate::AddOutcome::kListFull);
  EXPECT_EQ(Slots().size(), static_cast<std::size_t>(url_list::kMaxSlots));
  EXPECT_EQ(ticker.commands.size(), static_cast<std::size_t>(url_list::kMaxSlots));
}

// Slots another program wrote in ways the list's reader cannot hold (a level stored as text, a
// title of another type, a value of its own) keep every byte when a page is added after them; a
// list with gaps is still packed by the rewrite.
TEST_F(HandOver, AddingToAPackedListLeavesTheOtherSlotsByteForByte) {
  Put(0, "朝刊", "http://a/");
  Put(1, "夕刊", "http://b/");
  auto store = [&](const std::string& key, const char* name, std::uint32_t type, const std::string& data) {
    HKEY root = nullptr;
    std::string sub;
    ASSERT_TRUE(reg_.ResolvePath(key, root, sub));
    HKEY opened = nullptr;
    ASSERT_EQ(regseam::CreateKey(root, sub.c_str(), regseam::kKeyAllAccess, &opened), regseam::Status::kOk);
    EXPECT_EQ(regseam::SetValue(opened, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
              regseam::Status::kOk);
    regseam::CloseKey(opened);
  };
  auto raw = [&](const std::string& key, const char* name) {
    HKEY root = nullptr;
    std::string sub;
    EXPECT_TRUE(reg_.ResolvePath(key, root, sub));
    HKEY opened = nullptr;
    if (regseam::OpenKey(root, sub.c_str(), regseam::kKeyRead, &opened) != regseam::Status::kOk)
      return std::string("-");
    std::uint32_t type = 0, size = 0;
    std::string out = "missing";
    if (regseam::QueryValue(opened, name, &type, nullptr, &size) == regseam::Status::kOk) {
      std::string data(size, '\0');
      if (regseam::QueryValue(opened, name, &type, size ? &data[0] : nullptr, &size) == regseam::Status::kOk)
        out = std::to_string(type) + ":" + data.substr(0, size);
    }
    regseam::CloseKey(opened);
    return out;
  };
  const std::string slot0 = url_list::SlotKey(0), slot1 = url_list::SlotKey(1);
  store(slot0, url_list::kLevelValue, REG_SZ, std::string("7\0", 2));
  store(slot0, url_list::kTitleValue, REG_BINARY, std::string("\x81\x7f\xa0", 3));
  store(slot1, "Note", REG_SZ, std::string("mine\0", 5));
  const char* names[] = {url_list::kTitleValue, url_list::kUrlValue, url_list::kReferrerValue,
                         url_list::kLevelValue, "Note"};
  std::vector<std::string> before;
  for (const std::string& key : {slot0, slot1}) {
    for (const char* name : names) before.push_back(raw(key, name));
  }

  const zellmate::AddResult r = Add("新着", "http://d/");
  ASSERT_EQ(r.outcome, zellmate::AddOutcome::kAdded);
  EXPECT_EQ(r.slot, 2);
  std::vector<std::string> after;
  for (const std::string& key : {slot0, slot1}) {
    for (const char* name : names) after.push_back(raw(key, name));
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(Slots()[2], "新着|http://d/||40");

  // A gap: the list is packed again, the spoiled slot as it reads.
  ASSERT_TRUE(reg_.DeleteKey(slot1));
  ASSERT_EQ(Add("号外", "http://e/").slot, 2);
  const std::vector<std::string> slots = Slots();
  EXPECT_EQ(slots[0], "|http://a/|http://ref/|0");
  EXPECT_EQ(slots[1], "新着|http://d/||40");
  EXPECT_EQ(slots[2], "号外|http://e/||40");
  EXPECT_EQ(slots[3], "-");
}

}  // namespace

#include "support/ticker_link/url_list.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/registry/registry.h"
#include "support/ticker_link/list_lock.h"

namespace {

// Every test works under a key of its own and removes it afterwards.
class UrlList : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = std::string("HKEY_CURRENT_USER\\Software\\ZelloraTests\\UrlList_") + info->name();
    root.SetBasePath(path);
    Clean();
    ASSERT_TRUE(root.CreateKey(""));
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (int slot = 0; slot < 48; ++slot) root.DeleteKey(url_list::SlotKey(slot));
    root.DeleteKey(url_list::kTempKey);
    root.DeleteKey(url_list::kListKey);
    CRegistry parent("HKEY_CURRENT_USER\\Software\\ZelloraTests");
    parent.DeleteKey(path.substr(path.rfind('\\') + 1));
  }
  static UrlEntry Entry(int n) {
    return UrlEntry{"title" + std::to_string(n), "http://host/" + std::to_string(n), "", n};
  }

  std::string path;
  CRegistry root;
};

TEST_F(UrlList, WholeListIsRewrittenWithoutGapsAndAtMost32) {
  // An old list with a gap and more slots than the new one.
  for (int n : {0, 1, 3, 4, 5}) ASSERT_TRUE(url_list::WriteEntry(root, url_list::SlotKey(n), Entry(100 + n)));
  ASSERT_TRUE(url_list::WriteList(root, {Entry(1), Entry(2)}));
  const auto list = url_list::ReadList(root);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].title, "title2");
  for (int n = 2; n < 32; ++n) EXPECT_FALSE(url_list::SlotExists(root, n)) << n;

  std::vector<UrlEntry> many;
  many.reserve(40);
  for (int n = 0; n < 40; ++n) many.push_back(Entry(n));
  ASSERT_TRUE(url_list::WriteList(root, many));
  EXPECT_EQ(url_list::ReadList(root).size(), 32u);
  EXPECT_TRUE(url_list::SlotExists(root, 31));
  EXPECT_FALSE(root.ValueExists(url_list::SlotKey(32), ""));
}

TEST_F(UrlList, EntriesRoundTripWithEveryValue) {
  const UrlEntry e{"表示テスト", "http://example.test/a?b=1", "http://ref.test/", 40};
  ASSERT_TRUE(url_list::WriteList(root, {e}));
  UrlEntry back;
  ASSERT_TRUE(url_list::LoadEntry(root, url_list::SlotKey(0), back));
  EXPECT_EQ(back.title, e.title);
  EXPECT_EQ(back.url, e.url);
  EXPECT_EQ(back.referrer, e.referrer);
  EXPECT_EQ(back.level, 40);
  std::string referrer;
  EXPECT_TRUE(root.ReadString(url_list::SlotKey(0), "REFERRER", referrer));
}

TEST_F(UrlList, MissingValuesReadAsEmptyAndMissingKeysAsAbsent) {
  ASSERT_TRUE(root.CreateKey(url_list::SlotKey(0)));
  ASSERT_TRUE(root.WriteString(url_list::SlotKey(0), "Title", "only a title"));
  UrlEntry e{"stale", "stale", "stale", 99};
  ASSERT_TRUE(url_list::LoadEntry(root, url_list::SlotKey(0), e));
  EXPECT_EQ(e.title, "only a title");
  EXPECT_EQ(e.url, "");
  EXPECT_EQ(e.referrer, "");
  EXPECT_EQ(e.level, 0);
  e = UrlEntry{"stale", "stale", "stale", 99};
  EXPECT_FALSE(url_list::LoadEntry(root, url_list::SlotKey(1), e));
  EXPECT_EQ(e.title, "");
  EXPECT_EQ(e.level, 0);
}

TEST_F(UrlList, ReadingForEditingClosesGapsAndKeepsSlotNumbers) {
  for (int n : {0, 1, 5}) ASSERT_TRUE(url_list::WriteEntry(root, url_list::SlotKey(n), Entry(n)));
  ASSERT_TRUE(url_list::WriteEntry(root, url_list::SlotKey(40), Entry(40)));  // never read
  const auto slots = url_list::ReadSlots(root);
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[2].slot, 5);
  EXPECT_EQ(slots[2].entry.title, "title5");
  const auto list = url_list::ReadList(root);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].title, "title5");
  EXPECT_FALSE(url_list::SlotExists(root, 40));
  EXPECT_FALSE(url_list::SlotExists(root, -1));
  EXPECT_TRUE(url_list::SlotExists(root, 5));
}

TEST_F(UrlList, TemporaryEntryIsReplacedWhole) {
  ASSERT_TRUE(url_list::WriteTempEntry(root, UrlEntry{"one", "http://1/", "http://r/", 40}));
  ASSERT_TRUE(url_list::WriteTempEntry(root, UrlEntry{"two", "http://2/", "", 40}));
  UrlEntry e;
  ASSERT_TRUE(url_list::LoadEntry(root, url_list::kTempKey, e));
  EXPECT_EQ(e.title, "two");
  EXPECT_EQ(e.referrer, "");
  EXPECT_TRUE(url_list::ReadList(root).empty());
}

}  // namespace

namespace {

// The lock is what keeps two whole-list writers apart: a second writer waits, and gives up
// after its wait instead of hanging. It is one per session, and test programs running beside
// these may have it for a moment: the waits that must end in the lock are generous.
TEST(UrlListLock, SecondWriterWaitsForTheFirstAndThenGoesAhead) {
  url_list::ListLock first(5000);
  ASSERT_TRUE(first.Held());
  bool heldMeanwhile = true;
  std::thread other([&] { heldMeanwhile = url_list::ListLock(50).Held(); });
  other.join();
  EXPECT_FALSE(heldMeanwhile);
}

TEST(UrlListLock, ReleasedLockIsHadAgain) {
  {
    url_list::ListLock first(5000);
    ASSERT_TRUE(first.Held());
  }
  bool had = false;
  std::thread other([&] { had = url_list::ListLock(5000).Held(); });
  other.join();
  EXPECT_TRUE(had);
}

}  // namespace

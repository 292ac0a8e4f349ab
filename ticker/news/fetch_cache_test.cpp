#include "ticker/news/fetch_cache.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/test_server.h"

using ::testing::ElementsAre;

namespace news {
namespace {

std::int64_t fakeSteady = 1000;
std::int64_t fakeWall = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
std::int64_t Steady() {
  return fakeSteady;
}
std::int64_t Wall() {
  return fakeWall;
}

TEST(RetryAfter, SecondsAndTheThreeDateFormsCapped) {
  const struct {
    const char* value;
    std::int64_t seconds;
  } cases[] = {
      {"120", 120},
      {" 0 ", 0},
      {"Sun, 06 Nov 1994 08:51:37 GMT", 120},
      {"Sunday, 06-Nov-94 08:51:37 GMT", 120},
      {"Sun Nov  6 08:51:37 1994", 120},
      {"Sun, 06 Nov 1994 08:00:00 GMT", 0},  // already past: no delay
      {"999999999", kMaxRetryAfterSeconds},  // six hours at most
      {"Mon, 07 Nov 1994 08:49:37 GMT", kMaxRetryAfterSeconds},
      {"", -1},
      {"-5", -1},
      {"soon", -1},
      {"Sun, 32 Nov 1994 08:51:37 GMT", -1},
      {"Sun, 06 Nox 1994 08:51:37 GMT", -1},
      {"Sun, 06 Nov 1994 8:51:37 GMT", -1},
      {"99999999999999999999", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(RetryAfterSeconds(c.value, fakeWall), c.seconds) << c.value;
}

TEST(FetchCacheRules, ValidatorsBlocksAndTheLeastRecentlyUsedGoesFirst) {
  FetchCache cache;
  cache.SetClocks(Steady, Wall);
  const FetchKey key{"http://e.jp/rss", "", false, 20};
  NewsList list;
  HttpConditions conditions;
  EXPECT_TRUE(cache.MayFetch(key, list, conditions));
  EXPECT_EQ(conditions.ifNoneMatch, "");

  NewsList fetched;
  fetched.title = "t";
  fetched.AddItem("headline", 1, "http://e.jp/1");
  HttpResponse response;
  response.status = 200;
  response.etag = "\"v1\"";
  response.lastModified = "Sun, 06 Nov 1994 08:49:37 GMT";
  cache.Remember(key, response, fetched);
  EXPECT_TRUE(cache.MayFetch(key, list, conditions));
  EXPECT_EQ(conditions.ifNoneMatch, "\"v1\"");
  EXPECT_EQ(conditions.ifModifiedSince, response.lastModified);
  // The same address with another level or referrer is another fetch.
  EXPECT_TRUE(cache.MayFetch(FetchKey{"http://e.jp/rss", "", true, 20}, list, conditions));
  EXPECT_EQ(conditions.ifNoneMatch, "");
  EXPECT_TRUE(cache.Unchanged(key, list));
  EXPECT_EQ(list.GetTitle(), "t");
  EXPECT_EQ(list.GetLink(0), "http://e.jp/1");

  // Refused for 120 s: the remembered list is shown until then, and no fetch is made.
  EXPECT_FALSE(cache.Refuse(key, "0", list));
  EXPECT_TRUE(cache.Refuse(key, "120", list));
  EXPECT_THAT(list.items, ElementsAre("headline"));
  fakeSteady += 119;
  list = NewsList();
  EXPECT_FALSE(cache.MayFetch(key, list, conditions));
  EXPECT_THAT(list.items, ElementsAre("headline"));
  fakeSteady += 1;
  EXPECT_TRUE(cache.MayFetch(key, list, conditions));

  // Refused before anything was remembered: the read-error item.
  const FetchKey fresh{"http://e.jp/new", "", false, 20};
  EXPECT_TRUE(cache.Refuse(fresh, "Sun, 06 Nov 1994 09:49:37 GMT", list));
  EXPECT_THAT(list.items, ElementsAre("＜読み込みエラー＞"));
  EXPECT_EQ(list.failed, 1);
  EXPECT_FALSE(cache.MayFetch(fresh, list, conditions));

  // 64 addresses at most; using one keeps it.
  for (int i = 0; i < 70; ++i) {
    cache.Remember(FetchKey{"http://e.jp/" + std::to_string(i), "", false, 20}, response, fetched);
    cache.MayFetch(key, list, conditions);  // key stays the most recently used
  }
  EXPECT_EQ(cache.Size(), FetchCache::kMaxEntries);
  EXPECT_TRUE(cache.Unchanged(key, list));
  EXPECT_FALSE(cache.Unchanged(FetchKey{"http://e.jp/5", "", false, 20}, list));
  EXPECT_TRUE(cache.Unchanged(FetchKey{"http://e.jp/69", "", false, 20}, list));
  cache.Clear();
  EXPECT_EQ(cache.Size(), 0u);
}

class PoliteFetch : public HttpServerTest {
 protected:
  void SetUp() override {
    HttpServerTest::SetUp();
    TheFetchCache().Clear();
  }
  void TearDown() override {
    TheFetchCache().Clear();
    HttpServerTest::TearDown();
  }
  static int Gets() {
    const std::string heads = server->Requests();
    int n = 0;
    for (std::size_t at = heads.find("GET "); at != std::string::npos; at = heads.find("GET ", at + 1)) ++n;
    return n;
  }
};

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss><channel><title>速報</title>\n"
    "<item><title>見出しその一</title><link>http://e.jp/1</link></item></channel></rss>\n";

TEST_F(PoliteFetch, SecondFetchIsConditionalAndA304KeepsTheHeadlines) {
  ASSERT_TRUE(server->WriteFile("feed.xml", kFeed));
  const std::string url = server->Url("/page?file=feed.xml&etag=%22abc%22");
  NewsList list;
  list.FetchAndExtract(url.c_str(), nullptr, 20, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("見出しその一"));
  EXPECT_EQ(server->Requests().find("If-None-Match"), std::string::npos);

  server->ClearRequests();
  NewsList again;
  again.FetchAndExtract(url.c_str(), nullptr, 20, nullptr, nullptr);
  EXPECT_NE(server->Requests().find("\r\nIf-None-Match: \"abc\"\r\n"), std::string::npos)
      << server->Requests();
  EXPECT_EQ(again.GetTitle(), "速報");
  EXPECT_THAT(again.items, ElementsAre("見出しその一"));
  EXPECT_EQ(again.GetLink(0), "http://e.jp/1");
  EXPECT_EQ(again.failed, 0);
}

TEST_F(PoliteFetch, RetryAfterKeepsTheTickerAwayFromThatSourceOnly) {
  ASSERT_TRUE(server->WriteFile("feed.xml", kFeed));
  const std::string busy = server->Url("/page?file=feed.xml&status=429&retry_after=120");
  const std::string other = server->Url("/page?file=feed.xml");
  NewsList list;
  list.FetchAndExtract(busy.c_str(), nullptr, 20, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("＜読み込みエラー＞"));
  EXPECT_EQ(Gets(), 1);
  for (int round = 0; round < 3; ++round) {
    list.FetchAndExtract(busy.c_str(), nullptr, 20, nullptr, nullptr);
    EXPECT_THAT(list.items, ElementsAre("＜読み込みエラー＞"));
    list.FetchAndExtract(other.c_str(), nullptr, 20, nullptr, nullptr);
    EXPECT_THAT(list.items, ElementsAre("見出しその一"));
  }
  EXPECT_EQ(Gets(), 4);  // the refused source once, the other three times
  // A 503 without Retry-After is an error page like any other; the settings reload forgets.
  TheFetchCache().Clear();
  list.FetchAndExtract(busy.c_str(), nullptr, 20, nullptr, nullptr);
  EXPECT_EQ(Gets(), 5);
  const std::string down = server->Url("/page?file=feed.xml&status=503");
  list.FetchAndExtract(down.c_str(), nullptr, 20, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("＜ページが見つかりません " + down + "＞"));
}

}  // namespace
}  // namespace news

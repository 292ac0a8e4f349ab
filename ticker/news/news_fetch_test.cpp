// FetchAndExtract against the local test server (libcurl natively, WinInet under Wine), and the
// page reader feeding the extractor line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/net/http_request.h"
#include "support/net/page_lines.h"
#include "tests/test_server.h"
#include "ticker/news/extractor.h"
#include "ticker/news/news_list.h"

using ::testing::ElementsAre;

namespace {

class NewsFetch : public HttpServerTest {
 protected:
  // The address of a page whose body is bytes (sent as they are).
  static std::string PageUrl(const std::string& bytes, const std::string& extra = "") {
    return server->Url("/page?body=" + TestHttpServer::Encode(bytes) + extra);
  }
};

const char kPage[] =
    "<html>\n<HEAD>\n<title>テスト新聞</title>\n</HEAD>\n<body>\n"
    "<a href=1>政府が新しい経済対策を発表</a><br><a href=2>短い</a>\n"
    "&lt;b&gt;News headline&lt;/b&gt;\n</body></html>\n";

TEST_F(NewsFetch, PageIsFetchedConvertedAndExtracted) {
  NewsList list;
  list.AddItem("from the last page", 1);
  list.failed = 1;
  list.FetchAndExtract(PageUrl(kPage).c_str(), "http://referrer.test/", 10, nullptr, nullptr);
  EXPECT_EQ(list.failed, 0);
  EXPECT_EQ(list.title, "テスト新聞");
  // Entities are decoded before extraction, so the escaped tags are dropped like real ones.
  EXPECT_THAT(list.items, ElementsAre("政府が新しい経済対策を発表", "News headline"));
}

TEST_F(NewsFetch, EucJpPageIsConverted) {
  // "経済" in EUC-JP, declared in the head.
  const std::string page =
      "<head><meta http-equiv=Content-Type content=\"text/html; charset=EUC-JP\"></head>\n"
      "<body>\n\xB7\xD0\xBA\xD1 news\n";
  NewsList list;
  list.FetchAndExtract(PageUrl(page).c_str(), nullptr, 1, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("経済 news"));
}

TEST_F(NewsFetch, CharsetNamedByTheServerIsTheInitialSet) {
  // A UTF-8 page without a declaration of its own.
  const std::string page =
      u8"<html><head><title>日本語のページ</title></head>\n<body>\n<p>政府が新しい経済対策を発表\n";
  const std::string utf8 = "&content_type=" + TestHttpServer::Encode("text/html; charset=UTF-8");
  NewsList list;
  list.FetchAndExtract(PageUrl(page, utf8).c_str(), nullptr, 10, nullptr, nullptr);
  EXPECT_EQ(list.title, "日本語のページ");
  EXPECT_THAT(list.items, ElementsAre("政府が新しい経済対策を発表"));

  // Without the header it is read as before: head lines guessed one by one, the body as it is.
  list.FetchAndExtract(PageUrl(page).c_str(), nullptr, 10, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre(u8"政府が新しい経済対策を発表"));

  // The page's own declaration wins over the server's.
  const std::string declared =
      "<head><meta http-equiv=Content-Type content=\"text/html; "
      "charset=EUC-JP\"></head>\n<body>\n\xB7\xD0\xBA\xD1 "
      "news\n";
  list.FetchAndExtract(PageUrl(declared, utf8).c_str(), nullptr, 1, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("経済 news"));
}

TEST_F(NewsFetch, FailuresLeaveOneErrorItem) {
  NewsList list;
  list.FetchAndExtract(nullptr, nullptr, 20, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("＜致命的なエラー＞"));
  EXPECT_EQ(list.failed, 1);

  // Nothing listens on port 1.
  list.FetchAndExtract("http://127.0.0.1:1/news.html", nullptr, 20, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("＜ページが見つかりません http://127.0.0.1:1/news.html＞"));
  EXPECT_EQ(list.failed, 1);
  EXPECT_EQ(list.title, "");

  // A connection that breaks off mid-page: what was extracted before is not shown.
  std::string body(kPage);
  for (int i = 0; i < 2000; ++i) body += "<br>もう一行の見出しです\n";
  const std::string cut = PageUrl(body, "&cut=" + std::to_string(body.size() / 2));
  list.FetchAndExtract(cut.c_str(), nullptr, 1, nullptr, nullptr);
  EXPECT_THAT(list.items, ElementsAre("＜ページが見つかりません " + cut + "＞"));
  EXPECT_EQ(list.title, "");
  EXPECT_EQ(list.failed, 1);
}

TEST_F(NewsFetch, ErrorStatusGivesTheNotFoundItemNotTheErrorPage) {
  // The body of an error page is no news: a status of 400 and above is a page not found.
  for (const char* status : {"404", "500", "403", "503"}) {
    NewsList list;
    const std::string url = PageUrl("<body>Not here, sorry\n", std::string("&status=") + status);
    list.FetchAndExtract(url.c_str(), nullptr, 1, nullptr, nullptr);
    EXPECT_EQ(list.failed, 1) << status;
    EXPECT_THAT(list.items, ElementsAre("＜ページが見つかりません " + url + "＞")) << status;
  }
  // Other statuses are pages as before.
  NewsList list;
  list.FetchAndExtract(PageUrl("<body>Still here\n", "&status=203").c_str(), nullptr, 1, nullptr, nullptr);
  EXPECT_EQ(list.failed, 0);
  EXPECT_THAT(list.items, ElementsAre("Still here"));
}

TEST_F(NewsFetch, LongPageIsCutAfterTheCap) {
  // 100000 lines streamed by the server; the extractor stops storing past 20000 bytes.
  NewsList list;
  const std::string url = PageUrl("<p>見出し番号つきの記事タイトル\n", "&repeat=100000");
  list.FetchAndExtract(url.c_str(), nullptr, 20, nullptr, nullptr);
  ASSERT_EQ(list.GetItem(0).size(), 28u);
  ASSERT_EQ(list.ItemCount(), 20000 / 28 + 2);  // 28-byte items until past 20000, then the notice
  EXPECT_EQ(list.items.back(), "続きはホームページで");
  EXPECT_EQ(list.failed, 0);
}

// ---------------------------------------------------------------------------------------------
// The page reader feeding the extractor

void ReadBody(const std::string& body, NewsList& list, int level, int encoding = 0) {
  PageLines page;
  page.encoding = encoding;
  Extractor extractor(list, level);
  PageLineReader reader(page, &extractor);
  // Small blocks, so that lines and characters are split between reads.
  for (std::size_t i = 0; i < body.size(); i += 7)
    reader.Feed(body.data() + i, std::min<std::size_t>(7, body.size() - i));
  reader.Finish();
  extractor.Finish();
  EXPECT_TRUE(page.lines.empty());  // streamed, never stored
}

TEST(NewsReader, HugeSingleLineIsBoundedByTheReader) {
  std::string body;
  body.reserve(5u << 20);
  while (body.size() < (5u << 20)) body += "<br>見出し";  // 10 bytes, no line feed at all
  NewsList list;
  ReadBody(body, list, 1);
  // Only the first 1 MiB of the line is read: 104857 whole pieces, then "<br>見".
  ASSERT_EQ(list.ItemCount(), 104858);
  EXPECT_EQ(list.GetItem(0), "見出し");
  EXPECT_EQ(list.GetItem(104857), "見");
}

TEST(NewsReader, BadBytesAndUnterminatedMarkup) {
  NewsList list;
  ReadBody(std::string("<title>a\0b</title>\r\n<body>\n\x81\n<script>\nx\n", 40), list, 0);
  EXPECT_EQ(list.title, std::string("a\0b", 3));
  EXPECT_THAT(list.items, ElementsAre(std::string("a\0b", 3), "\x81"));
  ReadBody("text<a href=\"no end\n\nmore\n", list, 1);
  EXPECT_EQ(list.ItemCount(), 0);
}

}  // namespace

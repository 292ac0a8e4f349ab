// Feeds read as feeds: documents go through the page reader and DocumentReader as a fetched body
// does (converted line by line, split into small blocks), so the character-set rules, the
// feed-or-page decision and the feed reader are tested together.
#include "ticker/news/feed_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "ticker/news/document_reader.h"
#include "ticker/news/news_list.h"

using ::testing::ElementsAre;

namespace {

struct Read {
  NewsList list;
  bool feed = false;
  int encoding = 0;
};

Read ReadDocument(const std::string& body, const std::string& url = "http://news.example.jp/feed/rss.xml",
                  int initialEncoding = 0, int level = 40) {
  Read r;
  PageLines page;
  page.encoding = initialEncoding;
  DocumentReader reader(r.list, level, page, url);
  PageLineReader lines(page, &reader);
  for (std::size_t i = 0; i < body.size(); i += 5)
    lines.Feed(body.data() + i, std::min<std::size_t>(5, body.size() - i));
  lines.Finish();
  reader.Finish();
  r.feed = reader.IsFeed();
  r.encoding = page.encoding;
  return r;
}

std::vector<std::string> Links(const NewsList& list) {
  std::vector<std::string> links;
  links.reserve(static_cast<std::size_t>(list.ItemCount()));
  for (int i = 0; i < list.ItemCount(); ++i) links.push_back(list.GetLink(i));
  return links;
}

const char kRss20[] =
    u8"<?xml version=\"1.0\"?>\n"
    u8"<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\n<channel>\n"
    u8"  <title>経済ニュース</title>\n  <link>http://news.example.jp/</link>\n"
    u8"  <image><title>not the title</title></image>\n"
    u8"  <item><title>短い</title><link>/a/1.html</link><media:title>no</media:title></item>\n"
    u8"  <item>\n    <title><![CDATA[<b>政府</b> & 日銀]]></title>\n"
    "    <guid isPermaLink=\"true\">http://news.example.jp/a/2</guid>\n  </item>\n"
    "  <item><title>&amp;lt;escaped&amp;gt; &#12354;&#x3044; &lt;i&gt;it&lt;/i&gt;</title>"
    "<guid isPermaLink=\"false\">tag:1</guid></item>\n"
    "  <item><title>  </title><link>http://news.example.jp/empty</link></item>\n"
    u8"  <item><title>複数\n   行の\tタイトル</title><link>javascript:alert(1)</link></item>\n"
    "</channel>\n</rss>\n";

TEST(FeedReader, Rss20TitlesLinksAndTextRules) {
  // UTF-8 by XML's default: the declaration names no set and the server named none.
  Read r = ReadDocument(kRss20);
  ASSERT_TRUE(r.feed);
  EXPECT_EQ(r.encoding, kEncodingUtf8);
  EXPECT_EQ(r.list.isFeed, 1);
  EXPECT_EQ(r.list.title, "経済ニュース");
  // Every item is kept whatever the level (40 bytes here); the empty title is skipped; CDATA is
  // literal (its markup then removed), references are decoded once, markup in a title removed.
  EXPECT_THAT(r.list.items,
              ElementsAre("短い", "政府 & 日銀", "&lt;escaped&gt; あい it", "複数 行の タイトル"));
  EXPECT_THAT(Links(r.list),
              ElementsAre("http://news.example.jp/a/1.html", "http://news.example.jp/a/2", "", ""));
}

TEST(FeedReader, Rss091AndRss10AndAtomInTheirCharacterSets) {
  // RSS 0.91 in Shift_JIS, declared.
  Read rss091 = ReadDocument(
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape "
      "Communications//DTD RSS "
      "0.91//EN\" \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n<rss version=\"0.91\"><channel>"
      "<title>ソフト新聞</title><item><title>表示のテスト</title><link>http://e.jp/1</link></item>"
      "</channel></rss>");
  EXPECT_TRUE(rss091.feed);
  EXPECT_EQ(rss091.list.title, "ソフト新聞");
  EXPECT_THAT(rss091.list.items, ElementsAre("表示のテスト"));

  // RSS 1.0 in EUC-JP ("経済" is B7D0 BAD1), items beside the channel, any prefix for RDF.
  Read rdf = ReadDocument(
      "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n"
      "<r:RDF xmlns:r=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">\n"
      "<channel r:about=\"x\"><title>\xB7\xD0\xBA\xD1</title><items><r:Seq><r:li "
      "r:resource=\"a\"/></r:Seq></items>"
      "</channel>\n<item r:about=\"a\"><title>\xB7\xD0\xBA\xD1 "
      "1</title><link>http://e.jp/keizai/1</link></item>\n"
      "</r:RDF>\n");
  EXPECT_TRUE(rdf.feed);
  EXPECT_EQ(rdf.list.title, "経済");
  EXPECT_THAT(rdf.list.items, ElementsAre("経済 1"));
  EXPECT_THAT(Links(rdf.list), ElementsAre("http://e.jp/keizai/1"));

  // Atom 1.0 without any declaration, served as UTF-8; html titles, alternate links, xml:base.
  Read atom = ReadDocument(
      u8"<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"http://blog.example.jp/b/\">\n"
      u8"<title type=\"html\">&lt;em&gt;日記&lt;/em&gt; &amp;amp; 写真</title>\n"
      u8"<entry><title type=\"text\">&lt;tag&gt; literal</title>"
      u8"<link rel=\"enclosure\" href=\"x.mp3\"/><link rel=\"alternate\" href=\"2024/01/a.html\"/></entry>\n"
      u8"<entry xml:base=\"/other/\"><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">太字 "
      u8"<b>あり</b></div></title><link href=\"p\"/></entry>\n</feed>\n",
      "http://blog.example.jp/feed", kEncodingUtf8);
  EXPECT_TRUE(atom.feed);
  EXPECT_EQ(atom.list.title, "日記 & 写真");
  EXPECT_THAT(atom.list.items, ElementsAre("<tag> literal", "太字 あり"));
  EXPECT_THAT(Links(atom.list),
              ElementsAre("http://blog.example.jp/b/2024/01/a.html", "http://blog.example.jp/other/p"));

  // Atom 0.3, whose escaped titles hold HTML with its own references.
  Read atom03 = ReadDocument(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed version=\"0.3\" "
      "xmlns=\"http://purl.org/atom/ns#\">\n"
      "<title mode=\"escaped\" type=\"text/html\">My &amp;amp; Blog</title>\n<entry>\n"
      "<title mode=\"escaped\" type=\"text/html\">&lt;b&gt;New&lt;/b&gt; &amp;quot;post&amp;quot;</title>\n"
      "<link rel=\"alternate\" type=\"text/html\" href=\"http://e.jp/p/1\" />\n</entry>\n</feed>\n");
  EXPECT_TRUE(atom03.feed);
  EXPECT_EQ(atom03.list.title, "My & Blog");
  EXPECT_THAT(atom03.list.items, ElementsAre("New \"post\""));
  EXPECT_THAT(Links(atom03.list), ElementsAre("http://e.jp/p/1"));
}

TEST(FeedReader, StylesheetDoctypeAndCommentsBeforeTheRootAndTheSetHolds) {
  Read r = ReadDocument(
      "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n"
      "<?xml-stylesheet type=\"text/xsl\" href=\"rss.xsl\"?>\n<!-- a > b -->\n"
      "<!DOCTYPE rss [\n  <!ENTITY copy \"(c)\">\n  <!ELEMENT rss ANY>\n]>\n"
      "<rss version=\"2.0\"><channel><title>charset=Shift_JIS \xB7\xD0\xBA\xD1</title>\n"
      "<item><title>&copy; \xB7\xD0\xBA\xD1</title></item></channel></rss>\n");
  EXPECT_TRUE(r.feed);
  // A line naming another set inside the feed does not switch it: EUC-JP to the end.
  EXPECT_EQ(r.encoding, kEncodingEucJp);
  EXPECT_EQ(r.list.title, "charset=Shift_JIS 経済");
  // The doctype's entity is not known: the reference stays as written.
  EXPECT_THAT(r.list.items, ElementsAre("&copy; 経済"));
}

TEST(FeedReader, BillionLaughsIsText) {
  std::string body =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [\n <!ENTITY lol \"lol\">\n"
      " <!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    body += " <!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) body += "&lol" + std::to_string(i - 1) + ";";
    body += "\">\n";
  }
  body += "]>\n<rss><channel><title>&lol9;</title><item><title>a &lol9; b</title></item></channel></rss>\n";
  Read r = ReadDocument(body);
  EXPECT_TRUE(r.feed);
  EXPECT_EQ(r.list.title, "&lol9;");
  EXPECT_THAT(r.list.items, ElementsAre("a &lol9; b"));
}

TEST(FeedReader, CutOffAndMalformedFeedsKeepWhatWasRead) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>t</title>";
  // Cut off inside the third item's link: its title was read, so it counts.
  Read cut = ReadDocument(head +
                          "<item><title>one</title></item><item><title>two</title></item>"
                          "<item><title>three</title><link>http://e.jp/3");
  EXPECT_THAT(cut.list.items, ElementsAre("one", "two", "three"));
  EXPECT_EQ(cut.list.failed, 0);
  // Cut off inside a title: that item is not shown.
  Read cutTitle = ReadDocument(head + "<item><title>one</title></item><item><title>tw");
  EXPECT_THAT(cutTitle.list.items, ElementsAre("one"));
  // Unclosed elements: an end tag closes what was opened inside it (markup inside a title is
  // elements, whose text runs on).
  Read unclosed = ReadDocument(head + "<item><title>one</item><item><title>two<b>x</title></item></rss>");
  EXPECT_THAT(unclosed.list.items, ElementsAre("one", "twox"));
  // A tag no feed writes ends the reading, keeping what came before.
  Read huge = ReadDocument(head + "<item><title>one</title></item><item a=\"" +
                           std::string(FeedReader::kMaxTagBytes, 'x') + "\"><title>two</title></item>");
  EXPECT_THAT(huge.list.items, ElementsAre("one"));
  // Stray "<" and "&" are text.
  Read stray = ReadDocument(head + "<item><title>a < b && c &unknown; &#xZZ;</title></item>");
  EXPECT_THAT(stray.list.items, ElementsAre("a < b && c &unknown; &#xZZ;"));
}

TEST(FeedReader, TwoHundredItemsOfTenThousand) {
  std::string body = "<?xml version=\"1.0\"?><rss><channel><title>many</title>\n";
  for (int i = 0; i < 10000; ++i) {
    body += "<item><title>item " + std::to_string(i) + "</title><link>http://e.jp/" + std::to_string(i) +
            "</link></item>\n";
  }
  body += "</channel></rss>\n";
  Read r = ReadDocument(body);
  ASSERT_EQ(r.list.ItemCount(), FeedReader::kMaxItems);
  EXPECT_EQ(r.list.items.back(), "item 199");
  EXPECT_EQ(r.list.GetLink(199), "http://e.jp/199");
}

TEST(FeedReader, WhatOnlyLooksLikeAFeedIsAPage) {
  // The first element decides: an HTML page holding an rss element later is a page, and so is
  // text before any element, an rss element in a namespace, and a feed element outside Atom's.
  const char* pages[] = {
      "<html><body><rss><channel><title>x</title></channel></rss></body></html>",
      "text first <rss><channel><title>x</title></channel></rss>",
      "<x:rss xmlns:x=\"urn:other\"><channel><title>x</title></channel></x:rss>",
      "<feed xmlns=\"http://example.org/not-atom\"><title>x</title></feed>",
      "<RDF><item><title>x</title></item></RDF>",
  };
  for (const char* page : pages) {
    Read r = ReadDocument(page, "http://e.jp/", 0, 1);
    EXPECT_FALSE(r.feed) << page;
    EXPECT_EQ(r.list.isFeed, 0) << page;
  }
  // A page keeps the page path exactly: entities decoded per line, the level applied.
  Read page =
      ReadDocument("<html><body>\n&lt;b&gt;見出しです&lt;/b&gt;\n短\n</body></html>\n", "http://e.jp/", 0, 4);
  EXPECT_THAT(page.list.items, ElementsAre("見出しです"));
}

}  // namespace

namespace {

TEST(PageLinks, TheLinkInWhichTheItemBegins) {
  const std::string longPath(NewsList::kMaxLinkBytes, 'p');
  Read r = ReadDocument(
      "<html><head><title>t</title></head><body>\n"
      "<a href=\"/news/1.html\">政府が新しい経済対策を発表</a>\n"
      "・<A HREF='2.html?a=1&amp;b=2'>日銀が金利を据え置き</A> (速報)\n"
      "先に本文 <a href=\"/news/3.html\">リンクは後から</a>\n"
      "<a name=\"anchor\">名前だけのアンカー</a>\n"
      "<a href=\"javascript:void(0)\">スクリプトのリンク</a>\n"
      "<a href=\"/" +
          longPath +
          "\">長すぎるリンク</a>\n"
          "<base href=\"http://cdn.example.jp/base/\">\n"
          "<a href=\"4.html\">基準からの相対リンク</a><br><a href=\"5.html\">同じ行の二つ目</a>\n"
          "</body></html>\n",
      "http://news.example.jp/top/index.html", 0, 1);
  EXPECT_FALSE(r.feed);
  EXPECT_THAT(r.list.items, ElementsAre("政府が新しい経済対策を発表", "日銀が金利を据え置き(速報)",
                                        "先に本文 リンクは後から", "名前だけのアンカー", "スクリプトのリンク",
                                        "長すぎるリンク", "基準からの相対リンク", "同じ行の二つ目"));
  EXPECT_THAT(
      Links(r.list),
      ElementsAre("http://news.example.jp/news/1.html", "http://news.example.jp/top/2.html?a=1&b=2", "", "",
                  "", "", "http://cdn.example.jp/base/4.html", "http://cdn.example.jp/base/5.html"));
  // The same page without an address keeps only absolute links.
  Read unknown =
      ReadDocument("<body>\n<a href=\"/x\">相対</a>\n<a href=\"https://e.jp/y\">絶対</a>\n", "", 0, 1);
  EXPECT_THAT(Links(unknown.list), ElementsAre("", "https://e.jp/y"));
}

}  // namespace

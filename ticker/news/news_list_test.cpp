#include "ticker/news/news_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/net/page_lines.h"
#include "ticker/news/extractor.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

PageLines Page(std::vector<std::string> lines) {
  PageLines page;
  page.lines = std::move(lines);
  return page;
}

std::vector<std::string> Extract(std::vector<std::string> lines, int level = 1) {
  NewsList list;
  list.Extract(Page(std::move(lines)), level);
  return list.items;
}

// ---------------------------------------------------------------------------------------------
// AddItem

TEST(NewsListAddItem, LevelCountsBytes) {
  NewsList list;
  EXPECT_EQ(list.AddItem("あいうえおかきくけこ", 20), 20);  // ten double-byte characters
  EXPECT_EQ(list.AddItem(std::string(19, 'x'), 20), 0);
  EXPECT_EQ(list.AddItem("  padded text  ", 11), 11);  // white space does not count
  EXPECT_THAT(list.items, ElementsAre("あいうえおかきくけこ", "padded text"));
}

TEST(NewsListAddItem, StripsMarksAndIdeographicSpaces) {
  NewsList list;
  EXPECT_EQ(list.AddItem(" ・　● ■▲▼ニュース　 　", 1), 8);
  // Only the front loses marks; a mark at the end stays, and so does a tab before the space.
  list.AddItem("●見出し●", 1);
  list.AddItem("見出し\t　", 1);
  EXPECT_THAT(list.items, ElementsAre("ニュース", "見出し●", "見出し\t"));
}

TEST(NewsListAddItem, IdeographicSpaceIsStrippedCharacterWise) {
  NewsList list;
  // "＝" is 0x81 0x81: followed by "@" the last two bytes read 0x81 0x40, which is no ideographic
  // space here.
  const std::string text = "x＝@";
  ASSERT_EQ(text.substr(text.size() - 2), "\x81@");
  EXPECT_EQ(list.AddItem(text, 1), 4);
  EXPECT_THAT(list.items, ElementsAre(text));
}

TEST(NewsListAddItem, LevelZeroStoresEmptiedText) {
  NewsList list;
  EXPECT_EQ(list.AddItem("・", 0), 0);
  EXPECT_EQ(list.AddItem("・", 1), 0);
  EXPECT_THAT(list.items, ElementsAre(""));
}

TEST(NewsListAddItem, GetItemOutOfRangeIsEmpty) {
  NewsList list;
  list.AddItem("abc", 1);
  EXPECT_EQ(list.GetItem(0), "abc");
  EXPECT_EQ(list.GetItem(1), "");
  EXPECT_EQ(list.GetItem(-1), "");
  EXPECT_EQ(list.ItemCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Title and head

TEST(NewsListExtract, TitleFromHeadIsNotAnItem) {
  NewsList list;
  list.AddItem("left over from the last page", 1);
  list.failed = 1;
  list.Extract(Page({"<html>", "<HEAD>", "<title> 今日のニュース </title>", "<meta charset=x>", "</head>",
                     "<body>", "本文の一行目"}),
               1);
  EXPECT_EQ(list.GetTitle(), "今日のニュース");
  EXPECT_THAT(list.items, ElementsAre("本文の一行目"));
  EXPECT_EQ(list.failed, 0);
  EXPECT_EQ(list.inHead, 0);
}

TEST(NewsListExtract, TitleWithoutHeadIsAlsoAnItem) {
  NewsList list;
  list.Extract(Page({"<title>Title text</title>", "Body"}), 1);
  EXPECT_EQ(list.title, "Title text");
  EXPECT_THAT(list.items, ElementsAre("Title text", "Body"));
  // A head tag with attributes is no "<HEAD>" either.
  list.Extract(Page({"<head lang=ja>", "<title>Title text</title>", "</head>"}), 1);
  EXPECT_THAT(list.items, ElementsAre("Title text"));
}

TEST(NewsListExtract, OneLineHeadDoesNotLeakIntoTheBody) {
  NewsList list;
  list.Extract(Page({"<html><HEAD><TITLE>見出しのタイトル</TITLE></HEAD><body>本文です<br>次の行"}), 1);
  EXPECT_EQ(list.title, "見出しのタイトル");
  EXPECT_THAT(list.items, ElementsAre("本文です", "次の行"));
}

TEST(NewsListExtract, TitleAcrossLinesAndOddOrders) {
  NewsList list;
  // Lines are joined without separator, so markers split over lines are still found.
  list.Extract(Page({"<TI", "TLE>Part", "Two</TIT", "LE>"}), 1000);
  EXPECT_EQ(list.title, "PartTwo");
  list.Extract(Page({"</title>x<title>Late</title>"}), 1000);
  EXPECT_EQ(list.title, "");
  list.Extract(Page({"<title></title>"}), 1000);
  EXPECT_EQ(list.title, "");
  list.Extract(Page({"<title>never closed", "more"}), 1000);
  EXPECT_EQ(list.title, "");
  // "<" is never a second byte: after a lone lead byte, in the same line or at the end of the
  // line before, it still starts the markers.
  list.Extract(Page({"\x81<title>x</title>"}), 1000);
  EXPECT_EQ(list.title, "x");
  list.Extract(Page({"ab\x81", "<title>y\x82</title>"}), 1000);
  EXPECT_EQ(list.title, "y\x82");
  // A letter of a marker can be a second byte: "ア" is 0x83 0x41, "ャ" 0x83 0x83.
  list.Extract(Page({"<title>ャア</title>"}), 1000);
  EXPECT_EQ(list.title, "ャア");
}

TEST(NewsListExtract, TitleIsTakenFromThePageAfterTheCap) {
  std::vector<std::string> lines(300, std::string(100, 'a'));
  lines.push_back("<title>At the end</title>");
  NewsList list;
  list.Extract(Page(lines), 1);
  EXPECT_EQ(list.title, "At the end");
  EXPECT_EQ(list.items.back(), kContinuationItem);
}

TEST(NewsListExtract, OverlongTitleIsCutAtACharacterBoundary) {
  std::string body;
  for (int i = 0; i < 3000; ++i) body += "あ";
  NewsList list;
  list.Extract(Page({"<title>x" + body + "</title>"}), 100000);
  ASSERT_EQ(list.title.size(), Extractor::kMaxTitleBytes - 1);
  EXPECT_EQ(list.title.substr(0, 3), "xあ");
}

// ---------------------------------------------------------------------------------------------
// Tags, flushes and skipping

TEST(NewsListExtract, BreaksSplitOtherTagsJoin) {
  EXPECT_THAT(Extract({"ab<BR>cd"}), ElementsAre("ab", "cd"));
  EXPECT_THAT(Extract({"ab<b>cd</b>ef"}), ElementsAre("abcdef"));
  EXPECT_THAT(Extract({"ab<p>cd<P align=center>ef<br/>gh"}), ElementsAre("ab", "cdefgh"));
  // White space right after a tag is dropped; before a tag it stays.
  EXPECT_THAT(Extract({"ab <a href=x> cd"}), ElementsAre("ab cd"));
  // Every line end flushes.
  EXPECT_THAT(Extract({"one", "two"}), ElementsAre("one", "two"));
}

TEST(NewsListExtract, TableCellsAreSeparatedBySpaces) {
  EXPECT_THAT(Extract({"<tr><td>x</td><td>y</td></tr>"}), ElementsAre("x y"));
  EXPECT_THAT(Extract({"<td>x </td>y"}), ElementsAre("x y"));
}

TEST(NewsListExtract, ScriptIsSkippedUntilItsExactClosingTag) {
  EXPECT_THAT(Extract({"before<script type=x>var s = 'hidden';", "more();</SCRIPT>after"}),
              ElementsAre("before", "after"));
  EXPECT_THAT(Extract({"<script>x</script >still hidden", "</script>shown"}), ElementsAre("shown"));
  EXPECT_THAT(Extract({"a<script>never closed", "b", "c<br>d"}), ElementsAre("a"));
}

TEST(NewsListExtract, CommentsAndStyles) {
  // A comment is one tag up to its first ">", across lines if need be.
  EXPECT_THAT(Extract({"a<!-- note", "still note -->b"}), ElementsAre("ab"));
  // Style rules in the body are text.
  EXPECT_THAT(Extract({"<style>p{x:y}</style>"}), ElementsAre("p{x:y}"));
  // In the head they go with the rest of the head.
  EXPECT_THAT(Extract({"<HEAD><style>p{x:y}</style>", "</HEAD>"}), IsEmpty());
}

TEST(NewsListExtract, DisplayNoneHidesUntilATagOfTheSameName) {
  EXPECT_THAT(Extract({"<div style=\"display:none\">hid<span>den</span></div>shown"}), ElementsAre("shown"));
  EXPECT_THAT(Extract({"<div style=\"DISPLAY: none\">visible</div>"}), ElementsAre("visible"));
  // H1 is named H; an opening tag of that name ends the mode as well.
  EXPECT_THAT(Extract({"<h1 style=display:none>x</h2>y<h3>z"}), ElementsAre("yz"));
  // Only tags whose name matches end it, even across many lines.
  EXPECT_THAT(Extract({"<p style='display:none'>a", "<br>", "b</P>c"}), ElementsAre("c"));
}

TEST(NewsListExtract, DisplayNoneIsFoundAnywhereInALongTag) {
  const std::string filler(5000, 'x');
  EXPECT_THAT(Extract({"<div data=\"" + filler + "\" style=display:none>hidden</div>shown"}),
              ElementsAre("shown"));
  EXPECT_THAT(Extract({"<div data=\"" + filler, "\" style=display:", "none>hidden</div>shown"}),
              ElementsAre("shown"));
}

TEST(NewsListExtract, MarkersInAnyCase) {
  NewsList list;
  list.Extract(Page({"<Head><Title>Mixed</tItLe></hEaD>",
                     "a<Br>b<ScRiPt>x</sCrIpT>c<div STYLE=Display:None>y</Div>z"}),
               1);
  EXPECT_EQ(list.title, "Mixed");
  EXPECT_THAT(list.items, ElementsAre("a", "bcz"));
}

TEST(NewsListExtract, UnfinishedTagsJoinLines) {
  // The text before an unfinished tag waits for the text after it.
  EXPECT_THAT(Extract({"abc<a", "href=x>def"}), ElementsAre("abcdef"));
  EXPECT_THAT(Extract({"<B", "R>x"}), ElementsAre("x"));
  // An unmatched "<" swallows everything up to the next ">" of the page.
  EXPECT_THAT(Extract({"first", "<a href=", "swallowed text", "x>after"}), ElementsAre("first", "after"));
  // With no ">" at all, text before it is dropped.
  EXPECT_THAT(Extract({"kept", "lost <a", "b"}), ElementsAre("kept"));
}

TEST(NewsListExtract, LevelFiltersItems) {
  EXPECT_THAT(Extract({"あいうえおかきくけこ<br>あいうえおかきくけ１", "1234567890123456789"}, 20),
              ElementsAre("あいうえおかきくけこ", "あいうえおかきくけ１"));
}

TEST(NewsListExtract, StoredTextIsCappedBeforeEachLine) {
  std::vector<std::string> lines(300, std::string(100, 'a'));
  const std::vector<std::string> items = Extract(lines);
  // 201 lines give 20100 bytes, past the cap, so the 202nd line is not taken.
  ASSERT_EQ(items.size(), 202u);
  EXPECT_EQ(items.back(), kContinuationItem);
  // A page that ends right after passing the cap gets no continuation.
  lines.resize(201);
  EXPECT_EQ(Extract(lines).size(), 201u);
  // Text in the head and text below the level does not count.
  std::vector<std::string> head(400, std::string(100, 'h'));
  head.insert(head.begin(), "<HEAD>");
  EXPECT_THAT(Extract(head), IsEmpty());
  EXPECT_THAT(Extract(std::vector<std::string>(400, std::string(100, 's')), 101), IsEmpty());
}

TEST(NewsListExtract, BadBytes) {
  // NUL bytes are ordinary bytes and count.
  const std::vector<std::string> items = Extract({std::string("ab\0cd<br>e", 10)});
  EXPECT_THAT(items, ElementsAre(std::string("ab\0cd", 5), "e"));
  // "<" and ">" are never second bytes of a double-byte character: after a lone lead byte (a
  // broken line, a page guessed wrong) the "<" still starts a tag and the first ">" ends it.
  EXPECT_THAT(Extract({"ab\x81<br>cd"}), ElementsAre("ab\x81", "cd"));
  EXPECT_THAT(Extract({"news\x82<script>var secret=1;</script>after"}), ElementsAre("news\x82"
                                                                                    "after"));
  EXPECT_THAT(Extract({"a\x82</td>b\x82</b>c\x82<p>d"}), ElementsAre("a\x82 b\x82"
                                                                     "c\x82",
                                                                     "d"));
  // Runs of lead-range bytes: "＝" is 0x81 0x81.
  EXPECT_THAT(Extract({"＝＝<br>x"}), ElementsAre("＝＝", "x"));
  EXPECT_THAT(Extract({"＝＝\x81<br>x"}), ElementsAre("＝＝\x81", "x"));
  EXPECT_THAT(Extract({"<a href=\x81>x\x81</a>y"}), ElementsAre("x\x81y"));
  // "DISPLAY:NONE" is looked for character by character: here "d" is the second byte of 0x81 "d".
  EXPECT_THAT(Extract({"<p style=\x81"
                       "display:none>shown"}),
              ElementsAre("shown"));
  // At a line end inside a tag the lead byte pairs with the next line's first byte, unless that
  // byte is the ">" that ends the tag.
  EXPECT_THAT(Extract({"<a \x81", ">not a tag>x"}), ElementsAre("not a tag>x"));
  EXPECT_THAT(Extract({"<p style=\x81", "display:none>shown"}), ElementsAre("shown"));
  // A lone lead byte ending the page is kept.
  EXPECT_THAT(Extract({"end\x81"}), ElementsAre("end\x81"));
}

TEST(NewsListExtract, OneLineMinifiedPage) {
  NewsList list;
  list.Extract(
      Page({"<!DOCTYPE html><html><HEAD><meta charset=utf-8><title>速報</title><script>var a='<p>no';"
            "</script></HEAD><BODY bgcolor=\"#ffffff\"><div class=n><a href=/1>首相が会見</a></div><br>"
            "<div><a href=/2>株価が上昇</a></div><br><table><tr><td>天気</td><td>晴れ</td></tr></table>"
            "</BODY></html>"}),
      1);
  EXPECT_EQ(list.title, "速報");
  EXPECT_THAT(list.items, ElementsAre("首相が会見", "株価が上昇", "天気 晴れ"));
}

// ---------------------------------------------------------------------------------------------
// Extraction from text in memory

TEST(NewsListExtractFromText, ShortTextYieldsNothing) {
  NewsList list;
  list.AddItem("old", 1);
  list.ExtractFromText("<title>t</title>" + std::string(83, 'x'), 1);  // 99 bytes
  EXPECT_THAT(list.items, IsEmpty());
  EXPECT_EQ(list.title, "");
  list.ExtractFromText("<title>t</title>" + std::string(84, 'x'), 1);  // 100 bytes
  EXPECT_EQ(list.title, "t");
  EXPECT_EQ(list.ItemCount(), 1);
}

TEST(NewsListExtractFromText, SplitsAtLineFeedsOnly) {
  NewsList list;
  const std::string pad(100, ' ');
  list.ExtractFromText(pad + "one\r\n\n  \ntwo\nthree\x81\nsame line\nlast", 1);
  EXPECT_THAT(list.items, ElementsAre("one", "two", "three\x81\nsame line", "last"));
}

TEST(NewsListExtractFromText, HugeSingleLine) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<a href=x>見出し</a><br>";
  NewsList list;
  list.ExtractFromText(text, 1);
  // The cap is tested before each line, so a single line is taken whole.
  EXPECT_EQ(list.ItemCount(), 100000);
  EXPECT_EQ(list.GetItem(99999), "見出し");
}

}  // namespace

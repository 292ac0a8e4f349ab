#include "ticker/news/news_message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using news::ReadItemStream;

int FixedRandom1() {
  return 1;
}

TEST(NewsMessage, CopyDataTextIsBoundedByItsLength) {
  const char buffer[] = {'a', 'b', 'c', 'd'};  // no terminating zero
  EXPECT_EQ(ticker_link::ReadCopyDataText(buffer, 4), "abcd");
  EXPECT_EQ(ticker_link::ReadCopyDataText(buffer, 2), "ab");
  EXPECT_EQ(ticker_link::ReadCopyDataText("ab\0cd", 6), "ab");
  EXPECT_EQ(ticker_link::ReadCopyDataText(nullptr, 10), "");
  EXPECT_EQ(ticker_link::ReadCopyDataText(buffer, 0), "");
  // A heap block of exactly cbData bytes: the sanitizer catches any read past it.
  std::vector<char> exact(1000, 'x');
  EXPECT_EQ(ticker_link::ReadCopyDataText(exact.data(), exact.size()).size(), 1000u);
}

TEST(NewsMessage, ItemStreamParts) {
  const auto item = ReadItemStream("@TITLE@A@/TITLE@@URL@B@/URL@@NEWS@x\ny\n", FixedRandom1);
  EXPECT_EQ(item.title, "A");
  EXPECT_EQ(item.url, "B");
  EXPECT_EQ(item.body, "x\ny\n");
  EXPECT_EQ(news::ItemStreamHead("A", "B"), "@TITLE@A@/TITLE@@URL@B@/URL@@NEWS@");
}

TEST(NewsMessage, MissingPartsTakeDefaults) {
  int calls = 0;
  auto counting = [&calls] {
    ++calls;
    return 5;
  };  // 5 % 3 = 2
  auto item = ReadItemStream("just a body", counting);
  EXPECT_EQ(item.title, "緊急");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(item.url, news::kMakerHomeUrl);
  EXPECT_EQ(item.body, "just a body");

  EXPECT_EQ(ReadItemStream("", [] { return 0; }).title, "特報");
  EXPECT_EQ(ReadItemStream("", [] { return 4; }).title, "号外");
  // Misordered and half-present markers give empty parts, so defaults.
  item = ReadItemStream("@/TITLE@t@TITLE@@URL@u@NEWS@b", FixedRandom1);
  EXPECT_EQ(item.title, "号外");
  EXPECT_EQ(item.url, news::kMakerHomeUrl);
  EXPECT_EQ(item.body, "b");
  // The random number is not drawn when a title is given.
  calls = 0;
  ReadItemStream("@TITLE@t@/TITLE@", counting);
  EXPECT_EQ(calls, 0);
}

TEST(NewsMessage, MarkersAreNotFoundInsideDoubleByteCharacters) {
  // "ァ" is 0x83 0x40: its trail byte followed by "TITLE@" must not be taken for "@TITLE@".
  const auto item = ReadItemStream("ァTITLE@x@/TITLE@@NEWS@ソ", [] { return 0; });
  EXPECT_EQ(item.title, "特報");
  EXPECT_EQ(item.body, "ソ");
  EXPECT_EQ(ReadItemStream("@TITLE@表@/TITLE@", FixedRandom1).title, "表");
}

// Found by fuzzing: a title "NEWS" closed by "@/TITLE@" spells "@NEWS@" inside the head, and a
// title "URL" spells "@URL@"; the head's own markers must still be the ones used.
TEST(NewsMessage, TitleSpellingAMarkerDoesNotMoveTheParts) {
  auto item = ReadItemStream(news::ItemStreamHead("NEWS", "http://a.example/") + "one\ntwo", FixedRandom1);
  EXPECT_EQ(item.title, "NEWS");
  EXPECT_EQ(item.url, "http://a.example/");
  EXPECT_EQ(item.body, "one\ntwo");
  item = ReadItemStream(news::ItemStreamHead("URL", "http://b.example/") + "x", FixedRandom1);
  EXPECT_EQ(item.title, "URL");
  EXPECT_EQ(item.url, "http://b.example/");
  EXPECT_EQ(item.body, "x");
  item = ReadItemStream(news::ItemStreamHead("t", "NEWS") + "y", FixedRandom1);
  EXPECT_EQ(item.url, "NEWS");
  EXPECT_EQ(item.body, "y");
  // A body after the head may hold the markers again.
  item = ReadItemStream(news::ItemStreamHead("t", "u") + "@NEWS@@URL@z@/URL@", FixedRandom1);
  EXPECT_EQ(item.url, "u");
  EXPECT_EQ(item.body, "@NEWS@@URL@z@/URL@");
}

TEST(NewsMessage, PiecesAreTrimmedAndEmptyOnesDropped) {
  EXPECT_EQ(news::SplitPieces("x\ny\n", '\n'), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(news::SplitPieces("  a \n\n \t\n b", '\n'), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(news::SplitPieces("x\ny\n", '\f'), (std::vector<std::string>{"x\ny"}));
  EXPECT_TRUE(news::SplitPieces("", '\n').empty());
  EXPECT_TRUE(news::SplitPieces("\n\n", '\n').empty());
}

TEST(NewsMessage, FlashTextOfTheChannel) {
  const std::string text = news::BuildFlashText("T", "U", {"a&enter;b", "c"});
  EXPECT_EQ(text, "@TITLE@T@/TITLE@@URL@U@/URL@@NEWS@a\r\nb\fc\f");
  EXPECT_EQ(news::SplitPieces(ReadItemStream(text, FixedRandom1).body, '\f'),
            (std::vector<std::string>{"a\r\nb", "c"}));
  EXPECT_EQ(news::ExpandEnter("&enter;&enter;x&enter"), "\r\n\r\nx&enter");
}

}  // namespace

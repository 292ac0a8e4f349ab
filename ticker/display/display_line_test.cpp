#include "ticker/display/display_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using display::BuildDisplayLine;
using display::ToFullWidth;

// Every byte pair of a full-width text; fails on an odd length.
bool AllTwoByte(const std::string& s) {
  return s.size() % 2 == 0;
}

TEST(FullWidth, TableHasCodePage932Forms) {
  EXPECT_EQ(ToFullWidth("A"), "\x82\x60");   // Ａ
  EXPECT_EQ(ToFullWidth("z"), "\x82\x9A");   // ｚ
  EXPECT_EQ(ToFullWidth("1"), "\x82\x50");   // １
  EXPECT_EQ(ToFullWidth(" "), "\x81\x40");   // ideographic space
  EXPECT_EQ(ToFullWidth("\""), "\x81\x68");  // ”
  EXPECT_EQ(ToFullWidth("'"), "\x81\x66");   // ’
  EXPECT_EQ(ToFullWidth("-"), "\x81\x7C");   // －
  EXPECT_EQ(ToFullWidth("\\"), "\x81\x8F");  // ￥
  EXPECT_EQ(ToFullWidth("`"), "\x81\x65");   // ‘
  EXPECT_EQ(ToFullWidth("|"), "\x81\x62");   // ｜
  EXPECT_EQ(ToFullWidth("~"), "\x81\x60");   // ～
  EXPECT_EQ(ToFullWidth("ABC abc 123"), "ＡＢＣ　ａｂｃ　１２３");
  // Every printable byte has a two-byte form.
  for (int c = 0x20; c <= 0x7E; ++c)
    EXPECT_EQ(display::FullWidthOf(static_cast<unsigned char>(c)).size(), 2u) << c;
}

TEST(FullWidth, ControlCharactersAndDeleteAreDropped) {
  EXPECT_EQ(ToFullWidth("a\tb\r\nc\x7F"
                        "d"),
            "ａｂｃｄ");
  EXPECT_EQ(ToFullWidth(std::string("x\0y", 3)), "ｘｙ");
}

TEST(FullWidth, DoubleByteCharactersKeepTheirTrailBytes) {
  // 表 and ソ have 0x5C as trail byte, 鬼 ends in 0x53: none may be converted as ASCII.
  EXPECT_EQ(ToFullWidth("表ソ能"), "表ソ能");
  EXPECT_EQ(ToFullWidth("ニュースA"), "ニュースＡ");
}

TEST(FullWidth, HalfWidthKatakanaStayPairedAndNeverTearTheNextCharacter) {
  EXPECT_EQ(ToFullWidth("ﾆｭｰｽ"), "ﾆｭｰｽ");
  // An odd run is padded; the ideographic space after it survives whole.
  EXPECT_EQ(ToFullWidth("ｱｲｳ　"), "ｱｲｳ 　");
  EXPECT_TRUE(AllTwoByte(ToFullWidth("ｱ")));
  // A lead byte cut off at the end is dropped instead of pairing with what follows.
  EXPECT_EQ(ToFullWidth("A\x82"), "Ａ");
}

TEST(DisplayLine, HeaderItemsAndClosingMark) {
  const auto line = BuildDisplayLine("Tech", {"First.", "Second"}, 3, 9, 24);
  EXPECT_EQ(line.text,
            "　　【　Ｔｅｃｈ　ニュース　３月９日　】"
            "　　　　　●Ｆｉｒｓｔ．．．．"
            "　　　　　●Ｓｅｃｏｎｄ．．．"
            "　以上");
  EXPECT_EQ(line.consumed, 2);
}

TEST(DisplayLine, TitleEndingInNewsHasNoSecondNews) {
  EXPECT_NE(BuildDisplayLine("経済ニュース", {}, 12, 31, 0).text.find("【　経済ニュース　１２月３１日　】"),
            std::string::npos);
  EXPECT_NE(BuildDisplayLine("ﾃﾚﾋﾞﾆｭｰｽ", {}, 1, 2, 0).text.find("【　ﾃﾚﾋﾞﾆｭｰｽ　１月２日　】"),
            std::string::npos);
  // "ニュース" in the middle of a title does not count.
  EXPECT_NE(BuildDisplayLine("ニュース速報", {}, 1, 2, 0).text.find("ニュース速報　ニュース　"),
            std::string::npos);
}

TEST(DisplayLine, TrailingFullStopOrCommaIsDropped) {
  const auto line = BuildDisplayLine("T", {"雨が降る。", "晴れ、", "曇り。。"}, 1, 1, 0);
  EXPECT_NE(line.text.find("●雨が降る．．．"), std::string::npos);
  EXPECT_NE(line.text.find("●晴れ．．．"), std::string::npos);
  EXPECT_NE(line.text.find("●曇り。．．．"), std::string::npos);  // only the last one
  EXPECT_EQ(line.text.find("降る。"), std::string::npos);
}

TEST(DisplayLine, StopsAtTheFirstEmptyHeadline) {
  const auto line = BuildDisplayLine("T", {"a", "", "b"}, 1, 1, 0);
  EXPECT_EQ(line.consumed, 1);
  EXPECT_EQ(line.text.find("ｂ"), std::string::npos);
}

TEST(DisplayLine, LeadInIsWidthOverTwelveSpacesAtLeastOne) {
  auto leadIn = [](int width) {
    const std::string t = BuildDisplayLine("T", {}, 1, 1, width).text;
    return static_cast<int>(t.find("【") / 2);
  };
  EXPECT_EQ(leadIn(0), 1);
  EXPECT_EQ(leadIn(11), 1);
  EXPECT_EQ(leadIn(24), 2);
  EXPECT_EQ(leadIn(1024), 85);
  EXPECT_EQ(leadIn(2000), 166);
  EXPECT_EQ(leadIn(-50), 1);
}

}  // namespace

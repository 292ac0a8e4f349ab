#include "support/text/sjis.h"

#include <gtest/gtest.h>

#include "support/text/sjis_cut.h"

namespace {

// "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: their trail byte is a backslash.
// "ア" is 0x83 0x41 and "ぁ" is 0x82 0x9F; "＠" is 0x81 0x97; "＼" is 0x81 0x5F.
const std::string kHyo = "表";
const std::string kSo = "ソ";

TEST(Sjis, LiteralsAreShiftJis) {
  ASSERT_EQ(kHyo, std::string("\x95\x5C"));
  ASSERT_EQ(kSo, std::string("\x83\x5C"));
  ASSERT_EQ(std::string("ア"), std::string("\x83\x41"));
}

TEST(Sjis, LeadBytes) {
  for (int c = 0; c < 256; ++c) {
    bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    EXPECT_EQ(sjis::IsLeadByte(static_cast<unsigned char>(c)), expected) << c;
  }
  // Half-width katakana are single bytes.
  EXPECT_FALSE(sjis::IsLeadByte(static_cast<unsigned char>(0xB1)));
}

TEST(Sjis, StepsByCharacterIncludingLoneLeadAtEnd) {
  std::string s = "aア\x82";  // 'a', a double-byte character, a lone lead byte
  EXPECT_EQ(sjis::NextChar(s, 0), 1u);
  EXPECT_EQ(sjis::NextChar(s, 1), 3u);
  EXPECT_EQ(sjis::NextChar(s, 3), 4u);
  EXPECT_EQ(sjis::CharLength(s, 4), 0u);
  EXPECT_EQ(sjis::PrevChar(s, 3), 1u);
  EXPECT_EQ(sjis::PrevChar(s, 4), 3u);
  EXPECT_EQ(sjis::PrevChar(s, 2), 1u);  // inside a character: its start
  // Cuts end on a character boundary: "aア" fits in 3 bytes, not in 2.
  EXPECT_EQ(sjis::CutToBytes(s, 3), "aア");
  EXPECT_EQ(sjis::CutToBytes(s, 2), "a");
  EXPECT_EQ(sjis::CutToBytes(s, 0), "");
  EXPECT_EQ(sjis::CutToBytes(s, 99), s);
}

TEST(Sjis, UpperCasingLeavesTrailBytesAndLength) {
  // "ア" has the trail byte 'A'; "ャ" is 0x83 0x83; 0x82 0x61 is "Ａ"... its trail 'a' must stay.
  std::string s = std::string("abc\x82\x61z") + kHyo + "q";
  std::string up = sjis::ToUpper(s);
  EXPECT_EQ(up, std::string("ABC\x82\x61Z") + kHyo + "Q");
  EXPECT_EQ(up.size(), s.size());
  std::string low = up;
  sjis::MakeLower(low);
  EXPECT_EQ(low, std::string("abc\x82\x61z") + kHyo + "q");
}

TEST(Sjis, TrimsOnlySingleByteWhiteSpace) {
  EXPECT_EQ(sjis::Trim(" \t\r\n\v\f x y \r\n"), "x y");
  EXPECT_EQ(sjis::Trim("　x　"), "　x　");  // the ideographic space is not trimmed here
  EXPECT_EQ(sjis::TrimLeft("  a "), "a ");
  EXPECT_EQ(sjis::TrimRight("  a "), "  a");
  EXPECT_EQ(sjis::Trim("   "), "");
  EXPECT_EQ(sjis::Trim(""), "");
}

TEST(Sjis, FindNeverMatchesInsideDoubleByteCharacters) {
  std::string s = kHyo + "\\x";  // backslash inside 表, then a real one at 2
  EXPECT_EQ(sjis::FindChar(s, '\\'), 2u);
  EXPECT_EQ(sjis::FindLastChar(s, '\\'), 2u);
  EXPECT_EQ(sjis::FindLastChar(kSo + kHyo, '\\'), std::string::npos);
  EXPECT_EQ(sjis::Find(s, "\\x"), 2u);
  // "A" as the trail byte of "ア" is not a match; the real one after it is.
  std::string t = "アA";
  EXPECT_EQ(sjis::Find(t, "A"), 2u);
  EXPECT_EQ(sjis::Find(t, "A", 3), std::string::npos);
  EXPECT_EQ(sjis::Find(t, ""), 0u);
  EXPECT_EQ(sjis::Find("", "x"), std::string::npos);
}

TEST(Sjis, EndsWithWholeCharacters) {
  EXPECT_TRUE(sjis::EndsWith("ニュース", "ース"));
  // 0x81 0x40 is "　"; in "\x81\x81\x40" the ideographic space is not at the end, 0x81 0x81 is.
  EXPECT_FALSE(sjis::EndsWith("\x81\x81\x40", "\x81\x40"));
  EXPECT_TRUE(sjis::EndsWith("a\x81\x40", "\x81\x40"));
  EXPECT_TRUE(sjis::EndsWith("abc", ""));
  EXPECT_FALSE(sjis::EndsWith("c", "abc"));
}

TEST(Sjis, EqualsNoCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(sjis::EqualsNoCase("Software", "SOFTWARE"));
  EXPECT_FALSE(sjis::EqualsNoCase("Soft", "Software"));
  // "ア" (0x83 0x41) and 0x83 0x61 ("ヂ"... a different character) must not fold together.
  EXPECT_FALSE(sjis::EqualsNoCase("\x83\x41", "\x83\x61"));
  EXPECT_TRUE(sjis::EqualsNoCase("表a", "表A"));
}

}  // namespace

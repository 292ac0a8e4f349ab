// What every build compiles a Japanese literal to. g++ gets code page 932 from -fexec-charset; the
// clang (fuzz) build compiles copies whose literals were rewritten to octal escapes. Either way the
// bytes must be the ones the shipped program has, or the fuzzers test another program.
#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const std::string& s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Sizes are fixed when compiling: a UTF-8 literal would not even build.
constexpr char kContinuation[] = "続きはホームページで";
static_assert(sizeof(kContinuation) == 10 * 2 + 1, "ten double-byte characters");
static_assert(sizeof("ｱｲｳ") == 3 + 1, "half-width katakana are single bytes");

TEST(LiteralBytes, JapaneseTextIsShiftJis) {
  EXPECT_EQ(Hex(kContinuation), "91 B1 82 AB 82 CD 83 7A 81 5B 83 80 83 79 81 5B 83 57 82 C5");
  // Trail bytes that are a backslash, a letter or a digit stay exactly that byte.
  EXPECT_EQ(Hex("表示ソ"), "95 5C 8E A6 83 5C");
  EXPECT_EQ(Hex("ア＠"), "83 41 81 97");
  EXPECT_EQ(Hex("ｱｲｳ　～"), "B1 B2 B3 81 40 81 60");
  // Code page 932's own rows. A character that is both an NEC-selected IBM extension (0xED-0xEE)
  // and an IBM extension (0xFA-0xFC) is written in the IBM form, as Windows writes it.
  EXPECT_EQ(Hex("①Ⅰ∵"), "87 40 87 54 81 E6");
  EXPECT_EQ(Hex("髙ⅰ＂"), "FB FC FA 40 FA 57");
}

TEST(LiteralBytes, EscapesAndDigitsBesideJapaneseKeepTheirMeaning) {
  // A hex escape ends before the next character; a digit after a Japanese one is its own byte.
  EXPECT_EQ(Hex("あ1２"), "82 A0 31 82 51");
  EXPECT_EQ(Hex("\x82あ"), "82 82 A0");
  EXPECT_EQ(Hex("あ\\"), "82 A0 5C");
}

TEST(LiteralBytes, Utf8LiteralsStayUtf8) {
  EXPECT_EQ(Hex(u8"あ"), "E3 81 82");
  EXPECT_EQ(Hex(u8"続き"), "E7 B6 9A E3 81 8D");
}

}  // namespace

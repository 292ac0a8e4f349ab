#include "support/draw/font_style.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(FontStyle, WordsInEitherLanguageAnyCaseAnyCombination) {
  FontStyle f = ParseFontStyle("Arial", 90, "bold italic");
  EXPECT_EQ(f.weight, 700);
  EXPECT_TRUE(f.italic);
  EXPECT_FALSE(f.underline);
  EXPECT_FALSE(f.strikeOut);

  f = ParseFontStyle("ＭＳ ゴシック", 90, "標準|下線");
  EXPECT_EQ(f.weight, 0);
  EXPECT_TRUE(f.underline);
  EXPECT_FALSE(f.italic);
  EXPECT_EQ(f.face, "ＭＳ ゴシック");
  EXPECT_EQ(f.charset, 1);

  f = ParseFontStyle("x", 90, "取消線ボールド");
  EXPECT_EQ(f.weight, 700);
  EXPECT_TRUE(f.strikeOut);

  f = ParseFontStyle("x", 90, "斜体アンダーライン取り消し線太字");
  EXPECT_TRUE(f.italic && f.underline && f.strikeOut);
  EXPECT_EQ(f.weight, 700);

  f = ParseFontStyle("x", 90, "StrikeOut,Underline");
  EXPECT_TRUE(f.strikeOut && f.underline);
}

TEST(FontStyle, PlainStylesAndWordsHiddenInTrailBytes) {
  for (const char* style : {"", "標準", "normal"}) {
    FontStyle f = ParseFontStyle("x", 90, style);
    EXPECT_EQ(f.weight, 0) << style;
    EXPECT_FALSE(f.italic || f.underline || f.strikeOut) << style;
  }
  // "ｂ" style trail bytes must not be taken for ASCII letters: a double-byte character whose
  // second byte is 'B' (0x42) followed by "OLD" is no bold word.
  std::string tricky = "\x83\x42OLD";  // ィ + "OLD"
  EXPECT_EQ(ParseFontStyle("x", 90, tricky).weight, 0);
}

TEST(FontStyle, FaceCutAtCharacterBoundaryWithin31Bytes) {
  EXPECT_EQ(TruncateFaceName(std::string(40, 'a')), std::string(31, 'a'));
  // 15 double-byte characters + 'a' = 31 bytes fit; one more double-byte character would split.
  std::string face;
  for (int i = 0; i < 15; ++i) face += "あ";
  EXPECT_EQ(TruncateFaceName(face + "a" + "い"), face + "a");
  EXPECT_EQ(TruncateFaceName("a" + face + "い"), "a" + face);  // 31 bytes exactly
  EXPECT_EQ(TruncateFaceName(face + "いう"), face);            // 32 would split: 30 kept
  EXPECT_EQ(ParseFontStyle(face + "いう", 90, "").face.size(), 30u);
}

// Found by fuzzing: a short face whose last byte is a lead byte was passed on whole, torn.
TEST(FontStyle, TornLastCharacterOfAShortFaceIsDropped) {
  EXPECT_EQ(TruncateFaceName("\x82\x6c\x82"), "\x82\x6c");
  EXPECT_EQ(ParseFontStyle("ab\x83", 90, "").face, "ab");
  EXPECT_EQ(TruncateFaceName("\x83"), "");
  EXPECT_EQ(TruncateFaceName("\x82\x6c"), "\x82\x6c");
}

TEST(FontStyle, PointSizeInTenthsFollowsResolution) {
  EXPECT_EQ(PointTenthsToHeight(120, 96), -16);
  EXPECT_EQ(PointTenthsToHeight(120, 72), -12);
  EXPECT_EQ(PointTenthsToHeight(120, 120), -20);
  EXPECT_EQ(PointTenthsToHeight(90, 96), -12);
  EXPECT_EQ(PointTenthsToHeight(-90, 96), -12);
  EXPECT_EQ(PointTenthsToHeight(0, 96), 0);
  // Found by fuzzing: a huge size from the settings came out positive once cut to 32 bits.
  EXPECT_EQ(PointTenthsToHeight(0x6c828272, 0x6c8272), -INT32_MAX);
  EXPECT_EQ(PointTenthsToHeight(INT32_MIN, INT32_MAX), -INT32_MAX);
  EXPECT_LT(PointTenthsToHeight(INT32_MAX, 96), 0);
}

TEST(HandCursor, PlanesCarryTheHandInTheTopLeftCorner) {
  const int w = 32, h = 32;
  const std::size_t bytes = CursorPlaneBytes(w, h);
  ASSERT_EQ(bytes, 4u * 32u);
  std::vector<std::uint8_t> andPlane(bytes), xorPlane(bytes);
  ASSERT_TRUE(BuildHandCursorPlanes(w, h, andPlane.data(), xorPlane.data(), bytes));
  int opaque = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool andBit = (andPlane[y * 4 + x / 8] >> (7 - x % 8)) & 1;
      const bool xorBit = (xorPlane[y * 4 + x / 8] >> (7 - x % 8)) & 1;
      if (x >= kHandCursorWidth || y >= kHandCursorHeight) {
        EXPECT_TRUE(andBit && !xorBit) << x << "," << y;
      } else {
        EXPECT_EQ(andBit, HandCursorAnd(x, y) != 0);
        EXPECT_EQ(xorBit, HandCursorXor(x, y) != 0);
        if (!andBit) ++opaque;
      }
    }
  }
  EXPECT_GT(opaque, 100);             // a hand, not an empty picture
  EXPECT_EQ(HandCursorAnd(0, 0), 1);  // the hot spot's corner is see-through
  EXPECT_FALSE(BuildHandCursorPlanes(8, 8, andPlane.data(), xorPlane.data(), bytes));
  EXPECT_FALSE(BuildHandCursorPlanes(64, 64, andPlane.data(), xorPlane.data(), bytes));  // planes too small
}

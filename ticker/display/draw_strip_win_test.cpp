#include "ticker/display/draw_strip_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ticker {
namespace {

COLORREF PixelOf(const CDibSurface& s, int x, int y) {
  const auto* p = static_cast<const std::uint8_t*>(s.GetPixelAddress(x, y));
  return p ? RGB(p[2], p[1], p[0]) : CLR_INVALID;
}

std::vector<std::uint8_t> BitsOf(const CDibSurface& s) {
  std::size_t size = 0;
  const auto* bits = static_cast<const std::uint8_t*>(s.GetBits(&size));
  ::GdiFlush();
  return std::vector<std::uint8_t>(bits, bits + size);
}

int Count(const CDibSurface& s, COLORREF colour) {
  int n = 0;
  for (int y = 0; y < s.GetHeight(); ++y) {
    for (int x = 0; x < s.GetWidth(); ++x) n += PixelOf(s, x, y) == colour;
  }
  return n;
}

const std::string kText = "　　ニュース速報　ＡＢＣ１２３　東京都で記録的な大雨";

TEST(DrawStrip, YellowTextOverItsShadowOnTheFillColour) {
  CDibSurface s;
  const RECT r = {0, 748, 400, 768};
  ASSERT_TRUE(DrawStrip(s, r, kText, 0, RGB(0, 0, 0)));
  ::GdiFlush();
  EXPECT_EQ(s.GetWidth(), 400);
  EXPECT_EQ(s.GetHeight(), 20);
  EXPECT_GT(Count(s, kStripTextColour), 50);
  EXPECT_GT(Count(s, kStripShadowColour), 20);
  // The two lead-in spaces stay black; text in the top and bottom rows would mean no centring.
  for (int y = 0; y < 20; ++y) EXPECT_EQ(PixelOf(s, 5, y), RGB(0, 0, 0));
  for (int x = 0; x < 400; ++x) EXPECT_NE(PixelOf(s, x, 0), kStripTextColour);

  // A shadow pixel sits one right and one down from some text pixel, never the other way.
  bool below = false;
  for (int y = 0; y + 1 < 20 && !below; ++y) {
    for (int x = 0; x + 1 < 400 && !below; ++x) {
      below = PixelOf(s, x, y) == kStripTextColour && PixelOf(s, x + 1, y + 1) == kStripShadowColour;
    }
  }
  EXPECT_TRUE(below);

  CDibSurface grey;
  ASSERT_TRUE(DrawStrip(grey, r, "", 0, RGB(10, 20, 30)));
  ::GdiFlush();
  EXPECT_EQ(Count(grey, RGB(10, 20, 30)), 400 * 20);
}

TEST(DrawStrip, OffsetMovesTheTextLeftByExactlyThatManyPixels) {
  CDibSurface a, b;
  const RECT r = {0, 0, 300, 20};
  ASSERT_TRUE(DrawStrip(a, r, kText, 0, 0));
  ASSERT_TRUE(DrawStrip(b, r, kText, -8, 0));
  ::GdiFlush();
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x + 8 < 280; ++x) ASSERT_EQ(PixelOf(b, x, y), PixelOf(a, x + 8, y)) << x << "," << y;
  }
}

TEST(DrawStrip, SnapshotBackgroundIsTakenFromTheStripsScreenPosition) {
  CDibSurface snapshot;
  ASSERT_TRUE(snapshot.Create(64, 48, 32));
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) ASSERT_TRUE(snapshot.SetPixelV(x, y, RGB(x * 4, y * 5, 99)));
  }
  CDibSurface s;
  const RECT r = {40, 10, 80, 30};  // runs 16 pixels past the snapshot's right edge
  ASSERT_TRUE(DrawStrip(s, r, "", 0, kFillFromSnapshot, &snapshot));
  ::GdiFlush();
  EXPECT_EQ(PixelOf(s, 0, 0), RGB(160, 50, 99));
  EXPECT_EQ(PixelOf(s, 23, 19), RGB(252, 145, 99));
  EXPECT_EQ(PixelOf(s, 24, 0), RGB(0, 0, 0));  // beyond the snapshot: black, not garbage

  CDibSurface none;
  ASSERT_TRUE(DrawStrip(none, r, "", 0, kFillFromSnapshot, nullptr));
  ::GdiFlush();
  EXPECT_EQ(Count(none, RGB(0, 0, 0)), 40 * 20);
}

TEST(DrawStrip, EmptyRectangleMakesNoBitmap) {
  CDibSurface s;
  EXPECT_FALSE(DrawStrip(s, RECT{10, 10, 10, 30}, kText, 0, 0));
  EXPECT_FALSE(s.IsValid());
  CStripPainter p;
  EXPECT_FALSE(p.Draw(RECT{0, 0, 100, -5}, kText, 0, 0));
}

// The painter keeps its bitmap and font between frames: every frame must still be exactly the
// frame DrawStrip makes from nothing, whatever was drawn before it (longer text, other fills,
// another size).
TEST(StripPainter, EveryFrameEqualsAFreshDrawStrip) {
  CDibSurface snapshot;
  ASSERT_TRUE(snapshot.Create(1024, 40, 32));
  ASSERT_TRUE(snapshot.FillSolidRect(0, 0, 1024, 40, RGB(0, 90, 160)));
  ASSERT_TRUE(snapshot.FillSolidRect(700, 0, 50, 40, RGB(200, 200, 200)));
  struct Frame {
    RECT rect;
    std::string text;
    int offset;
    long fill;
  };
  const std::vector<Frame> frames = {
      {{0, 0, 1024, 20}, kText, 0, 0},
      {{0, 0, 1024, 20}, kText.substr(2), -4, 0},
      {{0, 0, 1024, 20}, "", -8, 0},
      {{0, 0, 1024, 20}, "短い", 0, RGB(0, 0, 128)},
      {{768, 0, 1024, 20}, kText, -4, kFillFromSnapshot},
      {{768, 0, 1024, 20}, "", 0, kFillFromSnapshot},
      {{0, 0, 800, 20}, kText, 0, 0},
      {{0, 0, 1024, 20}, kText, -8, 0},
  };
  CStripPainter painter;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = frames[i];
    ASSERT_TRUE(painter.Draw(f.rect, f.text, f.offset, f.fill, &snapshot));
    CDibSurface fresh;
    ASSERT_TRUE(DrawStrip(fresh, f.rect, f.text, f.offset, f.fill, &snapshot));
    ASSERT_EQ(painter.Surface().GetWidth(), fresh.GetWidth());
    EXPECT_TRUE(BitsOf(painter.Surface()) == BitsOf(fresh)) << "frame " << i;
  }
  const HBITMAP kept = painter.Surface().GetHandle();
  ASSERT_TRUE(painter.Draw(frames.back().rect, kText, 0, 0));
  EXPECT_EQ(painter.Surface().GetHandle(), kept) << "the bitmap is made again without a size change";
}

}  // namespace
}  // namespace ticker

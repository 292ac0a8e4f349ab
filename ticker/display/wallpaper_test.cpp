#include "ticker/display/wallpaper.h"

#include <gtest/gtest.h>

#include "ticker/display/desktop_strip.h"

namespace {

using ticker::DesktopRgb;
using ticker::ParseDesktopColour;
using ticker::WallpaperLayout;
using ticker::WallpaperSettings;

DesktopRgb Rgb(int r, int g, int b) {
  DesktopRgb c;
  c.red = static_cast<std::uint8_t>(r);
  c.green = static_cast<std::uint8_t>(g);
  c.blue = static_cast<std::uint8_t>(b);
  return c;
}

TEST(DesktopColour, ThreeNumbersAreRedGreenBlue) {
  EXPECT_EQ(ParseDesktopColour("0 128 128"), Rgb(0, 128, 128));
  EXPECT_EQ(ParseDesktopColour("58 110 165"), Rgb(58, 110, 165));
  // Each number is cut to its low eight bits, as the system's colour macro does.
  EXPECT_EQ(ParseDesktopColour("256 -1 300"), Rgb(0, 255, 44));
  // Each piece is read like atoi: trailing junk is ignored, a missing number is 0.
  EXPECT_EQ(ParseDesktopColour("12 34x 56 "), Rgb(12, 34, 56));
  EXPECT_EQ(ParseDesktopColour("12 \t34 56"), Rgb(12, 34, 56));
  EXPECT_EQ(ParseDesktopColour("12"), Rgb(12, 0, 0));
  EXPECT_EQ(ParseDesktopColour("1 2"), Rgb(1, 2, 0));
  EXPECT_EQ(ParseDesktopColour(""), Rgb(0, 0, 0));
  EXPECT_EQ(ParseDesktopColour("red green blue"), Rgb(0, 0, 0));
  // The third number is "the rest": a second space inside it ends it.
  EXPECT_EQ(ParseDesktopColour("1 2 3 4"), Rgb(1, 2, 3));
  // Two spaces in a row leave the second number empty (0), the third takes the rest.
  EXPECT_EQ(ParseDesktopColour("1  2 3"), Rgb(1, 0, 2));
}

TEST(DesktopColour, HugeNumbersDoNotOverflow) {
  EXPECT_EQ(ticker::DecimalPrefix("99999999999999999999"), 2147483647);
  EXPECT_EQ(ticker::DecimalPrefix("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(ticker::DecimalPrefix("+42"), 42);
  EXPECT_EQ(ParseDesktopColour("99999999999 1 2"), Rgb(255, 1, 2));
}

TEST(WallpaperLayout, TileWinsOverStretchAndCentreIsTheRest) {
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"", "2", "1"}), WallpaperLayout::kColour);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "2", "1"}), WallpaperLayout::kTile);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "0", "1"}), WallpaperLayout::kTile);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "2", "0"}), WallpaperLayout::kStretch);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "2", ""}), WallpaperLayout::kStretch);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "0", "0"}), WallpaperLayout::kCentre);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "", ""}), WallpaperLayout::kCentre);
  // Only the exact texts count.
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "22 ", " 1"}), WallpaperLayout::kCentre);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "010", "0"}), WallpaperLayout::kCentre);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "1", "0"}), WallpaperLayout::kCentre);
}

TEST(WallpaperLayout, FitFillAndSpanStylesOfTodaysDesktop) {
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.jpg", "6", "0"}), WallpaperLayout::kFit);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.jpg", "10", "0"}), WallpaperLayout::kFill);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.jpg", "22", ""}), WallpaperLayout::kSpan);
  // Tiling still wins, and without a picture there is only the colour.
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.jpg", "10", "1"}), WallpaperLayout::kTile);
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"", "22", "0"}), WallpaperLayout::kColour);
}

using ticker::PictureRect;

TEST(WallpaperLayout, ScaledPicturesKeepTheirShapeExceptWhenStretched) {
  const PictureRect none{};
  const PictureRect screen{0, 0, 1920, 1080};
  struct Case {
    ticker::WallpaperLayout layout;
    int w, h;
    PictureRect at;
  } cases[] = {
      // A 4:3 picture on a 16:9 screen: fit leaves bars left and right, fill cuts top and bottom.
      {WallpaperLayout::kFit, 800, 600, {240, 0, 1440, 1080}},
      {WallpaperLayout::kFill, 800, 600, {0, -180, 1920, 1440}},
      // A panorama: fit leaves bars above and below, fill cuts the sides.
      {WallpaperLayout::kFit, 3000, 1000, {0, 220, 1920, 640}},
      {WallpaperLayout::kFill, 3000, 1000, {-660, 0, 3240, 1080}},
      // The screen's own shape: fit and fill are a stretch, small pictures grow.
      {WallpaperLayout::kFit, 3840, 2160, screen},
      {WallpaperLayout::kFill, 16, 9, screen},
      {WallpaperLayout::kStretch, 800, 600, screen},
      // Sizes round to the nearest pixel: 1001 x 1920 / 1000 = 1921.92 -> 1922, 3 x 1080 / 7 = 462.86
      // -> 463; the offset halves what is left over, dropping a half pixel.
      {WallpaperLayout::kFill, 1000, 1001, {0, -421, 1920, 1922}},
      {WallpaperLayout::kFit, 3, 7, {728, 0, 463, 1080}},
      // Centred at its own size, as before.
      {WallpaperLayout::kCentre, 800, 600, {560, 240, 800, 600}},
      // Nothing to place.
      {WallpaperLayout::kFit, 0, 600, none},
      {WallpaperLayout::kFill, 800, -1, none},
      {WallpaperLayout::kTile, 800, 600, none},
      {WallpaperLayout::kColour, 800, 600, none},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ticker::PlacePicture(c.layout, 1920, 1080, PictureRect{}, c.w, c.h), c.at)
        << static_cast<int>(c.layout) << " " << c.w << "x" << c.h;
  }
  EXPECT_EQ(ticker::FitInto(PictureRect{10, 20, 0, 100}, 800, 600), none);
  // A huge picture on a huge box does not overflow.
  EXPECT_EQ(ticker::FillInto(PictureRect{0, 0, 30000, 20000}, 2000000000, 1),
            (PictureRect{-2147483647 / 2 + 15000, 0, 2147483647, 20000}));
}

TEST(WallpaperLayout, SpanFillsTheBoxOfAllMonitors) {
  // One monitor: the same as fill.
  EXPECT_EQ(ticker::PlacePicture(WallpaperLayout::kSpan, 1920, 1080, PictureRect{0, 0, 1920, 1080}, 800, 600),
            (PictureRect{0, -180, 1920, 1440}));
  EXPECT_EQ(ticker::PlacePicture(WallpaperLayout::kSpan, 1920, 1080, PictureRect{}, 800, 600),
            (PictureRect{0, -180, 1920, 1440}));
  // Two 1920 x 1080 monitors side by side, the primary on the right: a 3840 x 1080 panorama lies
  // across both, and the primary shows its right half.
  const PictureRect pair{-1920, 0, 3840, 1080};
  EXPECT_EQ(ticker::PlacePicture(WallpaperLayout::kSpan, 1920, 1080, pair, 3840, 1080),
            (PictureRect{-1920, 0, 3840, 1080}));
  // A 16:9 picture over the pair is cut at the top and bottom: 3840 wide, 2160 high.
  EXPECT_EQ(ticker::PlacePicture(WallpaperLayout::kSpan, 1920, 1080, pair, 1920, 1080),
            (PictureRect{-1920, -540, 3840, 2160}));
  // A second monitor above and to the left, taller: the box starts at (-1280, -1024).
  EXPECT_EQ(ticker::PlacePicture(WallpaperLayout::kSpan, 1920, 1080, PictureRect{-1280, -1024, 3200, 2104},
                                 3200, 2104),
            (PictureRect{-1280, -1024, 3200, 2104}));
}

TEST(WallpaperLayout, CentredPicturesAreCutEquallyWhenLarger) {
  EXPECT_EQ(ticker::CentreOrigin(1024, 768, 800, 600), (ticker::PicturePoint{112, 84}));
  EXPECT_EQ(ticker::CentreOrigin(1024, 768, 1024, 768), (ticker::PicturePoint{0, 0}));
  EXPECT_EQ(ticker::CentreOrigin(1024, 768, 1280, 1024), (ticker::PicturePoint{-128, -128}));
  EXPECT_EQ(ticker::CentreOrigin(1024, 768, 0, 0), (ticker::PicturePoint{512, 384}));
}

TEST(WallpaperCache, ChangesAreReportedOnce) {
  ticker::WallpaperCache cache;
  // The cache starts empty: all-empty settings are no change, anything else is.
  EXPECT_FALSE(cache.Update({"", "", ""}));
  EXPECT_TRUE(cache.Update({"C:\\a.bmp", "0", "0"}));
  EXPECT_FALSE(cache.Update({"C:\\a.bmp", "0", "0"}));
  EXPECT_TRUE(cache.Update({"C:\\a.bmp", "2", "0"}));
  EXPECT_TRUE(cache.Update({"C:\\a.bmp", "2", "1"}));
  // Compared exactly, letter case included.
  EXPECT_TRUE(cache.Update({"C:\\A.bmp", "2", "1"}));
  EXPECT_EQ(cache.Cached().wallpaper, "C:\\A.bmp");
}

TEST(DesktopStrip, WidthIsAShareOfTheScreenAtLeastAQuarter) {
  EXPECT_EQ(ticker::StripWidth(1024, 25), 256);
  EXPECT_EQ(ticker::StripWidth(1024, 10), 256);
  EXPECT_EQ(ticker::StripWidth(1024, -5), 256);
  EXPECT_EQ(ticker::StripWidth(1024, 50), 512);
  EXPECT_EQ(ticker::StripWidth(1280, 75), 960);
  EXPECT_EQ(ticker::StripWidth(1024, 100), 1024);
  EXPECT_EQ(ticker::StripWidth(1023, 25), 255);
}

TEST(DesktopStrip, FlushWithTopAndRightOfTheWorkArea) {
  // A taskbar at the bottom.
  EXPECT_EQ(ticker::StripRect({0, 0, 1024, 748}, 256), (DibRect{768, 0, 1024, 20}));
  // A taskbar at the top or on the left: still the work area's corner, still 256 wide.
  EXPECT_EQ(ticker::StripRect({0, 30, 1024, 768}, 256), (DibRect{768, 30, 1024, 50}));
  EXPECT_EQ(ticker::StripRect({60, 0, 1024, 768}, 256), (DibRect{768, 0, 1024, 20}));
  // A taskbar on the right.
  EXPECT_EQ(ticker::StripRect({0, 0, 964, 768}, 256), (DibRect{708, 0, 964, 20}));
}

TEST(DesktopStrip, ShellIsToldOnlyWhenTheWorkAreaMovesUnderAStrip) {
  ticker::StripPlacement placement;
  EXPECT_FALSE(placement.HasStrip());
  // The first work area seen, with nothing drawn yet.
  EXPECT_FALSE(placement.SeeWorkArea({0, 0, 1024, 748}));
  EXPECT_EQ(placement.Place({0, 0, 1024, 748}, 1024, 25), (DibRect{768, 0, 1024, 20}));
  EXPECT_TRUE(placement.HasStrip());
  EXPECT_FALSE(placement.SeeWorkArea({0, 0, 1024, 748}));
  EXPECT_TRUE(placement.SeeWorkArea({0, 30, 1024, 768}));
  EXPECT_EQ(placement.LastWorkArea(), (DibRect{0, 30, 1024, 768}));
  placement.Clear();
  EXPECT_FALSE(placement.HasStrip());
  EXPECT_FALSE(placement.SeeWorkArea({0, 0, 1024, 748}));
}

}  // namespace

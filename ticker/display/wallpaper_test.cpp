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
  EXPECT_EQ(ticker::ChooseWallpaperLayout({"C:\\w.bmp", "22", " 1"}), WallpaperLayout::kCentre);
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

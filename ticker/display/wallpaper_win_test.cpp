// The wallpaper image and the desktop snapshot, rendered from desktop settings kept in a
// registry key of the test's own (the "desktop" and "colors" keys below it).
#include "ticker/display/wallpaper_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/registry_test_key.h"

namespace {

using ticker::CWallpaperCapture;

constexpr COLORREF kTeal = RGB(0, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

std::string TestData(const std::string& name) {
  std::string path = std::string("Z:") + ZELLORA_SOURCE_DIR + "/ticker/display/testdata/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

ticker::ScreenGeometry Screen(int width, int height) {
  ticker::ScreenGeometry g;
  g.width = width;
  g.height = height;
  g.workArea = RECT{0, 0, width, height - 20};
  return g;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

class WallpaperTest : public RegistryKeyTest {
 protected:
  void SetUp() override {
    RegistryKeyTest::SetUp();
    ASSERT_TRUE(reg_.WriteString("colors", "Background", "0 128 128"));
    owned = std::make_unique<CWallpaperCapture>(base_, [this] { return Screen(width, height); });
    capture = owned.get();
  }
  void SetWallpaper(const std::string& file, const std::string& style, const std::string& tile) {
    ASSERT_TRUE(reg_.WriteString("desktop", "Wallpaper", file));
    ASSERT_TRUE(reg_.WriteString("desktop", "WallpaperStyle", style));
    ASSERT_TRUE(reg_.WriteString("desktop", "TileWallpaper", tile));
  }
  // The wallpaper image of a 1024 x 768 screen.
  CDibSurface& Render() {
    capture->RebuildWallpaperImage();
    return capture->WallpaperImage();
  }

  int width = 1024, height = 768;
  std::unique_ptr<CWallpaperCapture> owned;  // made once base_ is known
  CWallpaperCapture* capture = nullptr;
};

TEST_F(WallpaperTest, DesktopColourFromTheThreeNumbers) {
  EXPECT_EQ(capture->DesktopColour(), kTeal);
  ASSERT_TRUE(reg_.WriteString("colors", "Background", "58 110 165"));
  EXPECT_EQ(capture->DesktopColour(), RGB(58, 110, 165));
  ASSERT_TRUE(reg_.DeleteValue("colors", "Background"));
  EXPECT_EQ(capture->DesktopColour(), GetSysColor(COLOR_BACKGROUND));
  // No wallpaper: the whole image is the colour.
  ASSERT_TRUE(reg_.WriteString("colors", "Background", "0 128 128"));
  SetWallpaper("", "2", "1");
  CDibSurface& image = Render();
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.GetWidth(), 1024);
  EXPECT_EQ(image.GetHeight(), 768);
  for (POINT p : {POINT{0, 0}, POINT{512, 384}, POINT{1023, 767}}) EXPECT_EQ(image.GetPixel(p.x, p.y), kTeal);
}

TEST_F(WallpaperTest, CentredPictureLiesOnTheColour) {
  SetWallpaper(TestData("wall800.gif"), "0", "0");
  CDibSurface& image = Render();
  // The picture's top-left corner (blue) at (112, 84), red up to (911, 683), teal around it.
  EXPECT_EQ(image.GetPixel(111, 84), kTeal);
  EXPECT_EQ(image.GetPixel(112, 83), kTeal);
  EXPECT_EQ(image.GetPixel(112, 84), kBlue);
  EXPECT_EQ(image.GetPixel(121, 93), kBlue);
  EXPECT_EQ(image.GetPixel(122, 94), kRed);
  EXPECT_EQ(image.GetPixel(911, 683), kRed);
  EXPECT_EQ(image.GetPixel(912, 683), kTeal);
  EXPECT_EQ(image.GetPixel(911, 684), kTeal);
}

TEST_F(WallpaperTest, PictureLargerThanTheScreenIsCutEqually) {
  width = 600;
  height = 400;
  SetWallpaper(TestData("wall800.gif"), "0", "0");
  CDibSurface& image = Render();
  // (800 - 600) / 2 = 100 columns and (600 - 400) / 2 = 100 rows cut off each side: the blue
  // corner is gone, everything is red.
  EXPECT_EQ(image.GetPixel(0, 0), kRed);
  EXPECT_EQ(image.GetPixel(599, 399), kRed);
}

TEST_F(WallpaperTest, TileWinsEvenWithStretchStyle) {
  SetWallpaper(TestData("halves.gif"), "2", "1");
  CDibSurface& image = Render();
  // 64 x 48 tiles from the top-left corner.
  for (int ty = 0; ty < 768; ty += 48 * 5) {
    for (int tx = 0; tx < 1024; tx += 64 * 3) {
      EXPECT_EQ(image.GetPixel(tx + 2, ty + 2), kGreen) << tx << "," << ty;
      EXPECT_EQ(image.GetPixel(tx + 20, ty + 30), kRed) << tx << "," << ty;
      EXPECT_EQ(image.GetPixel(tx + 40, ty + 30), kBlue) << tx << "," << ty;
    }
  }
}

TEST_F(WallpaperTest, StretchFillsTheScreen) {
  SetWallpaper(TestData("halves.gif"), "2", "0");
  CDibSurface& image = Render();
  EXPECT_EQ(image.GetPixel(10, 10), kGreen);  // 8 x 8 becomes 128 x 128
  EXPECT_EQ(image.GetPixel(200, 700), kRed);
  EXPECT_EQ(image.GetPixel(600, 10), kBlue);
  EXPECT_EQ(image.GetPixel(1023, 767), kBlue);
}

TEST_F(WallpaperTest, GifJpegAndBmpLoadAtTheirSize) {
  for (const char* name : {"halves.gif", "halves.bmp", "halves.jpg"}) {
    CDibSurface picture;
    ASSERT_TRUE(ticker::LoadImageFile(TestData(name), picture)) << name;
    EXPECT_EQ(picture.GetWidth(), 64) << name;
    EXPECT_EQ(picture.GetHeight(), 48) << name;
    EXPECT_EQ(picture.GetBitsPerPixel(), 24) << name;
    EXPECT_TRUE(Near(picture.GetPixel(2, 2), kGreen, 24)) << name;
    EXPECT_TRUE(Near(picture.GetPixel(16, 40), kRed, 24)) << name;
    EXPECT_TRUE(Near(picture.GetPixel(50, 40), kBlue, 24)) << name;
  }
  ticker::CPicture picture;
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(picture.PictureWidth(screen), -1);
  ASSERT_TRUE(picture.LoadPicture(TestData("wall800.gif")));
  EXPECT_EQ(picture.PictureWidth(screen), 800);
  EXPECT_EQ(picture.PictureHeight(screen), 600);
  ReleaseDC(nullptr, screen);
}

TEST_F(WallpaperTest, MissingOrCorruptPictureGivesThePlainColour) {
  for (const std::string& file :
       {TestData("corrupt.gif"), TestData("no-such-file.gif"), std::string("Z:\\")}) {
    CDibSurface picture;
    EXPECT_FALSE(ticker::LoadImageFile(file, picture)) << file;
    EXPECT_FALSE(picture.IsValid());
    for (const char* tile : {"0", "1"}) {  // centred, tiled
      SetWallpaper(file, "0", tile);
      CDibSurface& image = Render();
      ASSERT_TRUE(image.IsValid());
      EXPECT_EQ(image.GetPixel(0, 0), kTeal) << file;
      EXPECT_EQ(image.GetPixel(512, 384), kTeal) << file;
    }
  }
  // Stretch mode too.
  SetWallpaper(TestData("corrupt.gif"), "2", "0");
  EXPECT_EQ(Render().GetPixel(512, 384), kTeal);
}

TEST_F(WallpaperTest, SettingsChangesAreNoticedAndRenewTheImage) {
  SetWallpaper("", "", "");
  // All empty, as the cache starts: no change.
  EXPECT_FALSE(capture->CheckWallpaperSettings());
  SetWallpaper(TestData("wall800.gif"), "0", "0");
  EXPECT_TRUE(capture->CheckWallpaperSettings());
  EXPECT_EQ(capture->WallpaperImage().GetPixel(500, 400), kRed);
  EXPECT_FALSE(capture->CheckWallpaperSettings());
  SetWallpaper(TestData("wall800.gif"), "2", "0");
  EXPECT_TRUE(capture->CheckWallpaperSettings());
  EXPECT_EQ(capture->WallpaperImage().GetPixel(5, 5), kBlue);  // stretched: the corner is 12 x 12 now
  EXPECT_EQ(capture->CachedSettings().style, "2");
  // A value that cannot be read counts as empty.
  ASSERT_TRUE(reg_.DeleteValue("desktop", "TileWallpaper"));
  ASSERT_TRUE(reg_.WriteString("desktop", "TileWallpaper", ""));
  EXPECT_TRUE(capture->CheckWallpaperSettings());
  ASSERT_TRUE(reg_.DeleteValue("desktop", "TileWallpaper"));
  EXPECT_FALSE(capture->CheckWallpaperSettings());
}

}  // namespace

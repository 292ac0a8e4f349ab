// The wallpaper image and the desktop snapshot, rendered from desktop settings kept in a
// registry key of the test's own (the "desktop" and "colors" keys below it).
#include "ticker/display/wallpaper_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

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
    owned = std::make_unique<CWallpaperCapture>(base_, [this] {
      ticker::ScreenGeometry g = Screen(width, height);
      g.allMonitors = allMonitors;
      return g;
    });
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
  RECT allMonitors{};
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

// The 64 x 48 picture (red left half, blue right half, an 8 x 8 green square at the top-left) on
// a 1280 x 720 screen, whose shape differs from the picture's.
TEST_F(WallpaperTest, FitFillAndSpanScaleThePictureKeepingItsShape) {
  width = 1280;
  height = 720;
  // Fit: 960 x 720 at x 160, the colour beside it.
  SetWallpaper(TestData("halves.gif"), "6", "0");
  CDibSurface& fit = Render();
  EXPECT_EQ(fit.GetPixel(159, 360), kTeal);
  EXPECT_EQ(fit.GetPixel(1120, 360), kTeal);
  EXPECT_EQ(fit.GetPixel(165, 5), kGreen);  // the square is 120 x 120 now
  EXPECT_EQ(fit.GetPixel(165, 125), kRed);
  EXPECT_EQ(fit.GetPixel(1115, 715), kBlue);
  // Fill: 1280 x 960 from y -120: the top and bottom 120 rows are cut, no colour shows.
  SetWallpaper(TestData("halves.gif"), "10", "0");
  CDibSurface& fill = Render();
  EXPECT_EQ(fill.GetPixel(5, 5), kGreen);  // rows 120..159 of the 160-row square
  EXPECT_EQ(fill.GetPixel(5, 45), kRed);   // below it
  EXPECT_EQ(fill.GetPixel(0, 719), kRed);
  EXPECT_EQ(fill.GetPixel(1279, 0), kBlue);
  EXPECT_EQ(fill.GetPixel(1279, 719), kBlue);
  // Span over one monitor is fill; over a second monitor on the left of the same size the
  // picture (2560 x 1920 from (-1280, -600)) shows its right half here: blue only.
  SetWallpaper(TestData("halves.gif"), "22", "0");
  EXPECT_EQ(Render().GetPixel(5, 5), kGreen);
  allMonitors = RECT{-1280, 0, 1280, 720};
  CDibSurface& span = Render();
  for (POINT p : {POINT{0, 0}, POINT{640, 360}, POINT{1279, 719}}) EXPECT_EQ(span.GetPixel(p.x, p.y), kBlue);
}

// A large photograph shrunk to fit keeps its colours (shrinking averages, it does not invent).
TEST_F(WallpaperTest, ShrunkPictureKeepsItsColours) {
  width = 400;
  height = 300;
  SetWallpaper(TestData("wall800.gif"), "10", "0");
  CDibSurface& image = Render();
  EXPECT_EQ(image.GetPixel(200, 150), kRed);
  EXPECT_EQ(image.GetPixel(399, 299), kRed);
  EXPECT_TRUE(Near(image.GetPixel(1, 1), kBlue, 8));  // the 10 x 10 corner is 5 x 5 now
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

// Files another program may leave as the wallpaper: none of them is a picture the loader should
// trust, and each gives the plain colour in every layout, without reading past the file's end.
TEST_F(WallpaperTest, ZeroByteTruncatedAndOversizedBitmapsGiveThePlainColour) {
  char folder[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathA(sizeof folder, folder), 0u);
  const std::string base = std::string(folder) + "zellora-wall-" + name_;
  auto write = [&](const std::string& suffix, const std::string& bytes) {
    std::string path = base + suffix;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  std::ifstream in(TestData("halves.bmp"), std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), 1000u);
  // A header that promises 30000 x 30000 pixels of 24 bits over the 64 x 48 picture's bytes.
  std::string oversized = whole;
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) oversized[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(18, 30000);
  put32(22, 30000);
  std::string negative = whole;  // a width below zero and a top-down height of INT_MIN
  negative.replace(18, 8, std::string("\xff\xff\xff\xff\x00\x00\x00\x80", 8));
  const std::vector<std::string> files = {
      write("-empty.bmp", ""),
      write("-header.bmp", whole.substr(0, 30)),
      write("-truncated.bmp", whole.substr(0, whole.size() / 2)),
      write("-oversized.bmp", oversized),
      write("-negative.bmp", negative),
  };
  for (const std::string& file : files) {
    CDibSurface picture;
    EXPECT_FALSE(ticker::LoadImageFile(file, picture)) << file;
    EXPECT_FALSE(picture.IsValid()) << file;
    for (const char* style : {"0", "2"}) {
      for (const char* tile : {"0", "1"}) {
        SetWallpaper(file, style, tile);
        CDibSurface& image = Render();
        ASSERT_TRUE(image.IsValid()) << file;
        EXPECT_EQ(image.GetPixel(0, 0), kTeal) << file << " " << style << tile;
        EXPECT_EQ(image.GetPixel(1023, 767), kTeal) << file << " " << style << tile;
      }
    }
  }
  for (const std::string& file : files) ::DeleteFileA(file.c_str());
}

// The settings as another program may leave them: the wrong type, zero bytes, 1 MiB, text the
// code page cannot hold, nothing. Each reads as empty or as what it holds, the colour falls back
// to the system's, the image is the plain colour, and the values stay exactly as they were.
TEST_F(WallpaperTest, HostileSettingValuesAreReadWithoutHarmAndLeftAlone) {
  struct Form {
    const char* what;
    DWORD type;
    std::string data;
  };
  const Form forms[] = {
      {"number", REG_DWORD, std::string("\x02\0\0\0", 4)},
      {"zero bytes", REG_SZ, ""},
      {"zero-byte binary", REG_BINARY, ""},
      {"1 MiB", REG_SZ, std::string(1u << 20, '7') + std::string(1, '\0')},
      {"invalid Shift_JIS", REG_SZ, std::string("\x81\x7f\xa0\xfd\x82\0", 6)},
  };
  const struct {
    const char* key;
    const char* name;
  } values[] = {{"desktop", "Wallpaper"},
                {"desktop", "WallpaperStyle"},
                {"desktop", "TileWallpaper"},
                {"colors", "Background"}};
  auto raw = [&](const char* key, const char* name) {
    HKEY k = nullptr;
    std::string out = "missing";
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (subKey_ + "\\" + key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
      return out;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::string data(size, '\0');
      if (::RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) ==
          ERROR_SUCCESS)
        out = std::to_string(type) + ":" + data.substr(0, size);
    }
    ::RegCloseKey(k);
    return out;
  };
  for (const Form& form : forms) {
    for (const auto& v : values) {
      ASSERT_TRUE(reg_.CreateKey(v.key));
      HKEY k = nullptr;
      ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, (subKey_ + "\\" + v.key).c_str(), 0, KEY_SET_VALUE, &k),
                ERROR_SUCCESS);
      ASSERT_EQ(::RegSetValueExA(k, v.name, 0, form.type, reinterpret_cast<const BYTE*>(form.data.data()),
                                 static_cast<DWORD>(form.data.size())),
                ERROR_SUCCESS);
      ::RegCloseKey(k);
    }
    std::string before[4];
    for (int i = 0; i < 4; ++i) before[i] = raw(values[i].key, values[i].name);
    const ticker::WallpaperSettings read = capture->ReadSettings();
    // Nothing here names a picture file: the image is a plain colour whatever the layout.
    capture->CheckWallpaperSettings();
    CDibSurface& image = Render();
    ASSERT_TRUE(image.IsValid()) << form.what;
    EXPECT_EQ(image.GetPixel(0, 0), image.GetPixel(1023, 767)) << form.what;
    EXPECT_EQ(image.GetPixel(0, 0), image.GetPixel(512, 384)) << form.what;
    if (form.type == REG_DWORD || form.type == REG_BINARY) {
      EXPECT_EQ(read.wallpaper, "") << form.what;
      EXPECT_EQ(read.style, "") << form.what;
      EXPECT_EQ(read.tile, "") << form.what;
      EXPECT_EQ(capture->DesktopColour(), GetSysColor(COLOR_BACKGROUND)) << form.what;
    } else {
      EXPECT_LE(read.wallpaper.size(), 2 * form.data.size()) << form.what;
      EXPECT_EQ(read.wallpaper.find('\0'), std::string::npos) << form.what;
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(raw(values[i].key, values[i].name), before[i]) << form.what;
    ASSERT_TRUE(reg_.DeleteKey("desktop"));
    ASSERT_TRUE(reg_.DeleteKey("colors"));
  }
}

}  // namespace

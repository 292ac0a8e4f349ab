#include "ticker/display/flash_wnd_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/gui_objects_win.h"
#include "ticker/display/draw_strip_win.h"

namespace ticker {
namespace {

// The region the slow way: every run joined into one growing region.
HRGN RunByRunRegion(CDibSurface& s, COLORREF key) {
  HRGN all = ::CreateRectRgn(0, 0, 0, 0);
  for (int y = 0; y < s.GetHeight(); ++y) {
    int x = 0;
    while (x < s.GetWidth()) {
      while (x < s.GetWidth() && s.GetPixel(x, y) == key) ++x;
      if (x == s.GetWidth()) break;
      const int start = x;
      while (x < s.GetWidth() && s.GetPixel(x, y) != key) ++x;
      HRGN run = ::CreateRectRgn(start, y, x, y + 1);
      ::CombineRgn(all, all, run, RGN_OR);
      ::DeleteObject(run);
    }
  }
  return all;
}

TEST(FlashRegion, EqualsTheRunByRunRegionOfDrawnText) {
  CDibSurface s;
  ASSERT_TRUE(s.Create(400, 100, 32));
  ASSERT_TRUE(s.FillSolidRect(0, 0, 400, 100, kFlashKeyColour));
  s.DrawTextFont("地震速報　鹿児島　震度３", RECT{0, 8, 400, 100}, DT_CENTER | DT_WORDBREAK,
                 RGB(255, 255, 255), kFlashPointTenths, kStripFace);
  // Runs that touch both edges and a single pixel.
  s.FillSolidRect(0, 90, 400, 1, RGB(0, 0, 0));
  s.SetPixelV(399, 95, RGB(1, 2, 3));
  s.SetPixelV(0, 96, RGB(1, 2, 3));
  win::CRegionHandle fast(CreateRegionFromKey(s, kFlashKeyColour));
  win::CRegionHandle slow(RunByRunRegion(s, kFlashKeyColour));
  ASSERT_TRUE(fast);
  EXPECT_TRUE(::EqualRgn(fast.Get(), slow.Get()));
  EXPECT_TRUE(::PtInRegion(fast.Get(), 399, 95));
  EXPECT_FALSE(::PtInRegion(fast.Get(), 398, 95));
  EXPECT_TRUE(::PtInRegion(fast.Get(), 0, 90));
}

TEST(FlashRegion, AllKeyGivesAnEmptyRegionAndOtherDepthsNone) {
  CDibSurface s;
  ASSERT_TRUE(s.Create(64, 10, 32));
  ASSERT_TRUE(s.FillSolidRect(0, 0, 64, 10, kFlashKeyColour));
  win::CRegionHandle empty(CreateRegionFromKey(s, kFlashKeyColour));
  ASSERT_TRUE(empty);
  RECT box;
  EXPECT_EQ(::GetRgnBox(empty.Get(), &box), NULLREGION);

  CDibSurface s24;
  ASSERT_TRUE(s24.Create(8, 8, 24));
  EXPECT_EQ(CreateRegionFromKey(s24, kFlashKeyColour), nullptr);
  EXPECT_EQ(CreateRegionFromKey(CDibSurface(), kFlashKeyColour), nullptr);
}

TEST(FlashRegion, DenseScreenWideTextGivesEveryRunOfEveryRow) {
  // A 1920 x 100 flash full of 12-pixel text: thousands of runs. How long the region takes is
  // measured by display/testdata/flash_region_timing.cpp, not here.
  CDibSurface s;
  ASSERT_TRUE(s.Create(1920, 100, 32));
  ASSERT_TRUE(s.FillSolidRect(0, 0, 1920, 100, kFlashKeyColour));
  std::string text;
  for (int i = 0; i < 40; ++i) text += "鹿児島付近を震源地に地震が発生しました。";
  s.DrawTextFont(text, RECT{0, 8, 1920, 100}, DT_CENTER | DT_WORDBREAK, RGB(255, 255, 255), kFlashPointTenths,
                 kStripFace);
  win::CRegionHandle fast(CreateRegionFromKey(s, kFlashKeyColour));
  ASSERT_TRUE(fast);
  const DWORD bytes = ::GetRegionData(fast.Get(), 0, nullptr);
  EXPECT_GT(bytes, 10000u);
  // The region's rectangles never overlap: they hold only text pixels, and as many pixels as
  // the bitmap has, so they are exactly its text.
  std::vector<std::uint8_t> block(bytes);
  ASSERT_EQ(::GetRegionData(fast.Get(), bytes, reinterpret_cast<RGNDATA*>(block.data())), bytes);
  const auto* data = reinterpret_cast<const RGNDATA*>(block.data());
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  const auto isText = [&](int x, int y) {
    return (*static_cast<const std::uint32_t*>(s.GetPixelAddress(x, y)) & 0xFFFFFF) != 0xFF00FF;
  };
  long long area = 0;
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    for (int y = rects[i].top; y < rects[i].bottom; ++y) {
      for (int x = rects[i].left; x < rects[i].right; ++x) ASSERT_TRUE(isText(x, y)) << x << "," << y;
    }
    area += static_cast<long long>(rects[i].right - rects[i].left) * (rects[i].bottom - rects[i].top);
  }
  long long textPixels = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 1920; ++x) textPixels += isText(x, y) ? 1 : 0;
  }
  EXPECT_EQ(area, textPixels);
}

TEST(FlashWnd, SitsAtTheCornerAndTakesTheShapeOfItsText) {
  CFlashWnd flash;
  ASSERT_TRUE(flash.Create(nullptr));
  RECT r;
  ::GetWindowRect(flash.GetHwnd(), &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, kFlashHeight);
  EXPECT_FALSE(::IsWindowVisible(flash.GetHwnd()));
  EXPECT_TRUE(::GetWindowLongA(flash.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  flash.SetFlashText("地震速報");
  win::CRegionHandle shape(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(flash.GetHwnd(), shape.Get()), ERROR);
  RECT box;
  ASSERT_EQ(::GetRgnBox(shape.Get(), &box), COMPLEXREGION);
  // Centred, starting below the top margin, and black shadow pixels belong to it too.
  const int width = r.right - r.left;
  EXPECT_LT(std::abs((box.left + box.right) / 2 - width / 2), 8);
  EXPECT_GE(box.top, 6);
  EXPECT_LT(box.bottom, 40);

  flash.SetFlashText("");
  ASSERT_NE(::GetWindowRgn(flash.GetHwnd(), shape.Get()), ERROR);
  EXPECT_EQ(::GetRgnBox(shape.Get(), &box), NULLREGION);

  flash.ShowTopmost();
  EXPECT_TRUE(::IsWindowVisible(flash.GetHwnd()));
  EXPECT_TRUE(::GetWindowLongA(flash.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  flash.Hide();
  EXPECT_FALSE(::IsWindowVisible(flash.GetHwnd()));
}

TEST(FlashRegion, ARegionTheWindowDidNotTakeIsFreed) {
  // The system owns a window region only once SetWindowRgn succeeded; a window that is gone
  // refuses it, and the region must not be left behind.
  HWND gone = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  ::DestroyWindow(gone);
  const int before = gui_objects::GdiObjects();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(SetWindowRegion(gone, ::CreateRectRgn(0, 0, 5, 5)));
  EXPECT_EQ(gui_objects::GdiObjects(), before);
  EXPECT_FALSE(SetWindowRegion(gone, nullptr));
}

RECT RegionBox(HWND w) {
  win::CRegionHandle shape(::CreateRectRgn(0, 0, 0, 0));
  RECT box = {};
  if (::GetWindowRgn(w, shape.Get()) != ERROR) ::GetRgnBox(shape.Get(), &box);
  return box;
}

TEST(FlashWnd, ADpiChangeScalesItsHeightAndTextAndKeepsTheBulletinShown) {
  CFlashWnd flash;
  ASSERT_TRUE(flash.Create(nullptr));
  HWND w = flash.GetHwnd();
  RECT suggested = {};
  ::SendMessageA(w, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  flash.SetFlashText("地震速報");
  const RECT at96 = RegionBox(w);
  ASSERT_GT(at96.bottom - at96.top, 0);

  ::SendMessageA(w, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  RECT r;
  ::GetWindowRect(w, &r);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, kFlashHeight * 3 / 2);
  EXPECT_EQ(flash.FlashRect().bottom, kFlashHeight * 3 / 2);
  // The text on show was drawn again: one and a half times as tall, and as far down.
  const RECT at144 = RegionBox(w);
  const auto ratio = [](long a, long b) { return static_cast<double>(a) / static_cast<double>(b); };
  EXPECT_NEAR(ratio(at144.bottom - at144.top, at96.bottom - at96.top), 1.5, 0.15);
  EXPECT_NEAR(ratio(at144.right - at144.left, at96.right - at96.left), 1.5, 0.15);
  EXPECT_NEAR(ratio(at144.top, at96.top), 1.5, 0.3);
}

}  // namespace
}  // namespace ticker

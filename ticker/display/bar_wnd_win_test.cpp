#include "ticker/display/bar_wnd_win.h"

#include <gtest/gtest.h>

namespace {

RECT WindowRect(HWND w) {
  RECT r{};
  ::GetWindowRect(w, &r);
  return r;
}

RECT WorkArea() {
  RECT r{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

void Timer(HWND w, UINT_PTR id) {
  ::SendMessageA(w, WM_TIMER, id, 0);
}

TEST(BarWnd, LiesHiddenAlongTheBottomOfTheWorkArea) {
  CBarWnd bar;
  ASSERT_TRUE(bar.Create(nullptr));
  const RECT work = WorkArea();
  const RECT r = WindowRect(bar.GetHwnd());
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, work.right - work.left);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(r.bottom - r.top, CBarWnd::kHeight);
  EXPECT_EQ(bar.BaseY(), work.bottom - 20);
  EXPECT_EQ(bar.Width(), work.right - work.left);
  EXPECT_FALSE(bar.IsShown());
  // A tool window: no button in the taskbar.
  EXPECT_TRUE(::GetWindowLongA(bar.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  bar.ShowTopmost();
  EXPECT_TRUE(bar.IsShown());
  EXPECT_TRUE(::GetWindowLongA(bar.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(WindowRect(bar.GetHwnd()).top, r.top) << "showing must not move it";
  bar.Hide();
  EXPECT_FALSE(bar.IsShown());
}

TEST(BarWnd, DucksInFiveStepsAndComesBackOnlyWhenThePointerIsWellAbove) {
  CBarWnd bar;
  ASSERT_TRUE(bar.Create(nullptr));
  bar.ShowTopmost();
  HWND w = bar.GetHwnd();
  const int base = bar.BaseY();

  ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(bar.Direction(), 4);
  ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(12, 10));  // a second move changes nothing
  for (int step = 1; step <= 5; ++step) {
    Timer(w, 200);
    EXPECT_EQ(bar.Offset(), 4 * step);
    const RECT r = WindowRect(w);
    EXPECT_EQ(r.top, base + 4 * step);
    EXPECT_EQ(r.bottom, base + 20);
  }
  EXPECT_EQ(bar.Direction(), 0);
  Timer(w, 200);  // a late slide tick does not go past the edge
  EXPECT_EQ(bar.Offset(), 20);

  // Pointer 50 pixels above the bar: it stays down.
  ASSERT_TRUE(::SetCursorPos(100, base - 50));
  Timer(w, 300);
  EXPECT_EQ(bar.Direction(), 0);
  // More than 100 above: it comes back.
  ASSERT_TRUE(::SetCursorPos(100, base - 101));
  Timer(w, 300);
  EXPECT_EQ(bar.Direction(), -4);
  for (int step = 1; step <= 5; ++step) Timer(w, 200);
  EXPECT_EQ(bar.Offset(), 0);
  EXPECT_EQ(bar.Direction(), 0);
  EXPECT_EQ(WindowRect(w).top, base);
  EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, 20);
}

TEST(BarWnd, PresentsFramesAndPaintsFromItsMemoryBitmap) {
  CBarWnd bar;
  ASSERT_TRUE(bar.Create(nullptr));
  CDibSurface frame;
  ASSERT_TRUE(frame.Create(bar.Width(), 20, 32));
  ASSERT_TRUE(frame.FillSolidRect(0, 0, bar.Width(), 20, RGB(255, 232, 64)));
  const long before = bar.PaintCount();
  frame.Locked([&](HDC dc) { bar.Present(dc); });
  EXPECT_EQ(bar.PaintCount(), before + 1);
  // What the window shows now is the frame.
  bar.ShowTopmost();
  ::UpdateWindow(bar.GetHwnd());  // the first paint comes from the memory bitmap
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(::GetPixel(screen, 5, bar.BaseY() + 5), RGB(255, 232, 64));
  ::ReleaseDC(nullptr, screen);
  // Background erasing is left out: the bitmap covers everything.
  HDC dc = ::GetDC(bar.GetHwnd());
  EXPECT_EQ(::SendMessageA(bar.GetHwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ::ReleaseDC(bar.GetHwnd(), dc);
}

}  // namespace

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

// A DPI change as the system announces it to a per-monitor aware window.
void ChangeDpi(HWND w, UINT dpi) {
  RECT suggested = WindowRect(w);
  ::SendMessageA(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(BarWnd, DucksInFiveStepsAndComesBackOnlyWhenThePointerIsWellAboveAtEveryDpi) {
  // Height, slide step and pointer margin are 20, 4 and 100 pixels at 96 DPI.
  for (const UINT dpi : {96u, 144u, 192u}) {
    SCOPED_TRACE(dpi);
    CBarWnd bar;
    ASSERT_TRUE(bar.Create(nullptr));
    HWND w = bar.GetHwnd();
    ChangeDpi(w, dpi);
    const int height = 20 * static_cast<int>(dpi) / 96;
    const int step = height / 5;
    const int margin = 100 * static_cast<int>(dpi) / 96;
    bar.ShowTopmost();
    const int base = bar.BaseY();
    EXPECT_EQ(base, WorkArea().bottom - height);
    EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, height);
    EXPECT_EQ(bar.BarRect().bottom, height);

    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(bar.Direction(), step);
    ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(12, 10));  // a second move changes nothing
    for (int n = 1; n <= 5; ++n) {
      Timer(w, 200);
      EXPECT_EQ(bar.Offset(), step * n);
      const RECT r = WindowRect(w);
      EXPECT_EQ(r.top, base + step * n);
      EXPECT_EQ(r.bottom, base + height);
    }
    EXPECT_EQ(bar.Direction(), 0);
    Timer(w, 200);  // a late slide tick does not go past the edge
    EXPECT_EQ(bar.Offset(), height);

    // Pointer just inside the margin above the bar: it stays down.
    ASSERT_TRUE(::SetCursorPos(100, base - margin + 1));
    Timer(w, 300);
    EXPECT_EQ(bar.Direction(), 0);
    // Beyond it: it comes back.
    ASSERT_TRUE(::SetCursorPos(100, base - margin - 1));
    Timer(w, 300);
    EXPECT_EQ(bar.Direction(), -step);
    for (int n = 1; n <= 5; ++n) Timer(w, 200);
    EXPECT_EQ(bar.Offset(), 0);
    EXPECT_EQ(bar.Direction(), 0);
    EXPECT_EQ(WindowRect(w).top, base);
    EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, height);
  }
}

TEST(BarWnd, ADpiChangeLaysItOutAtOnceAndTheLayoutCheckKeepsIt) {
  CBarWnd bar;
  ASSERT_TRUE(bar.Create(nullptr));
  HWND w = bar.GetHwnd();
  const UINT before = bar.Dpi();
  ChangeDpi(w, 144);
  EXPECT_EQ(bar.Dpi(), 144u);
  EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, 30);
  // The system still reports what it said before: the periodic check does not undo the change.
  Timer(w, 100);
  EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, 30);
  ChangeDpi(w, before);
  EXPECT_EQ(WindowRect(w).bottom - WindowRect(w).top, 20 * static_cast<int>(before) / 96);
}

// The work area of this process, set for one test (Wine keeps it per process).
class WorkAreaOverride {
 public:
  explicit WorkAreaOverride(const RECT& r) : saved(WorkArea()) {
    RECT copy = r;
    set = ::SystemParametersInfoA(SPI_SETWORKAREA, 0, &copy, 0) != FALSE;
  }
  ~WorkAreaOverride() {
    if (set) ::SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved, 0);
  }
  bool set = false;

 private:
  RECT saved;
};

TEST(BarWnd, KeepsClearOfATaskbarOnTheLeft) {
  RECT work = WorkArea();
  work.left += 60;
  WorkAreaOverride leftTaskbar(work);
  ASSERT_TRUE(leftTaskbar.set);
  ASSERT_EQ(WorkArea().left, work.left);
  CBarWnd bar;
  ASSERT_TRUE(bar.Create(nullptr));
  HWND w = bar.GetHwnd();
  EXPECT_EQ(WindowRect(w).left, work.left);
  EXPECT_EQ(WindowRect(w).right, work.right);
  EXPECT_EQ(bar.Width(), work.right - work.left);
  // Ducking keeps the edge too.
  ::SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  Timer(w, 200);
  EXPECT_EQ(WindowRect(w).left, work.left);
  // The taskbar moves to the right edge: the work area keeps its width, and the bar follows it at
  // the next layout check.
  RECT moved = WorkArea();
  moved.left -= 60;
  moved.right -= 60;
  WorkAreaOverride rightTaskbar(moved);
  ASSERT_TRUE(rightTaskbar.set);
  Timer(w, CBarWnd::kLayoutTimer);
  EXPECT_EQ(WindowRect(w).left, moved.left);
  EXPECT_EQ(WindowRect(w).right, moved.right);
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

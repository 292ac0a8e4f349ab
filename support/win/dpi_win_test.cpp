#include <gtest/gtest.h>

#include <climits>

#include "support/win/dpi.h"

namespace {

TEST(Dpi, SizesAt96DpiScaleAndRoundLikeMulDiv) {
  struct Case {
    int size;
    UINT dpi;
    int scaled;
  };
  const Case cases[] = {
      {20, 96, 20},   {20, 120, 25}, {20, 144, 30}, {20, 192, 40}, {100, 144, 150},
      {4, 120, 5},    {4, 168, 7},   {1, 120, 1},   {1, 144, 2},   {-4, 144, -6},
      {-8, 120, -10}, {-1, 144, -2}, {7, 0, 7},     {0, 192, 0},   {INT_MAX, 192, INT_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(win::ScaleForDpi(c.size, c.dpi), c.scaled) << c.size << " at " << c.dpi;
    if (c.size != INT_MAX) {
      EXPECT_EQ(win::ScaleForDpi(c.size, c.dpi), ::MulDiv(c.size, c.dpi ? static_cast<int>(c.dpi) : 96, 96));
    }
  }
  EXPECT_EQ(win::UnscaleForDpi(30, 144), 20);
  EXPECT_EQ(win::UnscaleForDpi(1920, 144), 1280);
  EXPECT_EQ(win::UnscaleForDpi(1366, 120), 1093);
  EXPECT_EQ(win::UnscaleForDpi(1024, 0), 1024);
}

TEST(Dpi, WindowsAndMonitorsHaveTheScreensDpiWithOneMonitor) {
  const UINT system = win::SystemDpi();
  EXPECT_GE(system, 96u);
  EXPECT_EQ(win::DpiOfWindow(nullptr), system);
  EXPECT_EQ(win::DpiOfMonitor(nullptr), system);
  EXPECT_EQ(win::DpiOfPrimaryMonitor(), system);
  HWND w = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(win::DpiOfWindow(w), system);
  ::DestroyWindow(w);
}

}  // namespace

#include "ticker/display/full_screen.h"

#include <gtest/gtest.h>

namespace {

using ticker::ForegroundFacts;
using ticker::UserState;

constexpr DibRect kMonitor{0, 0, 1920, 1080};

ForegroundFacts InFront(const char* cls, DibRect rect, UserState state = UserState::kAcceptsNotifications) {
  ForegroundFacts f;
  f.exists = true;
  f.className = cls;
  f.rect = rect;
  f.onBarMonitor = true;
  f.monitor = kMonitor;
  f.state = state;
  return f;
}

TEST(FullScreen, ARectangleCoversAMonitorOnlyWhole) {
  EXPECT_TRUE(ticker::CoversMonitor(kMonitor, kMonitor));
  EXPECT_TRUE(ticker::CoversMonitor(DibRect{-8, -8, 1928, 1088}, kMonitor));  // a frame beyond the edges
  EXPECT_FALSE(ticker::CoversMonitor(DibRect{0, 0, 1920, 1040}, kMonitor));   // maximised over a taskbar
  EXPECT_FALSE(ticker::CoversMonitor(DibRect{1, 0, 1920, 1080}, kMonitor));
  EXPECT_FALSE(ticker::CoversMonitor(DibRect{0, 0, 1920, 1080}, DibRect{1920, 0, 3840, 1080}));
  EXPECT_FALSE(ticker::CoversMonitor(DibRect{-100, -100, 5000, 5000}, DibRect{}));
}

TEST(FullScreen, TheBarGivesWayToTheProgramInFrontOfItsMonitorOnly) {
  struct Case {
    const char* what;
    ForegroundFacts facts;
    bool givesWay;
  };
  ForegroundFacts elsewhere = InFront("VideoWindow", DibRect{1920, 0, 3840, 1080});
  elsewhere.onBarMonitor = false;
  elsewhere.monitor = kMonitor;
  ForegroundFacts nothing;
  nothing.monitor = kMonitor;
  ForegroundFacts presenting = nothing;
  presenting.state = UserState::kPresentationMode;
  ForegroundFacts busyElsewhere = elsewhere;
  busyElsewhere.state = UserState::kBusy;
  const Case cases[] = {
      {"a video covering the monitor", InFront("VideoWindow", kMonitor), true},
      {"a game larger than the monitor", InFront("Game", DibRect{-1, -1, 1921, 1081}), true},
      {"a maximised editor", InFront("Notepad", DibRect{0, 0, 1920, 1040}), false},
      {"the shell says busy", InFront("Viewer", DibRect{0, 0, 800, 600}, UserState::kBusy), true},
      {"exclusive Direct3D", InFront("Game", DibRect{0, 0, 640, 480}, UserState::kD3DFullScreen), true},
      {"presentation settings, nothing in front", presenting, true},
      {"the desktop clicked", InFront("Progman", DibRect{0, 0, 3840, 1080}), false},
      {"the desktop behind the icons", InFront("WorkerW", kMonitor, UserState::kBusy), false},
      {"the taskbar", InFront("Shell_TrayWnd", kMonitor), false},
      {"the second taskbar", InFront("Shell_SecondaryTrayWnd", kMonitor), false},
      {"the desktop window, nothing else in front", InFront("#32769", kMonitor), false},
      {"full screen on another monitor", elsewhere, false},
      {"busy because of another monitor", busyElsewhere, false},
      {"no window in front", nothing, false},
      {"the shell could not be asked", InFront("VideoWindow", kMonitor, UserState::kUnknown), true},
      {"locked", InFront("Notepad", DibRect{0, 0, 800, 600}, UserState::kNotPresent), false},
  };
  for (const Case& c : cases) EXPECT_EQ(ticker::BarGivesWay(c.facts), c.givesWay) << c.what;
}

}  // namespace

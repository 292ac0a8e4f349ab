// When the bar gives way: while a full-screen program (a video, a game, a presentation) is in the
// foreground on the bar's monitor, the bar hides and stops scrolling. The rule is here; what the
// system says comes from the probe in full_screen_win.h.
#pragma once

#include <string>

#include "support/draw/dib_math.h"

namespace ticker {

// What the shell says of the user's state (SHQueryUserNotificationState's answers; kUnknown when
// it cannot be asked).
enum class UserState {
  kUnknown = 0,
  kNotPresent = 1,     // screen saver, locked, another session
  kBusy = 2,           // a full-screen program runs, or presentation settings are on
  kD3DFullScreen = 3,  // an exclusive full-screen Direct3D program runs
  kPresentationMode = 4,
  kAcceptsNotifications = 5,
  kQuietTime = 6,
  kApp = 7,
};

struct ForegroundFacts {
  bool exists = false;    // there is a foreground window
  std::string className;  // its class
  DibRect rect;           // its rectangle (screen coordinates)
  bool onBarMonitor = false;
  DibRect monitor;  // the whole bar monitor (not its work area)
  UserState state = UserState::kUnknown;
};

// True when window covers all of monitor (it may reach beyond); never for an empty monitor.
bool CoversMonitor(const DibRect& window, const DibRect& monitor);

// The shell's own windows (the desktop "Progman" and "WorkerW", the taskbars) and the desktop
// window itself ("#32769", in front when nothing else is), which cover the screen without being
// programs the user watches.
bool IsShellWindowClass(const std::string& className);

// True while the bar should give way: presentation settings are on, or the foreground window is
// on the bar's monitor, is not the shell's, and covers that monitor or the shell reports a busy
// user or an exclusive Direct3D program.
bool BarGivesWay(const ForegroundFacts& facts);

}  // namespace ticker

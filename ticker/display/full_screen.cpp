#include "ticker/display/full_screen.h"

namespace ticker {

bool CoversMonitor(const DibRect& window, const DibRect& monitor) {
  if (monitor.Width() <= 0 || monitor.Height() <= 0) return false;
  return window.left <= monitor.left && window.top <= monitor.top && window.right >= monitor.right &&
         window.bottom >= monitor.bottom;
}

bool IsShellWindowClass(const std::string& className) {
  return className == "Progman" || className == "WorkerW" || className == "Shell_TrayWnd" ||
         className == "Shell_SecondaryTrayWnd" || className == "#32769";
}

bool BarGivesWay(const ForegroundFacts& facts) {
  // The user asked for quiet while presenting, whatever window is in front.
  if (facts.state == UserState::kPresentationMode) return true;
  if (!facts.exists || IsShellWindowClass(facts.className) || !facts.onBarMonitor) return false;
  // "Busy" and exclusive Direct3D say that some program is full screen; the foreground window on
  // the bar's monitor is the one that counts (the shell says busy for any monitor).
  return facts.state == UserState::kBusy || facts.state == UserState::kD3DFullScreen ||
         CoversMonitor(facts.rect, facts.monitor);
}

}  // namespace ticker

#include "ticker/display/full_screen_win.h"

#include <shellapi.h>

namespace ticker {

namespace {

DibRect ToDib(const RECT& r) {
  return DibRect{r.left, r.top, r.right, r.bottom};
}

using QueryStateFn = HRESULT(WINAPI*)(int*);

UserState AskShell() {
  static const auto call = reinterpret_cast<QueryStateFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState")));
  int state = 0;
  if (!call || FAILED(call(&state)) || state < 1 || state > 7) return UserState::kUnknown;
  return static_cast<UserState>(state);
}

}  // namespace

ForegroundFacts ProbeForeground(HWND window, bool askShell) {
  ForegroundFacts facts;
  HMONITOR barMonitor = window ? ::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                               : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (barMonitor && ::GetMonitorInfoA(barMonitor, &info)) facts.monitor = ToDib(info.rcMonitor);
  if (askShell) facts.state = AskShell();

  HWND front = ::GetForegroundWindow();
  if (!front) return facts;
  facts.exists = true;
  char name[64] = {};
  if (::GetClassNameA(front, name, sizeof name) > 0) facts.className = name;
  RECT r = {};
  // A minimised or hidden window in front covers nothing.
  if (::IsWindowVisible(front) && !::IsIconic(front) && ::GetWindowRect(front, &r)) facts.rect = ToDib(r);
  facts.onBarMonitor = ::MonitorFromWindow(front, MONITOR_DEFAULTTONULL) == barMonitor;
  return facts;
}

}  // namespace ticker

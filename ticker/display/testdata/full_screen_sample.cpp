// A full-screen program for the bar's give-way tests: "full_screen_sample.exe [TITLE [HWND]]"
// covers the primary monitor with a topmost, caption-less dark blue window titled TITLE (default
// "FullScreenSample") and brings it to the foreground, as a video player in full-screen mode does.
// Given the handle of another window (hexadecimal), it then watches that window every 10 ms and
// prints "hidden after N ms" once it is hidden, or "still visible after 5000 ms". WM_CLOSE ends it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND watched = nullptr;
DWORD shownAt = 0;

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER: {
      const DWORD elapsed = GetTickCount() - shownAt;
      if (!IsWindowVisible(watched)) {
        std::printf("hidden after %lu ms\n", static_cast<unsigned long>(elapsed));
      } else if (elapsed >= 5000) {
        std::printf("still visible after %lu ms\n", static_cast<unsigned long>(elapsed));
      } else {
        return 0;
      }
      std::fflush(stdout);
      KillTimer(w, wp);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(w, msg, wp, lp);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
  std::string title = "FullScreenSample";
  const std::string args = cmd ? cmd : "";
  const std::size_t blank = args.find(' ');
  if (!args.empty()) title = args.substr(0, blank);
  if (blank != std::string::npos) {
    watched =
        reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(args.c_str() + blank + 1, nullptr, 16)));
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hbrBackground = CreateSolidBrush(RGB(16, 32, 96));
  wc.lpszClassName = "ZelloraFullScreenSample";
  RegisterClassA(&wc);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT& m = info.rcMonitor;
  HWND w = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, title.c_str(), WS_POPUP | WS_VISIBLE, m.left,
                           m.top, m.right - m.left, m.bottom - m.top, nullptr, nullptr, inst, nullptr);
  if (!w) return 1;
  SetForegroundWindow(w);
  shownAt = GetTickCount();
  if (watched) SetTimer(w, 1, 10, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

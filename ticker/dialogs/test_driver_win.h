// Helpers for the dialogs' tests: another thread that plays the user on a modal window (a message
// box, the help window) while the test's thread is inside the window's loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace dialog_test {

// The visible top-level window with this title, waiting up to ms; null when none came.
inline HWND WaitForWindow(const std::string& title, DWORD ms = 5000) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms) {
    HWND wnd = ::FindWindowA(nullptr, title.c_str());
    if (wnd && ::IsWindowVisible(wnd)) return wnd;
    ::Sleep(10);
  }
  return nullptr;
}

// Runs act on the window titled title as soon as it appears (on a thread of its own); act gets
// null when it never appears. Join it after the call that shows the window returned.
inline std::thread WhenShown(const std::string& title, std::function<void(HWND)> act) {
  return std::thread([title, act = std::move(act)] { act(WaitForWindow(title)); });
}

// A message box's text (its static control).
inline std::string MessageBoxText(HWND box) {
  char text[512] = {};
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char cls[32] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && ::GetWindowTextA(child, text, sizeof text) > 0) return text;
  }
  return std::string();
}

// Handles the thread's pending messages for a while (posted commands, painting).
inline void Pump(DWORD ms = 0) {
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    if (ms) ::Sleep(5);
  } while (::GetTickCount() - start < ms);
}

// A click on a control as the user makes it: press and release inside it.
inline void Click(HWND control) {
  ::SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

}  // namespace dialog_test

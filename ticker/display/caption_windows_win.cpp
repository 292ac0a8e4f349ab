#include "ticker/display/caption_windows_win.h"

#include <vector>

namespace ticker {

WindowId CSystemCaptionWindows::Foreground() {
  return ToWindowId(::GetForegroundWindow());
}

std::vector<WindowId> CSystemCaptionWindows::TopLevelWindows() {
  std::vector<WindowId> windows;
  // Bounded: the list may change while it is walked.
  for (HWND w = ::GetTopWindow(nullptr); w && windows.size() < 65536; w = ::GetWindow(w, GW_HWNDNEXT))
    windows.push_back(ToWindowId(w));
  return windows;
}

std::uint32_t CSystemCaptionWindows::Style(WindowId window) {
  HWND w = ToHwnd(window);
  if (!::IsWindow(w)) return 0;
  std::uint32_t style = static_cast<std::uint32_t>(::GetWindowLongPtrA(w, GWL_STYLE));
  if (::IsIconic(w)) style |= caption_style::kMinimized;
  return style;
}

bool CSystemCaptionWindows::Exists(WindowId window) {
  return ::IsWindow(ToHwnd(window)) != FALSE;
}

bool CSystemCaptionWindows::Identify(WindowId window, WindowIdentity& identity) {
  HWND w = ToHwnd(window);
  DWORD process = 0;
  const DWORD thread = ::GetWindowThreadProcessId(w, &process);
  char name[256] = {};
  if (!thread || ::GetClassNameA(w, name, sizeof name) <= 0) return false;
  identity.process = process;
  identity.thread = thread;
  identity.className = name;
  return true;
}

bool CSystemCaptionWindows::ReadTitle(WindowId window, std::string& title) {
  HWND w = ToHwnd(window);
  if (!::IsWindow(w)) return false;
  // GetWindowTextA reads the stored caption of another process's window without sending it a
  // message; the buffer grows until the caption fits.
  std::vector<char> buffer(1024);
  for (;;) {
    const int n = ::GetWindowTextA(w, buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) + 2 < buffer.size() || buffer.size() >= (1u << 20)) {
      title.assign(buffer.data(), static_cast<std::size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 4);
  }
}

bool CSystemCaptionWindows::WriteTitle(WindowId window, const std::string& title) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()),
                               SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

int CSystemCaptionWindows::OuterWidth(WindowId window) {
  RECT r{};
  if (!::GetWindowRect(ToHwnd(window), &r)) return 0;
  return r.right - r.left;
}

}  // namespace ticker

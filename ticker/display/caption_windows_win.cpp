#include "ticker/display/caption_windows_win.h"

#include <algorithm>
#include <climits>
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

namespace {

// A second is long enough for a window that answers and short enough for a tick.
constexpr UINT kSendLimitMs = 1000;

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool OfThisProcess(HWND w) {
  DWORD process = 0;
  return ::GetWindowThreadProcessId(w, &process) && process == ::GetCurrentProcessId();
}

// A window of our own process (the main thread's dialogs) is asked by message, with a limit: for
// such a window GetWindowText sends WM_GETTEXT and would wait as long as that thread is busy.
bool ReadOwnTitle(HWND w, std::u16string& title) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &length))
    return false;
  if (length >= (1u << 20)) length = (1u << 20) - 1;
  std::u16string buffer(static_cast<std::size_t>(length) + 1, u'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]),
                             SMTO_ABORTIFHUNG, kSendLimitMs, &copied))
    return false;
  title.assign(buffer.data(), std::min<std::size_t>(copied, length));
  return true;
}

}  // namespace

std::u16string TickerTextToUtf16(const std::string& text) {
  std::u16string wide;
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX / 2)) return wide;
  const int length = static_cast<int>(text.size());
  // Every byte gives at most one UTF-16 unit.
  wide.resize(text.size());
  const int n =
      ::MultiByteToWideChar(932, 0, text.data(), length, reinterpret_cast<wchar_t*>(&wide[0]), length);
  wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return wide;
}

bool CSystemCaptionWindows::ReadTitle(WindowId window, std::u16string& title) {
  HWND w = ToHwnd(window);
  if (!::IsWindow(w)) return false;
  if (OfThisProcess(w)) return ReadOwnTitle(w, title);
  // GetWindowTextW reads the caption the system keeps for another process's window, in UTF-16
  // and without sending it a message; the buffer grows until the caption fits.
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    const int n = ::GetWindowTextW(w, buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) + 2 < buffer.size() || buffer.size() >= (1u << 20)) {
      title.assign(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 4);
  }
}

bool CSystemCaptionWindows::WriteTitle(WindowId window, const std::u16string& title) {
  // The wide message carries every character to a Unicode window; the system converts it for a
  // window that keeps its text in an ANSI code page.
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(title)),
                               SMTO_ABORTIFHUNG, kSendLimitMs, &result) != 0;
}

int CSystemCaptionWindows::OuterWidth(WindowId window) {
  RECT r{};
  if (!::GetWindowRect(ToHwnd(window), &r)) return 0;
  return r.right - r.left;
}

}  // namespace ticker

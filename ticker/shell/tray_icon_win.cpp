#include "ticker/shell/tray_icon_win.h"

#include <shellapi.h>

#include <cstring>
#include <map>
#include <mutex>

#include "support/text/sjis.h"
#include "support/text/sjis_cut.h"

namespace {

constexpr char kBusyTip[] = "コマンド処理中のためメニュー表示できません";
constexpr std::size_t kMaxTipBytes = 127;

UINT TaskbarCreatedMessage() {
  static const UINT id = ::RegisterWindowMessageA("TaskbarCreated");
  return id;
}
UINT NotifyTaskbarCreatedMessage() {
  static const UINT id = ::RegisterWindowMessageA("NotifyTaskbarCreated");
  return id;
}

// Per subclassed owner: its previous procedure and the tray window that hears "TaskbarCreated".
struct Subclass {
  WNDPROC previous;
  HWND tray;
};
std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}
std::map<HWND, Subclass>& Table() {
  static std::map<HWND, Subclass> table;
  return table;
}

// At most maxBytes bytes, never half a double-byte character.
std::string CutText(const std::string& text, std::size_t maxBytes) {
  return std::string(sjis::CutToBytes(text, maxBytes));
}

// The dialog a menu command has open: a visible, enabled window of this thread that the owner owns,
// directly or through the dialog that opened it (a modal dialog disables its owner, so of a chain
// of dialogs only the last is enabled). Null when there is none.
HWND OpenDialog(HWND owner) {
  auto usable = [owner](HWND w) {
    const LONG_PTR exStyle = ::GetWindowLongPtrA(w, GWL_EXSTYLE);
    return w && w != owner && ::IsWindowVisible(w) && ::IsWindowEnabled(w) &&
           !(exStyle & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE));
  };
  HWND last = ::GetLastActivePopup(owner);
  if (usable(last)) return last;
  struct Search {
    HWND owner;
    decltype(usable)& usable;
    HWND found;
  } search{owner, usable, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND w, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (!s.usable(w)) return TRUE;
        for (HWND up = ::GetWindow(w, GW_OWNER); up; up = ::GetWindow(up, GW_OWNER)) {
          if (up == s.owner) {
            s.found = w;
            return FALSE;
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

CTrayIcon::~CTrayIcon() {
  Destroy();
}

bool CTrayIcon::Create(HWND owner, UINT menuResource, HICON iconHandle, bool addNow, WORD id) {
  if (wnd || !owner) return false;
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  menu.Attach(::LoadMenuA(module, MAKEINTRESOURCEA(menuResource)));
  popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
  if (!popup) {
    menu.Close();
    return false;
  }
  menuId = menuResource;
  icon = iconHandle;
  userId = id;
  wnd = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 0, 0, owner,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kWindowId)), module, nullptr);
  if (!wnd) {
    popup = nullptr;
    menu.Close();
    return false;
  }
  ownerWnd = owner;
  tip = kMenuTip;
  TaskbarCreatedMessage();
  NotifyTaskbarCreatedMessage();
  ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  trayPrevious =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TrayProc)));
  {
    std::lock_guard<std::mutex> hold(TableLock());
    if (!Table().count(owner)) {
      WNDPROC previous = reinterpret_cast<WNDPROC>(
          ::SetWindowLongPtrA(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProc)));
      Table()[owner] = Subclass{previous, wnd};
    }
  }
  if (addNow) {
    hidden = false;
    Notify(Action::kAdd);
  }
  return true;
}

void CTrayIcon::Destroy() {
  if (!wnd) return;
  Notify(Action::kDelete);
  {
    std::lock_guard<std::mutex> hold(TableLock());
    auto it = Table().find(ownerWnd);
    if (it != Table().end() && it->second.tray == wnd) {
      if (::IsWindow(ownerWnd) &&
          reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(ownerWnd, GWLP_WNDPROC)) == OwnerProc) {
        ::SetWindowLongPtrA(ownerWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
      }
      Table().erase(it);
    }
  }
  if (::IsWindow(wnd)) {
    ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trayPrevious));
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    ::DestroyWindow(wnd);
  }
  wnd = nullptr;
  ownerWnd = nullptr;
  popup = nullptr;
  menu.Close();
}

void CTrayIcon::SetIcon(HICON iconHandle) {
  icon = iconHandle;
  Notify(Action::kModify);
}

void CTrayIcon::Show(bool show) {
  hidden = !show;
  Notify(show ? Action::kAdd : Action::kDelete);
}

std::string CTrayIcon::CurrentTip() const {
  if (busy) return kBusyTip;
  if (!tip.empty()) return tip;
  if (popup) return kMenuTip;
  return std::string();
}

void CTrayIcon::FillRecord(NOTIFYICONDATAA& data) const {
  std::memset(&data, 0, sizeof data);
  // The version-2 record: every shell since then takes it, and it carries all we use.
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = wnd;
  data.uID = kWindowId;
  data.uFlags = NIF_MESSAGE | NIF_ICON;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon;
  if (!data.hIcon) {
    data.hIcon = reinterpret_cast<HICON>(::SendMessageA(ownerWnd, WM_GETICON, ICON_SMALL, 0));
  }
  const std::string shown = CutText(CurrentTip(), kMaxTipBytes);
  if (!shown.empty()) {
    data.uFlags |= NIF_TIP;
    std::memcpy(data.szTip, shown.c_str(), shown.size() + 1);
  }
}

bool CTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (!ownerWnd || !added || hidden || !::FindWindowA("Shell_TrayWnd", nullptr)) return false;
  NOTIFYICONDATAA data;
  FillRecord(data);
  data.uFlags |= NIF_INFO;
  const std::string shownText = CutText(text, sizeof data.szInfo - 1);
  const std::string shownTitle = CutText(title, sizeof data.szInfoTitle - 1);
  std::memcpy(data.szInfo, shownText.c_str(), shownText.size() + 1);
  std::memcpy(data.szInfoTitle, shownTitle.c_str(), shownTitle.size() + 1);
  data.uTimeout = kBalloonMs;
  data.dwInfoFlags = NIIF_INFO;
  return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool CTrayIcon::Notify(Action action) {
  if (!ownerWnd) return false;
  NOTIFYICONDATAA data;
  FillRecord(data);
  if (action == Action::kAdd && added)
    action = Action::kModify;
  else if (action == Action::kModify && !added)
    action = Action::kAdd;
  bool ok = false;
  if (::FindWindowA("Shell_TrayWnd", nullptr) && (action == Action::kDelete || !hidden)) {
    const DWORD call = action == Action::kAdd ? NIM_ADD : action == Action::kModify ? NIM_MODIFY : NIM_DELETE;
    ok = ::Shell_NotifyIconA(call, &data) != FALSE;
  }
  if (action == Action::kDelete) {
    added = false;
  } else {
    added = ok;
  }
  return ok;
}

void CTrayIcon::Forward(UINT mouseMessage, WPARAM wParam, LPARAM lParam) {
  busy = true;
  Notify(Action::kModify);
  ::SendMessageA(ownerWnd, mouseMessage, wParam, lParam);
  busy = false;
  Notify(Action::kModify);
}

void CTrayIcon::OnIconNotification(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
      break;
    default:
      return;
  }
  menuOpen = false;
  if (busy) {
    // A command's dialog is open and the menu stays shut (the tip says why); a click on the icon
    // finds that dialog again when another window has covered it.
    if (mouseMessage == WM_LBUTTONUP || mouseMessage == WM_RBUTTONUP) BringDialogForward();
    return;
  }
  if (!mouseEnabled) return;
  const WPARAM high = static_cast<WPARAM>(userId) << 16;
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      Forward(mouseMessage, high + 1, MAKELPARAM(cursor.x, cursor.y));
      break;
    case WM_LBUTTONUP:
      Forward(mouseMessage, high, MAKELPARAM(cursor.x, cursor.y));
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      Forward(mouseMessage, high + 2, MAKELPARAM(cursor.x, cursor.y));
      break;
    case WM_RBUTTONUP:
      if (!popup) {
        Forward(mouseMessage, high + 2, MAKELPARAM(cursor.x, cursor.y));
        break;
      }
      menuOpen = true;
      ::SendMessageA(ownerWnd, WM_COMMAND, userId, 0);
      ::SetForegroundWindow(ownerWnd);
      ::TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, wnd, nullptr);
      // Lets the menu close properly when the user clicks elsewhere.
      ::PostMessageA(wnd, WM_NULL, 0, 0);
      break;
    default:
      break;
  }
}

void CTrayIcon::BringDialogForward() const {
  HWND dialog = OpenDialog(ownerWnd);
  if (!dialog) return;
  if (::IsIconic(dialog)) ::ShowWindow(dialog, SW_RESTORE);
  // Allowed while the click on the icon is handled: the shell lets the icon's program take the
  // foreground then (as it must, for the icon's menu).
  ::SetForegroundWindow(dialog);
}

void CTrayIcon::OnTaskbarCreated() {
  if (!added || !::FindWindowA("Shell_TrayWnd", nullptr)) return;
  hidden = true;
  Notify(Action::kDelete);
  hidden = false;
  Notify(Action::kAdd);
  ::PostMessageA(ownerWnd, NotifyTaskbarCreatedMessage(), static_cast<WPARAM>(userId) << 16, 0);
}

LRESULT CTrayIcon::OnTrayMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kCallbackMessage) {
    OnIconNotification(static_cast<UINT>(lParam));
    return 0;
  }
  if (msg == WM_COMMAND) {
    // Commands of the pop-up menu: the owner runs them (and any dialog) inside this call.
    busy = true;
    Notify(Action::kModify);
    const UINT outer = menuCommand;
    menuCommand = LOWORD(wParam);
    ::SendMessageA(ownerWnd, WM_COMMAND, wParam, lParam);
    menuCommand = outer;
    busy = false;
    Notify(Action::kModify);
    return 0;
  }
  if (msg == TaskbarCreatedMessage()) {
    OnTaskbarCreated();
    return 0;
  }
  return ::CallWindowProcA(trayPrevious, wnd, msg, wParam, lParam);
}

LRESULT CALLBACK CTrayIcon::TrayProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<CTrayIcon*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
  if (!self || self->wnd != w) return ::DefWindowProcA(w, msg, wParam, lParam);
  try {
    return self->OnTrayMessage(msg, wParam, lParam);
  } catch (...) {
    self->busy = false;
    return 0;
  }
}

LRESULT CALLBACK CTrayIcon::OwnerProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  WNDPROC previous = nullptr;
  HWND tray = nullptr;
  {
    std::lock_guard<std::mutex> hold(TableLock());
    auto it = Table().find(w);
    if (it != Table().end()) {
      previous = it->second.previous;
      tray = it->second.tray;
    }
  }
  if (tray && msg == TaskbarCreatedMessage()) ::PostMessageA(tray, msg, wParam, lParam);
  if (!previous) return ::DefWindowProcA(w, msg, wParam, lParam);
  return ::CallWindowProcA(previous, w, msg, wParam, lParam);
}

#include "support/win/handles.h"
#include "support/win/window.h"

namespace win {

CWindowBase::~CWindowBase() {
  Destroy();
}

bool CWindowBase::RegisterWindowClass(const char* className, UINT classStyle, HBRUSH background,
                                      HCURSOR cursor, HICON icon) {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExA(instance, className, &existing)) return existing.lpfnWndProc == WindowProc;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = classStyle;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hCursor = cursor ? cursor : ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  return ::RegisterClassExA(&wc) != 0;
}

bool CWindowBase::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y,
                         int width, int height, HWND parent, HMENU menuOrId) {
  if (hwnd) return false;
  HWND made = ::CreateWindowExA(exStyle, className, title ? title : "", style, x, y, width, height, parent,
                                menuOrId, ::GetModuleHandleA(nullptr), this);
  // When a handler failed during creation the window is already destroyed.
  if (!made) hwnd = nullptr;
  return made != nullptr && hwnd == made;
}

void CWindowBase::Destroy() {
  if (hwnd) ::DestroyWindow(hwnd);
}

LRESULT CWindowBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(msg, wParam, lParam);
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  CWindowBase* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<CWindowBase*>(create->lpCreateParams);
    if (self) {
      ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd = wnd;
      detail::CountLive(HandleKind::kWindow, +1);  // until WM_NCDESTROY, for the leak checks
    }
  } else {
    self = reinterpret_cast<CWindowBase*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcA(wnd, msg, wParam, lParam);

  LRESULT result = 0;
  try {
    result = self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the window manager. A window whose creation handlers fail is
    // not created; any other failing handler gets the default handling.
    if (msg == WM_NCCREATE || msg == WM_CREATE) {
      result = msg == WM_NCCREATE ? FALSE : -1;
    } else {
      result = ::DefWindowProcA(wnd, msg, wParam, lParam);
    }
  }
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    self->hwnd = nullptr;
    detail::CountLive(HandleKind::kWindow, -1);
  }
  return result;
}

}  // namespace win

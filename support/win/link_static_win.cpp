#include <windows.h>
// commctrl.h needs the declarations of windows.h before it.
#include <commctrl.h>

#include <utility>
#include <vector>

#include "support/draw/font_style.h"
#include "support/draw/fonts_win.h"
#include "support/win/dpi.h"
#include "support/win/link_static.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4C4E4B31;  // "LNK1"
}

bool CLinkStatic::Attach(HWND control) {
  if (wnd || !control || !::IsWindow(control)) return false;
  if (!::SetWindowSubclass(control, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  wnd = control;
  parent = ::GetParent(control);
  if (parent)
    ::SetWindowSubclass(parent, ParentProc, reinterpret_cast<UINT_PTR>(this),
                        reinterpret_cast<DWORD_PTR>(this));
  // Without the notify style a static control lets clicks and the cursor fall through to its parent.
  const LONG_PTR style = ::GetWindowLongPtrA(control, GWL_STYLE);
  if (!(style & SS_NOTIFY)) ::SetWindowLongPtrA(control, GWL_STYLE, style | SS_NOTIFY);
  return true;
}

void CLinkStatic::Detach() {
  if (!wnd) return;
  ::RemoveWindowSubclass(wnd, ControlProc, kSubclassId);
  if (parent) ::RemoveWindowSubclass(parent, ParentProc, reinterpret_cast<UINT_PTR>(this));
  wnd = nullptr;
  parent = nullptr;
}

void CLinkStatic::Repaint() {
  if (!wnd) return;
  // A transparent control shows its parent through: repaint that part of the parent as well.
  if (bkColour == -1 && parent) {
    RECT r;
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    ::InvalidateRect(parent, &r, TRUE);
  }
  ::InvalidateRect(wnd, nullptr, TRUE);
}

void CLinkStatic::SetTextColor(COLORREF colour) {
  textColour = colour;
  Repaint();
}

void CLinkStatic::SetBkColor(long colour) {
  if (colour != bkColour) brush.Close();
  bkColour = colour;
  if (bkColour != -1 && !brush) brush.Attach(::CreateSolidBrush(static_cast<COLORREF>(bkColour)));
  Repaint();
}

bool CLinkStatic::SetFont(const std::string& face, int pointTenths, const std::string& style) {
  // At the DPI of the control's monitor, as the system scales the dialog around it.
  win::CFontHandle made(CreateStyledFont(face, pointTenths, style, wnd ? win::DpiOfWindow(wnd) : 0));
  if (!made) return false;
  if (wnd) ::SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
  // The control no longer uses the old font once the new one is set.
  font = std::move(made);
  if (wnd) ::InvalidateRect(wnd, nullptr, TRUE);
  return true;
}

bool CLinkStatic::EnableHandCursor(bool on) {
  handCursor = on && HandCursor() != nullptr;
  return handCursor;
}

HBRUSH CLinkStatic::OnCtlColor(HDC dc) {
  ::SetTextColor(dc, textColour);
  if (bkColour == -1) {
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
  }
  ::SetBkMode(dc, OPAQUE);
  ::SetBkColor(dc, static_cast<COLORREF>(bkColour));
  if (!brush) brush.Attach(::CreateSolidBrush(static_cast<COLORREF>(bkColour)));
  return brush.Get();
}

HCURSOR CLinkStatic::HandCursor() {
  static const HCURSOR cursor = [] {
    const int w = ::GetSystemMetrics(SM_CXCURSOR);
    const int h = ::GetSystemMetrics(SM_CYCURSOR);
    const std::size_t bytes = CursorPlaneBytes(w, h);
    if (bytes == 0) return static_cast<HCURSOR>(nullptr);
    std::vector<std::uint8_t> andPlane(bytes), xorPlane(bytes);
    if (!BuildHandCursorPlanes(w, h, andPlane.data(), xorPlane.data(), bytes))
      return static_cast<HCURSOR>(nullptr);
    return ::CreateCursor(::GetModuleHandleA(nullptr), 0, 0, w, h, andPlane.data(), xorPlane.data());
  }();
  return cursor;
}

LRESULT CALLBACK CLinkStatic::ControlProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<CLinkStatic*>(data);
  switch (msg) {
    case WM_SETCURSOR:
      if (self->handCursor) {
        ::SetCursor(HandCursor());
        return TRUE;
      }
      break;
    case kReflectedCtlColor:
      return reinterpret_cast<LRESULT>(self->OnCtlColor(reinterpret_cast<HDC>(wParam)));
    case WM_NCDESTROY:
      self->Detach();
      break;
    default:
      break;
  }
  return ::DefSubclassProc(w, msg, wParam, lParam);
}

LRESULT CALLBACK CLinkStatic::ParentProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<CLinkStatic*>(data);
  if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == self->wnd) {
    return reinterpret_cast<LRESULT>(self->OnCtlColor(reinterpret_cast<HDC>(wParam)));
  }
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(w, ParentProc, reinterpret_cast<UINT_PTR>(self));
    self->parent = nullptr;
  }
  return ::DefSubclassProc(w, msg, wParam, lParam);
}

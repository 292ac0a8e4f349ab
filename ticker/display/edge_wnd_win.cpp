#include "ticker/display/edge_wnd_win.h"

namespace ticker {

RECT PrimaryWorkArea() {
  RECT r = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

void CEdgeWnd::ShowTopmost() {
  if (!GetHwnd() || ::IsWindowVisible(GetHwnd())) return;
  ::SetWindowPos(GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CEdgeWnd::RaiseTopmost() {
  if (!GetHwnd()) return;
  ::SetWindowPos(GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CEdgeWnd::Hide() {
  if (GetHwnd()) ::ShowWindow(GetHwnd(), SW_HIDE);
}

bool CEdgeWnd::IsShown() const {
  return GetHwnd() && ::IsWindowVisible(GetHwnd());
}

bool CEdgeWnd::OnInitDialog() {
  ::ShowWindow(GetHwnd(), SW_HIDE);
  reportedDpi = win::DpiOfWindow(GetHwnd());
  dpi = reportedDpi;
  Relayout();
  ::SetTimer(GetHwnd(), kLayoutTimer, kLayoutMs, nullptr);
  return false;
}

void CEdgeWnd::Relayout() {
  workArea = PrimaryWorkArea();
  Layout(workArea);
}

void CEdgeWnd::OnTimer(UINT_PTR id) {
  if (id != kLayoutTimer) return;
  const RECT now = PrimaryWorkArea();
  const UINT reported = win::DpiOfWindow(GetHwnd());
  const bool dpiChanged = reported != reportedDpi;
  if (dpiChanged) {
    reportedDpi = reported;
    dpi = reported;
  }
  // The whole rectangle counts, not only its size: a taskbar moved from the left edge to the
  // right leaves the width as it was, yet the window must leave the taskbar's new place.
  if (dpiChanged || !::EqualRect(&now, &workArea)) Relayout();
}

bool CEdgeWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
  switch (msg) {
    case WM_DPICHANGED:
      // The new DPI comes with the message (x in the low word, y in the high one, always the
      // same). The suggested rectangle is left alone: the window places itself on the work area.
      if (HIWORD(wParam) != 0) dpi = HIWORD(wParam);
      reportedDpi = win::DpiOfWindow(GetHwnd());
      Relayout();
      result = 0;
      return true;
    case WM_DISPLAYCHANGE:
      Relayout();
      result = 0;
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(GetHwnd(), &ps);
      if (dc) Paint(dc);
      ::EndPaint(GetHwnd(), &ps);
      result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;  // the bitmap covers everything
      return true;
    case WM_NCPAINT:
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace ticker

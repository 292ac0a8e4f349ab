#include "ticker/display/bar_wnd_win.h"

#include "support/win/handles.h"
#include "ticker/display/ticker_windows_res.h"

namespace {

constexpr UINT_PTR kLayoutTimer = 100;
constexpr UINT_PTR kSlideTimer = 200;
constexpr UINT_PTR kWatchTimer = 300;
constexpr UINT kPlaceFlags = SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOCOPYBITS | SWP_NOZORDER;

RECT WorkArea() {
  RECT r = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

}  // namespace

CBarWnd::CBarWnd() : CDialog(IDD_BAR_DIALOG) {}

CBarWnd::~CBarWnd() {
  DestroyWindow();
  ReleaseMemory();
}

void CBarWnd::ReleaseMemory() {
  if (memoryDc) {
    if (previousBitmap) ::SelectObject(memoryDc.Get(), previousBitmap);
    memoryDc.Close();
  }
  previousBitmap = nullptr;
  memory.Release();
}

bool CBarWnd::OnInitDialog() {
  ::ShowWindow(GetHwnd(), SW_HIDE);
  Layout();
  ::SetTimer(GetHwnd(), kLayoutTimer, kLayoutMs, nullptr);
  return false;
}

void CBarWnd::Layout() {
  workArea = WorkArea();
  const int width = workArea.right - workArea.left;
  barRect = RECT{0, 0, width, kHeight};
  baseY = workArea.bottom - kHeight;
  ReleaseMemory();
  if (memory.Create(width, kHeight, 32)) {
    memoryDc.Attach(::CreateCompatibleDC(nullptr));
    if (memoryDc) previousBitmap = ::SelectObject(memoryDc.Get(), memory.GetHandle());
    if (memoryDc) ::FillRect(memoryDc.Get(), &barRect, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  }
  ::KillTimer(GetHwnd(), kSlideTimer);
  ::KillTimer(GetHwnd(), kWatchTimer);
  offset = direction = 0;
  ::SetWindowPos(GetHwnd(), nullptr, 0, baseY, width, kHeight, kPlaceFlags);
}

void CBarWnd::MoveToOffset() {
  ::SetWindowPos(GetHwnd(), nullptr, 0, baseY + offset, Width(), kHeight - offset, kPlaceFlags);
  win::CWindowDc dc(GetHwnd());
  if (dc) CopyToWindow(dc.Get());
}

void CBarWnd::CopyToWindow(HDC dc) {
  if (!memoryDc) return;
  ::BitBlt(dc, 0, 0, Width(), kHeight, memoryDc.Get(), 0, 0, SRCCOPY);
  ++paintCount;
}

void CBarWnd::Present(HDC frame) {
  if (!GetHwnd() || !frame || !memoryDc) return;
  ::BitBlt(memoryDc.Get(), 0, 0, Width(), kHeight, frame, 0, 0, SRCCOPY);
  win::CWindowDc dc(GetHwnd());
  if (dc) CopyToWindow(dc.Get());
}

void CBarWnd::ShowTopmost() {
  if (!GetHwnd() || ::IsWindowVisible(GetHwnd())) return;
  ::SetWindowPos(GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CBarWnd::Hide() {
  if (GetHwnd()) ::ShowWindow(GetHwnd(), SW_HIDE);
}

bool CBarWnd::IsShown() const {
  return GetHwnd() && ::IsWindowVisible(GetHwnd());
}

void CBarWnd::OnTimer(UINT_PTR id) {
  switch (id) {
    case kLayoutTimer: {
      const RECT now = WorkArea();
      if (now.right - now.left != workArea.right - workArea.left ||
          now.bottom - now.top != workArea.bottom - workArea.top) {
        Layout();
      }
      break;
    }
    case kSlideTimer:
      offset += direction;
      if (direction > 0 && offset >= kHeight) {
        offset = kHeight;
        direction = 0;
        ::KillTimer(GetHwnd(), kSlideTimer);
        ::SetTimer(GetHwnd(), kWatchTimer, kWatchMs, nullptr);
      } else if (direction < 0 && offset <= 0) {
        offset = 0;
        direction = 0;
        ::KillTimer(GetHwnd(), kSlideTimer);
      }
      MoveToOffset();
      break;
    case kWatchTimer: {
      POINT cursor = {};
      if (::GetCursorPos(&cursor) && cursor.y < baseY - kReturnDistance) {
        direction = -kStep;
        ::KillTimer(GetHwnd(), kWatchTimer);
        ::SetTimer(GetHwnd(), kSlideTimer, kSlideMs, nullptr);
      }
      break;
    }
    default:
      break;
  }
}

bool CBarWnd::OnMessage(UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& result) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (direction == 0) {
        direction = kStep;
        ::SetTimer(GetHwnd(), kSlideTimer, kSlideMs, nullptr);
      }
      result = 0;
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(GetHwnd(), &ps);
      if (dc) CopyToWindow(dc);
      ::EndPaint(GetHwnd(), &ps);
      result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_NCPAINT:
      result = 0;
      return true;
    case WM_DISPLAYCHANGE:
      Layout();
      result = 0;
      return true;
    default:
      return false;
  }
}

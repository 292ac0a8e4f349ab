#include "ticker/display/bar_wnd_win.h"

#include "support/win/handles.h"
#include "ticker/display/ticker_windows_res.h"

namespace {

constexpr UINT_PTR kSlideTimer = 200;
constexpr UINT_PTR kWatchTimer = 300;
constexpr UINT kPlaceFlags = SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOCOPYBITS | SWP_NOZORDER;

}  // namespace

CBarWnd::CBarWnd() : CEdgeWnd(IDD_BAR_DIALOG) {}

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

void CBarWnd::Layout(const RECT& work) {
  const int width = work.right - work.left;
  const int height = Scaled(kHeight);
  barRect = RECT{0, 0, width, height};
  // The work area's left edge: a taskbar on the left keeps its place.
  left = work.left;
  baseY = work.bottom - height;
  ReleaseMemory();
  if (memory.Create(width, height, 32)) {
    memoryDc.Attach(::CreateCompatibleDC(nullptr));
    if (memoryDc) previousBitmap = ::SelectObject(memoryDc.Get(), memory.GetHandle());
    if (memoryDc) ::FillRect(memoryDc.Get(), &barRect, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  }
  ::KillTimer(GetHwnd(), kSlideTimer);
  ::KillTimer(GetHwnd(), kWatchTimer);
  offset = direction = 0;
  ::SetWindowPos(GetHwnd(), nullptr, left, baseY, width, height, kPlaceFlags);
}

void CBarWnd::MoveToOffset() {
  ::SetWindowPos(GetHwnd(), nullptr, left, baseY + offset, Width(), Height() - offset, kPlaceFlags);
  win::CWindowDc dc(GetHwnd());
  if (dc) CopyToWindow(dc.Get());
}

void CBarWnd::CopyToWindow(HDC dc) {
  if (!memoryDc) return;
  ::BitBlt(dc, 0, 0, Width(), Height(), memoryDc.Get(), 0, 0, SRCCOPY);
  ++paintCount;
}

void CBarWnd::Present(HDC frame) {
  if (!GetHwnd() || !frame || !memoryDc) return;
  ::BitBlt(memoryDc.Get(), 0, 0, Width(), Height(), frame, 0, 0, SRCCOPY);
  win::CWindowDc dc(GetHwnd());
  if (dc) CopyToWindow(dc.Get());
}

void CBarWnd::OnTimer(UINT_PTR id) {
  switch (id) {
    case kSlideTimer:
      offset += direction;
      if (direction > 0 && offset >= Height()) {
        offset = Height();
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
      if (::GetCursorPos(&cursor) && cursor.y < baseY - Scaled(kReturnDistance)) {
        direction = -Scaled(kStep);
        ::KillTimer(GetHwnd(), kWatchTimer);
        ::SetTimer(GetHwnd(), kSlideTimer, kSlideMs, nullptr);
      }
      break;
    }
    default:
      CEdgeWnd::OnTimer(id);
      break;
  }
}

bool CBarWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_MOUSEMOVE) {
    if (direction == 0) {
      direction = Scaled(kStep);
      ::SetTimer(GetHwnd(), kSlideTimer, kSlideMs, nullptr);
    }
    result = 0;
    return true;
  }
  return CEdgeWnd::OnMessage(msg, wParam, lParam, result);
}

#include "ticker/display/flash_wnd_win.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "ticker/display/draw_strip_win.h"
#include "ticker/display/ticker_windows_res.h"

namespace ticker {

namespace {

HRGN RowRegion(const std::vector<RECT>& runs) {
  std::vector<std::uint8_t> block(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(runs.size());
  data->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
  data->rdh.rcBound = RECT{runs.front().left, runs.front().top, runs.back().right, runs.front().bottom};
  std::memcpy(data->Buffer, runs.data(), runs.size() * sizeof(RECT));
  return ::ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data);
}

}  // namespace

HRGN CreateRegionFromKey(const CDibSurface& surface, COLORREF key) {
  if (!surface.IsValid() || surface.GetBitsPerPixel() != 32) return nullptr;
  ::GdiFlush();  // the bits must hold everything drawn so far
  const int width = surface.GetWidth();
  const int height = surface.GetHeight();
  // 32-bit pixels are stored blue, green, red, unused.
  const std::uint32_t keyRaw = (static_cast<std::uint32_t>(GetRValue(key)) << 16) |
                               (static_cast<std::uint32_t>(GetGValue(key)) << 8) | GetBValue(key);
  std::vector<HRGN> rows;
  std::vector<RECT> runs;
  for (int y = 0; y < height; ++y) {
    const auto* pixel = static_cast<const std::uint32_t*>(surface.GetPixelAddress(0, y));
    if (!pixel) break;
    runs.clear();
    int x = 0;
    while (x < width) {
      while (x < width && (pixel[x] & 0xFFFFFF) == keyRaw) ++x;
      if (x == width) break;
      const int start = x;
      while (x < width && (pixel[x] & 0xFFFFFF) != keyRaw) ++x;
      runs.push_back(RECT{start, y, x, y + 1});
    }
    if (runs.empty()) continue;
    HRGN row = RowRegion(runs);
    if (!row) {
      for (HRGN r : rows) ::DeleteObject(r);
      return nullptr;
    }
    rows.push_back(row);
  }
  if (rows.empty()) return ::CreateRectRgn(0, 0, 0, 0);
  // Pairwise: 1+2, 3+4, ... then the results, so each join meets regions of similar size.
  while (rows.size() > 1) {
    std::vector<HRGN> next;
    for (std::size_t i = 0; i + 1 < rows.size(); i += 2) {
      ::CombineRgn(rows[i], rows[i], rows[i + 1], RGN_OR);
      ::DeleteObject(rows[i + 1]);
      next.push_back(rows[i]);
    }
    if (rows.size() % 2) next.push_back(rows.back());
    rows.swap(next);
  }
  return rows.front();
}

}  // namespace ticker

namespace ticker {

bool SetWindowRegion(HWND window, HRGN shaped) {
  if (!shaped) return false;
  if (::SetWindowRgn(window, shaped, TRUE)) return true;
  ::DeleteObject(shaped);
  return false;
}

}  // namespace ticker

CFlashWnd::CFlashWnd() : CEdgeWnd(IDD_FLASH_DIALOG) {}

CFlashWnd::~CFlashWnd() {
  DestroyWindow();
}

void CFlashWnd::Layout(const RECT& work) {
  flashRect = RECT{0, 0, work.right - work.left, Scaled(ticker::kFlashHeight)};
  if (memory.Create(flashRect.right, flashRect.bottom, 32)) memory.FillSolidRect(flashRect, RGB(0, 0, 0));
  // The screen's corner, not the work area's: the flash sits there even under a top taskbar.
  ::SetWindowPos(GetHwnd(), nullptr, 0, 0, flashRect.right, flashRect.bottom,
                 SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOCOPYBITS | SWP_NOZORDER);
  // A bulletin on show keeps its shape at the new size.
  if (hasText) Redraw();
}

void CFlashWnd::SetFlashText(const std::string& newText) {
  text = newText;
  hasText = true;
  Redraw();
}

void CFlashWnd::Redraw() {
  if (!GetHwnd() || !memory.IsValid()) return;
  memory.FillSolidRect(flashRect, ticker::kFlashKeyColour);
  // One context for the three passes, its state put back afterwards.
  const bool bound = memory.BeginDraw();
  const int saved = memory.SaveState();
  memory.SetBkMode(TRANSPARENT);
  const UINT format = DT_CENTER | DT_WORDBREAK | DT_EXTERNALLEADING;
  const RECT& r = flashRect;
  // A black copy one row lower and two white ones side by side: the 96-DPI offsets, scaled.
  const int one = Scaled(1);
  const int two = Scaled(2);
  const int seven = Scaled(7);
  const int eight = Scaled(8);
  memory.DrawTextFont(text, RECT{r.left, r.top + eight, r.right, r.bottom}, format, RGB(0, 0, 0),
                      ticker::kFlashPointTenths, ticker::kStripFace, Dpi());
  memory.DrawTextFont(text, RECT{r.left - one, r.top + seven, r.right - one, r.bottom - one}, format,
                      RGB(255, 255, 255), ticker::kFlashPointTenths, ticker::kStripFace, Dpi());
  memory.DrawTextFont(text, RECT{r.left - two, r.top + seven, r.right - two, r.bottom - one}, format,
                      RGB(255, 255, 255), ticker::kFlashPointTenths, ticker::kStripFace, Dpi());
  memory.RestoreState(saved);
  if (bound) memory.EndDraw();

  HRGN shaped = ticker::CreateRegionFromKey(memory, ticker::kFlashKeyColour);
  if (!shaped) return;
  // A copy stays ours so that it can be inspected and deleted at the end without touching the
  // window's; it replaces the old one only when the window took the new shape.
  win::CRegionHandle copy(::CreateRectRgn(0, 0, 0, 0));
  if (copy) ::CombineRgn(copy.Get(), shaped, nullptr, RGN_COPY);
  if (!ticker::SetWindowRegion(GetHwnd(), shaped)) return;
  region.Attach(copy.Detach());
  ::InvalidateRect(GetHwnd(), nullptr, FALSE);
}

void CFlashWnd::Paint(HDC dc) {
  if (memory.IsValid()) memory.Draw(dc, 0, 0);
}

void CFlashWnd::OnDestroy() {
  ::KillTimer(GetHwnd(), kLayoutTimer);
  ::SetWindowRgn(GetHwnd(), nullptr, FALSE);
  region.Close();
  memory.Release();
}

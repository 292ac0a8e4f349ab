#include "ticker/display/draw_strip_win.h"

#include "support/draw/fonts_win.h"

namespace ticker {

namespace {

HFONT MakeStripFont(UINT dpi) {
  return CreateStyledFont(kStripFace, kStripPointTenths, "", dpi);
}

// Background, shadow, text into dc (width x height, font selected by the caller or not): the
// whole bitmap is painted, so an old frame never shows through.
void PaintInto(HDC dc, int width, int height, HFONT font, const RECT& rect, const std::string& text,
               int xOffset, long fill, const CDibSurface* snapshot, UINT dpi) {
  const RECT all = {0, 0, width, height};
  if (fill == kFillFromSnapshot) {
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (snapshot && snapshot->IsValid()) {
      // Copied under the snapshot's own lock (its context holds the bitmap); the lock is not
      // part of the picture, so a const snapshot may take it.
      const_cast<CDibSurface*>(snapshot)->Locked(
          [&](HDC source) { ::BitBlt(dc, 0, 0, width, height, source, rect.left, rect.top, SRCCOPY); });
    }
  } else {
    win::CBrushHandle brush(::CreateSolidBrush(static_cast<COLORREF>(fill)));
    if (brush) ::FillRect(dc, &all, brush.Get());
  }
  if (text.empty() || !font) return;
  win::CSelectObject pick(dc, font);
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = ::SetTextColor(dc, kStripShadowColour);
  const int x = win::ScaleForDpi(xOffset, dpi);
  const int one = win::ScaleForDpi(1, dpi);
  RECT shadow = {x + one, one, width + one, height + one};
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &shadow, kStripTextFormat);
  ::SetTextColor(dc, kStripTextColour);
  RECT front = {x, 0, width, height};
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &front, kStripTextFormat);
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);
}

}  // namespace

bool DrawStrip(CDibSurface& surface, const RECT& rect, const std::string& text, int xOffset, long fill,
               const CDibSurface* snapshot, UINT dpi) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || !surface.Create(width, height, 32)) {
    surface.Release();
    return false;
  }
  win::CFontHandle font(MakeStripFont(dpi));
  surface.Locked(
      [&](HDC dc) { PaintInto(dc, width, height, font.Get(), rect, text, xOffset, fill, snapshot, dpi); });
  return true;
}

bool CStripPainter::Draw(const RECT& rect, const std::string& text, int xOffset, long fill,
                         const CDibSurface* snapshot, UINT dpi) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    Release();
    return false;
  }
  if (!dc || surface.GetWidth() != width || surface.GetHeight() != height) {
    Release();
    // The bitmap stays selected in a context of our own from now on: nothing is made or
    // selected per frame.
    if (!surface.Create(width, height, 32)) return false;
    dc.Attach(::CreateCompatibleDC(nullptr));
    if (!dc) {
      surface.Release();
      return false;
    }
    previousBitmap = ::SelectObject(dc.Get(), surface.GetHandle());
  }
  if (!font || fontDpi != dpi) {
    font.Attach(MakeStripFont(dpi));
    fontDpi = dpi;
  }
  PaintInto(dc.Get(), width, height, font.Get(), rect, text, xOffset, fill, snapshot, dpi);
  return true;
}

CDibSurface& CStripPainter::Surface() {
  ::GdiFlush();
  return surface;
}

void CStripPainter::Release() {
  if (dc) {
    if (previousBitmap) ::SelectObject(dc.Get(), previousBitmap);
    dc.Close();
  }
  previousBitmap = nullptr;
  surface.Release();
  font.Close();
  fontDpi = 0;
}

}  // namespace ticker

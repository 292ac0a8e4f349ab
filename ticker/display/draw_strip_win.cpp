#include "ticker/display/draw_strip_win.h"

#include "support/draw/fonts_win.h"

namespace ticker {

namespace {

HFONT MakeStripFont() {
  return CreateStyledFont(kStripFace, kStripPointTenths, "");
}

bool EnsureBitmap(CDibSurface& surface, int width, int height) {
  if (surface.IsValid() && surface.GetWidth() == width && surface.GetHeight() == height &&
      surface.GetBitsPerPixel() == 32) {
    return true;
  }
  return surface.Create(width, height, 32);
}

// Background, shadow, text: the whole bitmap is painted, so an old frame never shows through.
void Paint(CDibSurface& surface, HFONT font, const RECT& rect, const std::string& text, int xOffset,
           long fill, const CDibSurface* snapshot) {
  const int width = surface.GetWidth();
  const int height = surface.GetHeight();
  surface.Locked([&](HDC dc) {
    if (fill == kFillFromSnapshot) {
      const RECT all = {0, 0, width, height};
      ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
      if (snapshot && snapshot->IsValid()) {
        // Copied under the snapshot's own lock (its context holds the bitmap); the lock is not
        // part of the picture, so a const snapshot may take it.
        const_cast<CDibSurface*>(snapshot)->Locked(
            [&](HDC source) { ::BitBlt(dc, 0, 0, width, height, source, rect.left, rect.top, SRCCOPY); });
      }
    } else {
      const RECT all = {0, 0, width, height};
      win::CBrushHandle brush(::CreateSolidBrush(static_cast<COLORREF>(fill)));
      if (brush) ::FillRect(dc, &all, brush.Get());
    }
    if (text.empty() || !font) return;
    win::CSelectObject pick(dc, font);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, kStripShadowColour);
    RECT shadow = {xOffset + 1, 1, width + 1, height + 1};
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &shadow, kStripTextFormat);
    ::SetTextColor(dc, kStripTextColour);
    RECT front = {xOffset, 0, width, height};
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &front, kStripTextFormat);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
  });
}

}  // namespace

bool DrawStrip(CDibSurface& surface, const RECT& rect, const std::string& text, int xOffset, long fill,
               const CDibSurface* snapshot) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || !surface.Create(width, height, 32)) {
    surface.Release();
    return false;
  }
  win::CFontHandle font(MakeStripFont());
  Paint(surface, font.Get(), rect, text, xOffset, fill, snapshot);
  return true;
}

bool CStripPainter::Draw(const RECT& rect, const std::string& text, int xOffset, long fill,
                         const CDibSurface* snapshot) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || !EnsureBitmap(surface, width, height)) {
    surface.Release();
    return false;
  }
  if (!font) font.Attach(MakeStripFont());
  Paint(surface, font.Get(), rect, text, xOffset, fill, snapshot);
  return true;
}

void CStripPainter::Release() {
  surface.Release();
  font.Close();
}

}  // namespace ticker

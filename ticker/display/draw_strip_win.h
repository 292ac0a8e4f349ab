// One frame of the scrolling strip (bar and desktop modes): a bitmap of the strip's size holding
// the background and the visible text in yellow over a dark shadow, one line, vertically centred.
#pragma once

#include <windows.h>

#include <string>

#include "support/draw/dib_surface_win.h"
#include "support/win/dpi.h"
#include "support/win/handles.h"

namespace ticker {

// The strip's look.
constexpr char kStripFace[] = "ＭＳ ゴシック";
constexpr int kStripPointTenths = 90;
constexpr COLORREF kStripShadowColour = RGB(64, 64, 64);
constexpr COLORREF kStripTextColour = RGB(255, 232, 64);
constexpr UINT kStripTextFormat = DT_SINGLELINE | DT_VCENTER | DT_EXTERNALLEADING | DT_NOPREFIX;
// fill value that takes the background from the desktop snapshot.
constexpr long kFillFromSnapshot = -1;

// Draws one frame into surface, which becomes a 32-bit bitmap of rect's size. rect is in screen
// coordinates; with fill kFillFromSnapshot the background is copied from snapshot (a picture of
// the whole screen) at rect's position, black where the snapshot is missing or does not reach;
// any other fill is a COLORREF. The text starts xOffset pixels from the left edge. The font, the
// shadow's one-pixel offset and xOffset are sizes at 96 DPI, drawn at dpi. False when the bitmap
// cannot be made (surface is then empty).
bool DrawStrip(CDibSurface& surface, const RECT& rect, const std::string& text, int xOffset, long fill,
               const CDibSurface* snapshot = nullptr, UINT dpi = win::kBaseDpi);

// The same drawing with the bitmap and font kept from one call to the next: the bitmap is made
// again only when the strip's size changes. Every call draws the whole bitmap over (background
// first), so each frame has exactly the pixels DrawStrip gives.
class CStripPainter {
 public:
  CStripPainter() = default;
  ~CStripPainter() { Release(); }
  CStripPainter(const CStripPainter&) = delete;
  CStripPainter& operator=(const CStripPainter&) = delete;

  bool Draw(const RECT& rect, const std::string& text, int xOffset, long fill,
            const CDibSurface* snapshot = nullptr, UINT dpi = win::kBaseDpi);
  // The frame last drawn, for reading its pixels. Its bitmap is selected in Dc(), so it serves
  // for reading bits, not for the surface's own drawing calls.
  CDibSurface& Surface();
  // A context holding the frame last drawn (null before the first Draw), to copy it from.
  HDC Dc() const { return dc.Get(); }
  // Lets go of the bitmap, the context and the font (they are made again on the next Draw).
  void Release();

 private:
  CDibSurface surface;
  win::CMemoryDc dc;
  HGDIOBJ previousBitmap = nullptr;
  win::CFontHandle font;
  UINT fontDpi = 0;
};

}  // namespace ticker

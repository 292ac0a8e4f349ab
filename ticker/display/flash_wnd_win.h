// The flash window: a topmost, shaped window at the screen's top-left corner whose visible area
// is exactly the pixels of its text (the flash bulletins' title and lines). Its height, its font
// and the offsets of its outline are sizes at 96 DPI, scaled to the DPI of its monitor.
#pragma once

#include <windows.h>

#include <string>

#include "support/draw/dib_surface_win.h"
#include "support/win/handles.h"
#include "ticker/display/edge_wnd_win.h"

namespace ticker {

constexpr COLORREF kFlashKeyColour = RGB(255, 0, 255);
constexpr int kFlashHeight = 100;
constexpr int kFlashPointTenths = 140;

// The region of every pixel of a 32-bit surface that is not key: each row's maximal runs of
// other pixels as one-pixel-high rectangles. Reads the bits directly, one row region at a time,
// and joins the rows pairwise so that thousands of runs never meet one growing region. The
// caller owns the region; an empty region when every pixel is key; null on failure.
HRGN CreateRegionFromKey(const CDibSurface& surface, COLORREF key);

// Gives window the region shaped (redrawn). The system owns a region only once it has taken it:
// when SetWindowRgn fails, shaped is deleted here and the window keeps the region it had. False
// then.
bool SetWindowRegion(HWND window, HRGN shaped);

}  // namespace ticker

class CFlashWnd : public ticker::CEdgeWnd {
 public:
  CFlashWnd();
  ~CFlashWnd() override;

  // Draws the text (white, bold-looking, on a black shadow line, centred, wrapped) and reshapes
  // the window to it; an empty text leaves an empty region. The text is kept and drawn again
  // after a new layout.
  void SetFlashText(const std::string& text);

  RECT FlashRect() const { return flashRect; }
  const CDibSurface& Surface() const { return memory; }

 protected:
  void OnDestroy() override;
  void Layout(const RECT& work) override;
  void Paint(HDC dc) override;

 private:
  void Redraw();

  CDibSurface memory;
  RECT flashRect = {};
  std::string text;
  bool hasText = false;
  win::CRegionHandle region;  // the window's region is the system's copy; this is ours
};

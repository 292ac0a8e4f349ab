// Desktop mode: the ticker's strip painted into the desktop's icon view at the top right of the
// work area, its background taken from the desktop snapshot so that the wallpaper and the icons'
// labels stay visible under the text; and its clean-up, which has the view repaint the place.
#pragma once

#include <windows.h>

#include <string>

#include "support/win/dpi.h"
#include "ticker/display/desktop_strip.h"
#include "ticker/display/wallpaper_win.h"

namespace ticker {

class CDesktopStrip {
 public:
  explicit CDesktopStrip(CWallpaperCapture& p) : pictures(p) {}
  CDesktopStrip(const CDesktopStrip&) = delete;
  CDesktopStrip& operator=(const CDesktopStrip&) = delete;

  // One tick: text starts xOffset pixels into a strip of areaPercent % of the screen's width.
  // Nothing is drawn when there is no desktop list view. The strip's height, its font and
  // xOffset are sizes at 96 DPI, drawn at dpi (the desktop's).
  void Draw(const std::string& text, int xOffset, int areaPercent, UINT dpi = win::kBaseDpi);
  // Asks the desktop's view to repaint where the last strip was and forgets it; nothing when no
  // strip ever reached the desktop.
  void Clear();

  bool HasStrip() const { return placement.HasStrip(); }
  RECT StripRect() const;

 private:
  CWallpaperCapture& pictures;
  StripPlacement placement;
  bool onDesktop = false;  // a strip was copied onto the desktop since the last clean-up
};

}  // namespace ticker

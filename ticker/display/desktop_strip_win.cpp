#include "ticker/display/desktop_strip_win.h"

#include <shlobj.h>

#include "support/win/handles.h"
#include "ticker/display/desktop_view_win.h"
#include "ticker/display/draw_strip_win.h"

namespace ticker {

namespace {

DibRect ToDib(const RECT& r) {
  return DibRect{r.left, r.top, r.right, r.bottom};
}

// Copies the frame to its screen position through a device context of window.
bool CopyToWindow(CDibSurface& frame, HWND window, const RECT& screen) {
  if (!window || !frame.IsValid()) return false;
  POINT at{screen.left, screen.top};
  ::ScreenToClient(window, &at);
  win::CWindowDc dc(window);
  if (!dc) return false;
  return frame.Locked([&](HDC from) {
    return ::BitBlt(dc.Get(), at.x, at.y, frame.GetWidth(), frame.GetHeight(), from, 0, 0, SRCCOPY) != FALSE;
  });
}

}  // namespace

RECT CDesktopStrip::StripRect() const {
  const DibRect& s = placement.Strip();
  return RECT{s.left, s.top, s.right, s.bottom};
}

void CDesktopStrip::Draw(const std::string& text, int xOffset, int areaPercent, UINT dpi) {
  const ScreenGeometry g = pictures.Geometry();
  const DibRect work = ToDib(g.workArea);
  // The old strip may lie outside the new one: the shell repaints the desktop.
  if (placement.SeeWorkArea(work)) ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
  placement.Place(work, g.width, areaPercent, win::ScaleForDpi(kStripHeight, dpi));
  const RECT rect = StripRect();
  stripDpi = dpi;

  CDibSurface frame;
  const bool shown =
      DrawStrip(frame, rect, text, xOffset, kFillFromSnapshot, &pictures.DesktopSnapshot(), dpi) &&
      CopyToWindow(frame, FindDesktopListView(), rect);
  if (shown) {
    onDesktop = true;
  } else if (!onDesktop) {
    // Nothing of ours is on the desktop: there is nothing to paint over when the display stops.
    placement.Clear();
  }
}

void CDesktopStrip::Clear() {
  if (!placement.HasStrip()) return;
  const RECT rect = StripRect();
  CDibSurface frame;
  if (DrawStrip(frame, rect, "", 0, kFillFromSnapshot, &pictures.DesktopSnapshot(), stripDpi))
    CopyToWindow(frame, DesktopCanvasWindow(FindDesktopListView()), rect);
  placement.Clear();
  onDesktop = false;
}

}  // namespace ticker

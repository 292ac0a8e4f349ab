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

  HWND view = FindDesktopListView();
  // A view other than the one in the snapshot (the shell was restarted): its icons first.
  if (view && view != pictures.SnapshotView()) pictures.RefreshSnapshot();
  CDibSurface frame;
  const bool shown =
      view && DrawStrip(frame, rect, text, xOffset, kFillFromSnapshot, &pictures.DesktopSnapshot(), dpi) &&
      CopyToWindow(frame, view, rect);
  if (shown) {
    onDesktop = true;
  } else if (!onDesktop) {
    // Nothing of ours is on the desktop: there is nothing to paint over when the display stops.
    placement.Clear();
  }
}

void CDesktopStrip::Clear() {
  if (!placement.HasStrip()) return;
  // Asks the view to repaint the strip's place (wallpaper and icons as they are now) without
  // waiting for it: RDW_UPDATENOW would wait until the shell has painted, and a hung shell would
  // hold the ticker; the request stays with the window until the shell reads its messages. A view
  // that is gone took the strip with it.
  if (HWND view = FindDesktopListView()) {
    RECT inView = StripRect();
    ::MapWindowPoints(HWND_DESKTOP, view, reinterpret_cast<POINT*>(&inView), 2);
    ::RedrawWindow(view, &inView, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  placement.Clear();
  onDesktop = false;
}

}  // namespace ticker

#include "ticker/display/desktop_strip.h"

namespace ticker {

int StripWidth(int screenWidth, int areaPercent) {
  if (areaPercent < kMinAreaPercent) areaPercent = kMinAreaPercent;
  return static_cast<int>(static_cast<long long>(screenWidth) * areaPercent / 100);
}

DibRect StripRect(const DibRect& workArea, int stripWidth, int height) {
  // Measured from the right edge, so a work area that does not start at x 0 (a taskbar on the
  // left) still gets a strip of stripWidth pixels.
  return DibRect{workArea.right - stripWidth, workArea.top, workArea.right, workArea.top + height};
}

bool StripPlacement::SeeWorkArea(const DibRect& workArea) {
  if (workArea == lastWorkArea) return false;
  lastWorkArea = workArea;
  return HasStrip();
}

DibRect StripPlacement::Place(const DibRect& workArea, int screenWidth, int areaPercent, int height) {
  strip = StripRect(workArea, StripWidth(screenWidth, areaPercent), height);
  return strip;
}

}  // namespace ticker

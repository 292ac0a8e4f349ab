// Where the desktop strip goes: areaPercent of the screen's width, 20 pixels high at 96 DPI, at
// the top right of the work area; and when the shell must be told that the work area moved under
// a strip.
#pragma once

#include "support/draw/dib_math.h"

namespace ticker {

constexpr int kStripHeight = 20;
// The strip never gets narrower than a quarter of the screen.
constexpr int kMinAreaPercent = 25;

// screenWidth x areaPercent / 100 (integer division), areaPercent raised to kMinAreaPercent.
int StripWidth(int screenWidth, int areaPercent);

// stripWidth pixels wide and height high (kStripHeight scaled to the desktop's DPI), flush with
// the work area's top and right edges (screen coordinates).
DibRect StripRect(const DibRect& workArea, int stripWidth, int height = kStripHeight);

// The strip last drawn and the work area last seen.
class StripPlacement {
 public:
  // Records the work area of this tick; true when it moved while a strip was on the desktop (the
  // shell is then asked to repaint, since the old strip may lie outside the new one).
  bool SeeWorkArea(const DibRect& workArea);
  // The strip of this tick.
  DibRect Place(const DibRect& workArea, int screenWidth, int areaPercent, int height = kStripHeight);
  bool HasStrip() const { return strip.Width() > 0 && strip.Height() > 0; }
  const DibRect& Strip() const { return strip; }
  const DibRect& LastWorkArea() const { return lastWorkArea; }
  // After the clean-up: nothing is on the desktop any more.
  void Clear() { strip = DibRect(); }

 private:
  DibRect strip;
  DibRect lastWorkArea;
};

}  // namespace ticker

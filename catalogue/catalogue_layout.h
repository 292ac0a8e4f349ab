// The geometry of the catalogue window and the colours of its buttons' frames.
#pragma once

#include "catalogue/catalogue_content.h"

namespace catalogue {

// The band under the page picture that holds the buttons.
constexpr int kButtonBand = 30;

struct Size {
  int width = 0;
  int height = 0;
};

struct CatalogueLayout {
  Size window;  // new outer size
  int buttonY = 0;
  int offerX[kOfferCount] = {};
  int nextX = 0;
  int previousX = 0;
};

// outer and client: the window's sizes now; offer: the size of button 1002; nextWidth: the width
// of "次へ>>". The client area becomes the picture plus the band; the buttons keep their sizes.
CatalogueLayout ComputeLayout(Size picture, Size outer, Size client, Size offer, int nextWidth);

// Frame depth of a colour button: 2, none for a flat one, one less while pressed.
int FrameDepth(bool flat, bool pressed);

struct FrameGreys {
  int dark;   // right and bottom edges
  int light;  // left and top edges
};
// The grey levels of frame level h (1 = outermost) of a frame of the given depth.
FrameGreys FrameLevelGreys(int h, int depth, bool pressed);

// Whether the point lies in the rectangle (right and bottom excluded).
struct HotRect {
  int left, top, right, bottom;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};
// Link strip A in the header, link strip B on the home link page, and where their pictures go.
constexpr HotRect kStripAHot = {196, 70, 436, 82};
constexpr int kStripAX = 189, kStripAY = 67;
constexpr HotRect kStripBHot = {11, 377, 269, 389};
constexpr int kStripBX = 8, kStripBY = 377;

// Tracks whether the pointer is inside a hot rectangle: Move returns true only on a crossing.
class HotTracker {
 public:
  explicit HotTracker(HotRect r) : rect(r) {}
  bool Move(int x, int y) {
    bool now = rect.Contains(x, y);
    if (now == inside) return false;
    inside = now;
    return true;
  }
  bool Inside() const { return inside; }
  void Reset() { inside = false; }

 private:
  HotRect rect;
  bool inside = false;
};

}  // namespace catalogue

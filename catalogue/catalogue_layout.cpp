#include "catalogue/catalogue_layout.h"

namespace catalogue {

CatalogueLayout ComputeLayout(Size picture, Size outer, Size client, Size offer, int nextWidth) {
  CatalogueLayout layout;
  layout.window.width = picture.width + (outer.width - client.width);
  layout.window.height = picture.height + (outer.height - client.height) + kButtonBand;
  layout.buttonY = picture.height + (kButtonBand - offer.height) / 2;
  for (int i = 0; i < kOfferCount; ++i) layout.offerX[i] = 8 + i * (offer.width + 3);
  layout.nextX = picture.width - nextWidth - 8;
  layout.previousX = picture.width - 2 * nextWidth - 12;
  return layout;
}

int FrameDepth(bool flat, bool pressed) {
  int depth = flat ? 0 : 2;
  if (pressed && depth > 0) --depth;
  return depth;
}

FrameGreys FrameLevelGreys(int h, int depth, bool pressed) {
  if (pressed) return {128, 128};
  if (depth == 1) return {192, 255};
  return {128 - 63 / h, 192 + 63 / h};
}

}  // namespace catalogue

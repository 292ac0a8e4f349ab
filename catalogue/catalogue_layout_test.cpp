#include "catalogue/catalogue_layout.h"

#include <gtest/gtest.h>

namespace catalogue {
namespace {

TEST(CatalogueLayout, ClientIsThePicturePlusTheBandAndButtonsSitInIt) {
  // A frame of 6 + 6 pixels and a 25-pixel caption around a 200 x 100 client.
  CatalogueLayout l = ComputeLayout({640, 400}, {212, 131}, {200, 100}, {66, 21}, 60);
  EXPECT_EQ(l.window.width, 652);
  EXPECT_EQ(l.window.height, 461);
  EXPECT_EQ(l.buttonY, 404);  // 400 + (30 - 21) / 2
  EXPECT_EQ(l.offerX[0], 8);
  EXPECT_EQ(l.offerX[1], 77);
  EXPECT_EQ(l.offerX[6], 8 + 6 * 69);
  EXPECT_EQ(l.nextX, 572);
  EXPECT_EQ(l.previousX, 508);
}

TEST(ColorButtonFrame, DepthsAndGreys) {
  EXPECT_EQ(FrameDepth(false, false), 2);
  EXPECT_EQ(FrameDepth(false, true), 1);
  EXPECT_EQ(FrameDepth(true, false), 0);
  EXPECT_EQ(FrameDepth(true, true), 0);
  FrameGreys outer = FrameLevelGreys(1, 2, false), inner = FrameLevelGreys(2, 2, false);
  EXPECT_EQ(outer.dark, 65);
  EXPECT_EQ(outer.light, 255);
  EXPECT_EQ(inner.dark, 97);
  EXPECT_EQ(inner.light, 223);
  EXPECT_EQ(FrameLevelGreys(1, 1, true).dark, 128);
  EXPECT_EQ(FrameLevelGreys(1, 1, true).light, 128);
  EXPECT_EQ(FrameLevelGreys(1, 1, false).dark, 192);
  EXPECT_EQ(FrameLevelGreys(1, 1, false).light, 255);
}

TEST(LinkStrips, RepaintOnlyOnCrossings) {
  HotTracker a(kStripAHot);
  EXPECT_FALSE(a.Move(10, 10));
  EXPECT_TRUE(a.Move(196, 70));  // entering at the top left corner
  EXPECT_FALSE(a.Move(300, 75));
  EXPECT_FALSE(a.Move(435, 81));
  EXPECT_TRUE(a.Move(436, 81));  // the right edge is outside
  EXPECT_FALSE(a.Move(500, 81));
  EXPECT_TRUE(a.Move(200, 71));
  EXPECT_TRUE(a.Inside());
  EXPECT_TRUE(a.Move(200, 82));
  EXPECT_FALSE(a.Inside());
}

}  // namespace
}  // namespace catalogue

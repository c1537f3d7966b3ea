// The animation's frame rules over the frame counter.
#include <gtest/gtest.h>

#include "monitor/truck_animation.h"
#include "resources/images.h"

namespace tk {
namespace {

const TruckPath kPath{505, 67, 20};

TEST(TruckFrameAt, DrivesFromTheGlobeToTheComputerAndStartsAgain) {
  EXPECT_EQ(TruckFrameAt(0, kPath).x, 505);
  EXPECT_EQ(TruckFrameAt(50, kPath).x, 505 - 438 * 50 / 100);
  EXPECT_EQ(TruckFrameAt(100, kPath).x, 67);
  EXPECT_EQ(TruckFrameAt(101, kPath).x, 505);
  EXPECT_EQ(TruckFrameAt(202, kPath).x, 505);
  for (unsigned n = 1; n <= 100; ++n) EXPECT_LE(TruckFrameAt(n, kPath).x, TruckFrameAt(n - 1, kPath).x) << n;
}

TEST(TruckFrameAt, ClearsOnlyWhenItJumpsBack) {
  EXPECT_FALSE(TruckFrameAt(0, kPath).clearOld);
  for (unsigned n : {101u, 202u, 10100u}) EXPECT_TRUE(TruckFrameAt(n, kPath).clearOld) << n;
  for (unsigned n : {1u, 50u, 100u, 102u}) EXPECT_FALSE(TruckFrameAt(n, kPath).clearOld) << n;
}

TEST(TruckFrameAt, GlobeTurnsAndComputerFlashesOnTheirFrames) {
  const struct {
    unsigned n;
    int globe, computer;
  } rows[] = {
      {0, res::kIconGlobe1, 0},   {17, res::kIconGlobe2, 0},  {33, res::kIconGlobe3, 0},
      {50, res::kIconGlobe1, 0},  {97, 0, res::kIconComputerFlash}, {103, 0, res::kIconComputer},
      {2, 0, res::kIconComputer}, {198, 0, res::kIconComputerFlash}, {1, 0, 0},
      {150, res::kIconGlobe1, 0}, {101, 0, 0}, {16, 0, 0},
  };
  for (const auto& r : rows) {
    const TruckFrame f = TruckFrameAt(r.n, kPath);
    EXPECT_EQ(f.globeIcon, r.globe) << r.n;
    EXPECT_EQ(f.computerIcon, r.computer) << r.n;
  }
}

TEST(TruckFrameAt, SpritesCycleThroughTheThreeBitmaps) {
  for (unsigned n = 0; n < 9; ++n) EXPECT_EQ(TruckFrameAt(n, kPath).sprite, res::kBitmapTruckFirst + static_cast<int>(n % 3));
  // The counter may run for days; the arithmetic stays within the path.
  const TruckFrame late = TruckFrameAt(0xFFFFFFFFu, kPath);
  EXPECT_GE(late.x, kPath.endX);
  EXPECT_LE(late.x, kPath.startX);
}

}  // namespace
}  // namespace tk

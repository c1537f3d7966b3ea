#include "monitor/truck_animation.h"

#include "resources/images.h"

namespace tk {

TruckFrame TruckFrameAt(unsigned n, const TruckPath& path) {
  TruckFrame f;
  switch (n % 50) {
    case 0: f.globeIcon = res::kIconGlobe1; break;
    case 17: f.globeIcon = res::kIconGlobe2; break;
    case 33: f.globeIcon = res::kIconGlobe3; break;
    default: break;
  }
  const int step = static_cast<int>(n % 101);
  // Back at the start: the truck standing at the computer must go.
  f.clearOld = n != 0 && step == 0;
  f.x = path.startX - (path.startX - path.endX) * step / 100;
  f.sprite = res::kBitmapTruckFirst + static_cast<int>(n % 3);
  if (step == 97) f.computerIcon = res::kIconComputerFlash;
  if (step == 2) f.computerIcon = res::kIconComputer;
  return f;
}

}  // namespace tk

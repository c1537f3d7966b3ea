#pragma once
// The download page's animation: a truck drives from the turning globe to the computer in 100
// steps, over and over, while the run goes on. The frame rules are plain arithmetic over the
// frame counter, kept apart from the widgets so that they can be checked on their own.
#include <QPoint>

namespace tk {

struct TruckPath {
  int startX = 0;  // left of the globe minus 47: the truck enters under the globe
  int endX = 0;    // right of the computer plus 7
  int y = 0;       // top of the globe
};

struct TruckFrame {
  int globeIcon = 0;     // the globe's new picture, 0 to keep the current one
  bool clearOld = false; // the sprite's rectangle at its last position is wiped first
  int x = 0;             // where the sprite is drawn
  int sprite = 0;        // the truck bitmap of this frame
  int computerIcon = 0;  // the computer's new picture, 0 to keep the current one
};

inline constexpr int kTruckWidth = 40;
inline constexpr int kTruckHeight = 30;

// The frame for counter value `n`.
TruckFrame TruckFrameAt(unsigned n, const TruckPath& path);

}  // namespace tk

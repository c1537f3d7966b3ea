#pragma once
// Process-wide settings of the internet layer that callers may change. The defaults are the
// design's: 60 s to connect, and a transfer that receives nothing for 60 s fails.
#include <chrono>

namespace tk::inet {

// Takes effect for transfers set up afterwards; any thread.
void SetTimeouts(std::chrono::seconds connect, std::chrono::seconds stall);

}  // namespace tk::inet


#pragma once
// Process-wide settings of the internet layer that callers may change. The defaults are the
// design's: 60 s to connect, and a transfer that receives nothing for 60 s fails.
#include <chrono>

namespace tk::inet {

// Takes effect for transfers set up afterwards; any thread.
void SetTimeouts(std::chrono::seconds connect, std::chrono::seconds stall);

}  // namespace tk::inet

#include <cstdint>

namespace tk::inet {

// The cache's size cap in bytes of stored bodies (default 1 GiB); least-recently-used entries
// are removed when a new entry takes the total past it.
void SetCacheSizeLimit(std::uint64_t bytes);

}  // namespace tk::inet

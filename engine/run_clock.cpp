#include "engine/run_clock.h"

#include <chrono>

namespace tk {
namespace {

class SteadyClock final : public RunClock {
 public:
  std::uint32_t TickMs() override {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    // Truncation is the point: callers subtract ticks as unsigned 32-bit numbers.
    return static_cast<std::uint32_t>(ms.count());
  }
  std::tm LocalTime() override {
    std::time_t now = std::time(nullptr);
    std::tm out{};
    localtime_r(&now, &out);
    return out;
  }
};

}  // namespace

RunClock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace tk

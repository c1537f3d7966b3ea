#pragma once
// Time as a run sees it: a wrapping 32-bit millisecond tick and the local wall clock.
#include <cstdint>
#include <ctime>

namespace tk {

class RunClock {
 public:
  virtual ~RunClock() = default;
  virtual std::uint32_t TickMs() = 0;
  virtual std::tm LocalTime() = 0;
};

RunClock& SystemClock();

}  // namespace tk

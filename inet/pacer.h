#pragma once
// What a session keeps to between its transfers, so that a server sees the run's requests no
// closer together and no faster than the user asked for: a gap from the end of one transfer to
// the start of the next, and a rate the bytes received over the whole session keep under.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tk::inet::detail {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;
  // `rate`: bytes per second; 0 for none.
  Pacer(std::chrono::milliseconds gap, std::int64_t rate) : m_gap(gap), m_rate(rate) {}

  bool Active() const { return m_gap.count() > 0 || m_rate > 0; }
  // When the next transfer may start: at once for the session's first. A transfer cut short
  // of its rate (libcurl lets a small body in at full speed) is paid for by the next one's start.
  Clock::time_point NextStart() const;
  void NoteStart();
  // A transfer has ended (received whole, failed, or given up) with `bytes` received.
  void NoteEnd(std::uint64_t bytes);

 private:
  const std::chrono::milliseconds m_gap;
  const std::int64_t m_rate;
  mutable std::mutex m_mutex;
  std::optional<Clock::time_point> m_firstStart;
  std::optional<Clock::time_point> m_lastEnd;
  std::uint64_t m_bytes = 0;
};

}  // namespace tk::inet::detail

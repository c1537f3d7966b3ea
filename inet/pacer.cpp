#include "inet/pacer.h"

#include <algorithm>

namespace tk::inet::detail {

Pacer::Clock::time_point Pacer::NextStart() const {
  std::lock_guard lock(m_mutex);
  Clock::time_point next;
  if (m_gap.count() > 0 && m_lastEnd) next = *m_lastEnd + m_gap;
  if (m_rate > 0 && m_firstStart) {
    const std::chrono::duration<double> owed(static_cast<double>(m_bytes) / static_cast<double>(m_rate));
    next = std::max(next, *m_firstStart + std::chrono::duration_cast<Clock::duration>(owed));
  }
  return next;
}

void Pacer::NoteStart() {
  if (!Active()) return;
  std::lock_guard lock(m_mutex);
  if (!m_firstStart) m_firstStart = Clock::now();
}

void Pacer::NoteEnd(std::uint64_t bytes) {
  if (!Active()) return;
  std::lock_guard lock(m_mutex);
  m_lastEnd = Clock::now();
  m_bytes += bytes;
}

}  // namespace tk::inet::detail

#include "monitor/display_feed.h"

#include <utility>

namespace tk {

void DisplayFeed::ClearLog() {
  std::lock_guard lock(m_mutex);
  m_pending.clearLog = true;
  m_pending.log.clear();
}

void DisplayFeed::AppendLog(std::string_view text) {
  std::lock_guard lock(m_mutex);
  m_pending.log.append(text);
}

void DisplayFeed::BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText,
                            std::uint32_t tick) {
  std::lock_guard lock(m_mutex);
  // The files begun and ended since the last take never reach the screen: only the latest shows.
  m_pending.transfer = DisplayUpdate::Transfer::NewFile;
  m_pending.url = url;
  m_pending.localName = localName;
  m_pending.sizeText = sizeText;
  m_pending.beginTick = tick;
  m_pending.bytes = 0;
}

void DisplayFeed::AddBytes(std::int64_t count, std::uint32_t tick) {
  std::lock_guard lock(m_mutex);
  m_pending.bytes += count;
  m_pending.bytesTick = tick;
}

void DisplayFeed::ShowCounts(const RunCounters& counts) {
  std::lock_guard lock(m_mutex);
  m_pending.counts = true;
  m_pending.counters = counts;
}

void DisplayFeed::EndTransfers() {
  std::lock_guard lock(m_mutex);
  m_pending.transfer = DisplayUpdate::Transfer::Ended;
  m_pending.bytes = 0;
}

DisplayUpdate DisplayFeed::Take(bool all) {
  DisplayUpdate taken;
  std::lock_guard lock(m_mutex);
  std::swap(taken, m_pending);
  if (!all && !taken.log.empty() && taken.log.back() == '\r') {
    m_pending.log = "\r";
    taken.log.pop_back();
  }
  return taken;
}

}  // namespace tk

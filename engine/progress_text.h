#pragma once
// The arithmetic and texts of the transfer display, shared by every front end.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_state.h"

namespace tk {

// The size text of BeginFile read as a decimal number; 0 when empty or not a number.
std::int64_t ParseSizeText(std::string_view sizeText);

// "%7d/%s": bytes so far, then the total or "???" when it is unknown (0).
std::string FormatByteProgress(std::int64_t fileBytes, std::int64_t fileTotal);

// "%.2fKB/S" of bytes per millisecond; empty during the first second.
std::string FormatRate(std::int64_t fileBytes, std::uint32_t elapsedMs);

// 0..100, without overflow for any 64-bit size; 0 when the total is unknown.
int ProgressPercent(std::int64_t fileBytes, std::int64_t fileTotal);

// The counters line under the display's heading.
std::string FormatCounts(const RunCounters& counts);

// One file's progress as the display tracks it, on a wrapping 32-bit millisecond tick.
class FileProgress {
 public:
  void Begin(std::string_view sizeText, std::uint32_t tick);
  void Add(std::int64_t count) { m_bytes += count; }
  std::int64_t Bytes() const { return m_bytes; }
  std::int64_t Total() const { return m_total; }
  std::string ByteText() const { return FormatByteProgress(m_bytes, m_total); }
  std::string RateText(std::uint32_t tick) const { return FormatRate(m_bytes, tick - m_startTick); }
  int Percent() const { return ProgressPercent(m_bytes, m_total); }

 private:
  std::int64_t m_total = 0;
  std::int64_t m_bytes = 0;
  std::uint32_t m_startTick = 0;
};

}  // namespace tk

#include "engine/progress_text.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace tk {

std::int64_t ParseSizeText(std::string_view sizeText) {
  std::string text(sizeText);
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  return end == text.c_str() ? 0 : value;
}

std::string FormatByteProgress(std::int64_t fileBytes, std::int64_t fileTotal) {
  char buf[64];
  std::string total = fileTotal == 0 ? std::string("???") : std::to_string(fileTotal);
  std::snprintf(buf, sizeof buf, "%7" PRId64 "/", fileBytes);
  return buf + total;
}

std::string FormatRate(std::int64_t fileBytes, std::uint32_t elapsedMs) {
  if (elapsedMs <= 1000) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2fKB/S", static_cast<double>(fileBytes) / elapsedMs);
  return buf;
}

int ProgressPercent(std::int64_t fileBytes, std::int64_t fileTotal) {
  if (fileTotal <= 0 || fileBytes <= 0) return 0;
  if (fileBytes >= fileTotal) return 100;
  // Exact for any 64-bit size: the product is formed in 128 bits.
  __extension__ using Wide = __int128;
  return static_cast<int>(static_cast<Wide>(fileBytes) * 100 / fileTotal);
}

std::string FormatCounts(const RunCounters& c) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "\t\t\t%8" PRId64 "\t\t%16" PRId64 "\t\t%8" PRId64 "\t\t\t%16" PRId64,
                c.FilesDownloaded, c.Errors, c.FilesSkipped, c.BytesDownloaded);
  return buf;
}

void FileProgress::Begin(std::string_view sizeText, std::uint32_t tick) {
  m_total = ParseSizeText(sizeText);
  if (m_total < 0) m_total = 0;
  m_bytes = 0;
  m_startTick = tick;
}

}  // namespace tk

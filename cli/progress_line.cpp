#include "cli/progress_line.h"

#include <cstdio>

#include "cli/terminal_text.h"
#include "engine/progress_text.h"

namespace tk::cli {
namespace {

std::string Counted(std::int64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// Below this many columns for the name, the line shows no name rather than a stub of one.
constexpr std::size_t kShortestName = 8;

}  // namespace

std::string ByteSizeText(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f %s", value, kUnits[unit]);
  return buffer;
}

std::string ProgressLine(const RunProgress& p, std::size_t columns) {
  const RunCounters& c = p.counts;
  // The bytes of the file in transfer count as soon as they arrive, so the figure never stalls
  // through a long file.
  const std::int64_t bytes = c.BytesDownloaded + p.fileBytes;
  std::string line = Counted(c.FilesDownloaded, "file", "files");
  if (c.Errors) line += ", " + Counted(c.Errors, "error", "errors");
  if (c.FilesSkipped) line += ", " + Counted(c.FilesSkipped, "skipped", "skipped");
  line += ", " + ByteSizeText(bytes);
  // No rate before a second has passed: it would only jump about.
  if (p.runMs >= 1000)
    line += ", " + ByteSizeText(static_cast<std::int64_t>(static_cast<double>(bytes) * 1000 / p.runMs)) + "/s";
  // A terminal too narrow even for the figures gets what fits, never a line that wraps.
  if (columns > 0 && DisplayWidth(line) >= columns) return ShortenMiddle(line, columns - 1);
  if (p.name.empty()) return line;
  const std::string file = p.fileTotal > 0 ? " " + std::to_string(ProgressPercent(p.fileBytes, p.fileTotal)) + "%"
                                           : " " + ByteSizeText(p.fileBytes);
  // One column stays free: a line that fills the last one wraps on some terminals.
  const std::size_t used = DisplayWidth(line) + 2 + DisplayWidth(file) + 1;
  if (columns < used + kShortestName) return line;
  return line + "  " + ShortenMiddle(p.name, columns - used) + file;
}

}  // namespace tk::cli

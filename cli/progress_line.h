#pragma once
// The one line a terminal shows while a run goes on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_state.h"

namespace tk::cli {

struct RunProgress {
  RunCounters counts;            // as the run last showed them
  std::int64_t fileBytes = 0;    // of the file in transfer
  std::int64_t fileTotal = 0;    // its announced size, 0 when unknown
  std::uint32_t runMs = 0;       // since the run began
  std::string_view name;         // the file in transfer, already safe for a terminal
};

// "12 files, 1 error, 3.4 MB, 512.0 KB/s  docs/_sta…index.js 45%": the whole run first, then the
// current file, its name cut in the middle so that the line stays under `columns`.
std::string ProgressLine(const RunProgress& progress, std::size_t columns);

// "512 B", "3.4 KB", "1.2 MB"... in powers of 1024.
std::string ByteSizeText(std::int64_t bytes);

}  // namespace tk::cli

#include "engine/default_save_dir.h"

#include <filesystem>

namespace tk {

std::string DefaultSaveDir(const std::string& home, const std::tm& day) {
  char date[16];
  std::strftime(date, sizeof date, "%Y%m%d", &day);
  std::string base = (std::filesystem::path(home) / "TrawlFiles" / date).string();
  std::error_code ec;
  std::string candidate = base;
  // Bounded by the number of folders that exist; each one is looked at once.
  for (int n = 1; std::filesystem::exists(candidate, ec); ++n) candidate = base + "(" + std::to_string(n) + ")";
  return candidate;
}

}  // namespace tk

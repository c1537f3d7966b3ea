#include "settings/app_ini.h"

#include <cstdlib>

#include "base/home_folder.h"

namespace tk {

std::filesystem::path AppIniPath() {
  std::filesystem::path base;
  // The XDG rules ignore a relative value.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    base = xdg;
  else if (const std::string home = HomeFolder(); !home.empty())
    base = std::filesystem::path(home) / ".config";
  else
    return {};  // no settings rather than settings in a folder that is not the user's
  return base / "trawlkit" / "Trawlkit.ini";
}

void EnsureAppIniFolder() {
  std::error_code ec;
  std::filesystem::create_directories(AppIniPath().parent_path(), ec);
}

}  // namespace tk

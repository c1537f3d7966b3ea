#include "settings/app_ini.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tk {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

}  // namespace

std::filesystem::path AppIniPath() {
  std::filesystem::path base;
  // The XDG rules ignore a relative value.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    base = xdg;
  else
    base = HomeFolder() / ".config";
  return base / "trawlkit" / "Trawlkit.ini";
}

void EnsureAppIniFolder() {
  std::error_code ec;
  std::filesystem::create_directories(AppIniPath().parent_path(), ec);
}

}  // namespace tk

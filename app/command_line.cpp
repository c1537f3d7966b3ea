#include "app/command_line.h"

#include <cstdlib>
#include <ostream>

namespace tk {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// The toolkit finds its window system through these; with none of them it can only abort.
bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM"); }

}  // namespace

std::optional<int> HandleCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      out << "Usage: trawlkit [PROJECT.tkp]\n"
             "Copies web and FTP sites for offline reading, in a wizard.\n"
             "  PROJECT.tkp   open this project file\n"
             "  -h, --help    show this help and exit\n"
             "      --version show the version and exit\n"
             "Without a display, use trawlkit-cli.\n";
      return 0;
    }
    if (arg == "--version") {
      out << "trawlkit " TRAWLKIT_VERSION "\n";
      return 0;
    }
  }
  if (!HasDisplay()) {
    err << "trawlkit: no display found (DISPLAY and WAYLAND_DISPLAY are unset); "
           "start it in a desktop session, or use trawlkit-cli.\n";
    return 1;
  }
  return std::nullopt;
}

}  // namespace tk

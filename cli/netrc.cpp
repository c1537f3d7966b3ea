#include "cli/netrc.h"

#include <sstream>

#include "base/text.h"
#include "settings/ini_file.h"

namespace tk::cli {

std::optional<Credentials> NetrcLookup(std::string_view text, std::string_view host) {
  std::istringstream in{std::string(text)};
  std::optional<Credentials> match, fallback;
  std::optional<Credentials>* current = nullptr;
  Credentials ignored;
  Credentials* entry = &ignored;
  std::string token;
  while (in >> token) {
    if (token == "machine" || token == "default") {
      std::string name;
      if (token == "machine" && !(in >> name)) break;
      current = token == "default" ? &fallback : (EqualsNoCase(name, host) && !match ? &match : nullptr);
      if (current) {
        *current = Credentials{};
        entry = &**current;
      } else {
        entry = &ignored;
      }
    } else if (token == "login") {
      in >> entry->User;
    } else if (token == "password") {
      in >> entry->Password;
    } else if (token == "account") {
      in >> token;
    } else if (token == "macdef") {
      // A macro runs to the next empty line.
      std::string line;
      std::getline(in, line);
      while (std::getline(in, line) && !line.empty()) {
      }
    }
  }
  return match ? match : fallback;
}

std::string ReadNetrcFile(const std::filesystem::path& path) {
  std::optional<std::string> text = ReadRegularFile(path, kMaxNetrcBytes);
  return text ? std::move(*text) : std::string();
}

}  // namespace tk::cli

#include "engine/redirect_location.h"

#include <cctype>

namespace tk {
namespace {

bool HasScheme(std::string_view s) {
  std::size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

bool FindLocation(std::string_view rawHeaders, std::string& location) {
  constexpr std::string_view kName = "Location: ";
  std::size_t at = rawHeaders.find(kName);
  if (at == std::string_view::npos) return false;
  std::string_view rest = rawHeaders.substr(at + kName.size());
  location.assign(rest.substr(0, rest.find_first_of("\r\n")));
  return true;
}

std::string ResolveLocation(std::string_view host, int port, std::string_view object, std::string_view location,
                            std::string_view scheme) {
  if (HasScheme(location)) return std::string(location);
  if (location.substr(0, 2) == "//") return std::string(scheme).append(":").append(location);
  std::string origin = std::string(scheme) + "://";
  origin += host;
  if (port != (scheme == "https" ? 443 : 80)) {
    origin += ':';
    origin += std::to_string(port);
  }
  std::string_view path = object.substr(0, object.find_first_of("?#"));
  if (location.empty()) return origin + std::string(object.substr(0, object.find('#')));
  if (location[0] == '/') return origin + std::string(location);
  if (location[0] == '?') return origin + std::string(path) + std::string(location);
  if (location[0] == '#') return origin + std::string(object.substr(0, object.find('#'))) + std::string(location);
  // The parser removes the "." and ".." segments this may leave.
  std::string_view folder = path.substr(0, path.rfind('/') + 1);
  if (folder.empty()) folder = "/";
  return origin + std::string(folder) + std::string(location);
}

}  // namespace tk

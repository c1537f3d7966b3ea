#include "engine/redirect_location.h"

#include <cctype>

#include "base/text.h"

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
  // Field names are case-insensitive and the blanks after the colon optional; only a whole
  // name counts, so "Content-Location" is no redirect target.
  for (std::size_t start = 0; start < rawHeaders.size();) {
    std::size_t end = rawHeaders.find('\n', start);
    if (end == std::string_view::npos) end = rawHeaders.size();
    std::string_view line = rawHeaders.substr(start, end - start);
    start = end + 1;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(line.substr(0, colon), "Location")) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
      value.remove_suffix(1);
    location.assign(value);
    return true;
  }
  return false;
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

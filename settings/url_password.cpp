#include "settings/url_password.h"

namespace tk {

std::optional<PasswordSpan> FindPassword(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::nullopt;
  const std::size_t from = scheme + 3;
  std::size_t end = url.find_first_of("/?#", from);
  if (end == std::string_view::npos) end = url.size();
  // The last "@" of the authority ends the user part, as the URL parser reads it.
  const std::size_t at = url.substr(0, end).rfind('@');
  if (at == std::string_view::npos || at < from) return std::nullopt;
  const std::size_t colon = url.substr(0, at).find(':', from);
  if (colon == std::string_view::npos) return std::nullopt;
  return PasswordSpan{colon, at};
}

std::string WithoutPassword(std::string_view url) {
  const std::optional<PasswordSpan> password = FindPassword(url);
  if (!password) return std::string(url);
  std::string out(url.substr(0, password->colon));
  out.append(url.substr(password->at));
  return out;
}

}  // namespace tk

#include "links/resolve_link.h"

#include "base/text.h"
#include "inet/inet.h"
#include "links/link_tag_table.h"

namespace tk {
namespace {

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSchemeChar(char c) {
  return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The scheme of an absolute reference ("mailto", "https"...), or "" for a relative one. A colon
// later in the path or query ("page.php?t=a:b") does not make a scheme.
std::string_view SchemeOf(std::string_view value) {
  if (value.empty() || !IsAsciiAlpha(value.front())) return {};
  std::size_t i = 1;
  while (i < value.size() && IsSchemeChar(value[i])) ++i;
  if (i < value.size() && value[i] == ':') return value.substr(0, i);
  return {};
}

// "scheme://host[:port]" followed by the given pieces, built in one allocation.
std::string PageUrl(std::string_view scheme, std::string_view host, int port, std::string_view a,
                    std::string_view b = {}, std::string_view c = {}) {
  const int defaultPort = scheme == "https" ? 443 : 80;
  const std::string portText = port > 0 && port != defaultPort ? ":" + std::to_string(port) : std::string();
  std::string url;
  url.reserve(scheme.size() + 3 + host.size() + portText.size() + a.size() + b.size() + c.size());
  url.append(scheme).append("://").append(host).append(portText).append(a).append(b).append(c);
  return url;
}

}  // namespace

std::string ResolveLink(std::string_view value, std::string_view host, int port,
                        std::string_view object, std::string_view scheme, bool https) {
  if (value.empty() || value.front() == '#') return {};
  const std::string_view valueScheme = SchemeOf(value);
  if (!valueScheme.empty()) {
    const bool takesHttps = https && EqualsNoCase(valueScheme, "https");
    if (!EqualsNoCase(valueScheme, "http") && !EqualsNoCase(valueScheme, "ftp") && !takesHttps)
      return {};
    const auto url = inet::ParseUrl(value);
    const bool fetchable = url && (url->service == inet::Service::Http || url->service == inet::Service::Ftp ||
                                   (takesHttps && url->service == inet::Service::Https));
    return fetchable ? std::string(value) : std::string();
  }
  // A network-path reference names another host over the page's own scheme.
  if (value.starts_with("//")) return std::string(scheme) + ":" + std::string(value);
  if (value.front() == '/') return PageUrl(scheme, host, port, value);

  // The folder is searched for in the path only: a "/" inside the page's query is no folder.
  const std::string_view path = object.substr(0, object.find('?'));
  const std::string_view root = path.empty() || path.front() != '/' ? "/" : "";
  // "?page=2" replaces the query of the page itself, not of its folder.
  if (value.front() == '?') return PageUrl(scheme, host, port, root, path, value);
  const std::size_t slash = path.rfind('/');
  const std::string_view folder = slash == std::string_view::npos ? "" : path.substr(0, slash + 1);
  if (folder.empty()) return PageUrl(scheme, host, port, "/", value);
  return PageUrl(scheme, host, port, root, folder, value);
}

}  // namespace tk

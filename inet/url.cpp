#include "inet/url.h"

#include <cctype>
#include <charconv>

#include "base/percent.h"
#include "base/text.h"

namespace tk::inet {
namespace {

bool IsSchemeStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSchemeChar(char c) {
  return IsSchemeStart(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Bytes a browser would never keep raw in a path: they are what libcurl refuses as well.
bool IsUnsafe(unsigned char c) { return c <= 0x20 || c >= 0x7f; }

// Surrounding blanks are never part of a URL typed or dropped by a user.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

// "host", "host:port", "[v6]:port". False when the port is not a number in 1..65535.
bool SplitHostPort(std::string_view hostport, std::string& host, int& port) {
  std::size_t colon = std::string_view::npos;
  if (!hostport.empty() && hostport.front() == '[') {
    std::size_t close = hostport.find(']');
    if (close == std::string_view::npos) return false;
    if (close + 1 < hostport.size()) {
      if (hostport[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = hostport.rfind(':');
  }
  host = std::string(hostport.substr(0, colon));
  if (colon == std::string_view::npos) return true;
  std::string_view digits = hostport.substr(colon + 1);
  if (digits.empty()) return true;  // "host:" means the default port, as browsers read it
  if (digits.size() > 5) return false;
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return false;
  if (value < 1 || value > 65535) return false;
  port = value;
  return true;
}

}  // namespace

int DefaultPort(std::string_view scheme) {
  if (scheme == "http") return 80;
  if (scheme == "ftp") return 21;
  if (scheme == "https") return 443;
  if (scheme == "gopher") return 70;
  return 0;
}

std::string PercentEncodeUnsafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendPercentEncoded(out, text, IsUnsafe);
  return out;
}

std::string EncodeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto encode = [&out](unsigned char c) { AppendPercentEscape(out, c); };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      encode(c);
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += text[i++];
      continue;
    }
    // The length of a well-formed UTF-8 sequence starting here, or 0.
    std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (i + len > text.size()) len = 0;
    for (std::size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) len = 0;
    if (len == 3) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0)) len = 0;  // overlong, surrogate
    } else if (len == 4) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90)) len = 0;
    }
    const bool c1Control = len == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (len == 0 || c1Control) {
      // A lone byte goes alone; a C1 control goes whole, both of its bytes.
      const std::size_t n = c1Control ? 2 : 1;
      for (std::size_t k = 0; k < n; ++k) encode(static_cast<unsigned char>(text[i + k]));
      i += n;
      continue;
    }
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (const int byte = PercentEscapeAt(text, i); byte >= 0) {
      out += static_cast<char>(byte);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string RemoveDotSegments(std::string_view path) {
  // Segments are kept on a stack; a trailing "." or ".." leaves the path ending in "/", so
  // "/a/b/.." names the folder "/a/", as a browser resolves it.
  std::string out;
  std::size_t i = 0;
  while (i < path.size()) {
    std::size_t start = (path[i] == '/') ? i + 1 : i;
    std::size_t end = path.find('/', start);
    bool last = end == std::string_view::npos;
    if (last) end = path.size();
    std::string_view seg = path.substr(start, end - start);
    if (seg == ".") {
      if (last) out += '/';
    } else if (seg == "..") {
      std::size_t cut = out.rfind('/');
      out.erase(cut == std::string::npos ? 0 : cut);
      if (last) out += '/';
    } else {
      out += '/';
      out += seg;
    }
    i = end;
  }
  // push_back rather than assigning "/": GCC 12 misreads the assignment at -O2 (-Wrestrict).
  if (out.empty()) out.push_back('/');
  return out;
}

std::string WireObject(std::string_view object) {
  std::size_t hash = object.find('#');
  if (hash != std::string_view::npos) object = object.substr(0, hash);
  std::string out = PercentEncodeUnsafe(object);
  if (out.empty() || out.front() != '/') out.insert(out.begin(), '/');
  return out;
}

std::optional<Url> ParseUrl(std::string_view text) {
  text = Trim(text);
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || !IsSchemeStart(text[0])) return std::nullopt;
  for (std::size_t i = 1; i < colon; ++i)
    if (!IsSchemeChar(text[i])) return std::nullopt;

  Url url;
  for (std::size_t i = 0; i < colon; ++i) url.scheme += AsciiLower(text[i]);
  if (url.scheme == "http")
    url.service = Service::Http;
  else if (url.scheme == "ftp")
    url.service = Service::Ftp;
  else if (url.scheme == "https")
    url.service = Service::Https;
  url.port = DefaultPort(url.scheme);

  std::string_view rest = text.substr(colon + 1);
  if (rest.substr(0, 2) != "//") return std::nullopt;  // no authority, so no host
  rest.remove_prefix(2);

  std::size_t authEnd = rest.find_first_of("/?#");
  if (authEnd == std::string_view::npos) authEnd = rest.size();
  std::string_view authority = rest.substr(0, authEnd);
  std::string_view tail = rest.substr(authEnd);

  std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    std::string_view userinfo = authority.substr(0, at);
    std::size_t sep = userinfo.find(':');
    url.user = PercentDecode(userinfo.substr(0, sep));
    if (sep != std::string_view::npos) url.password = PercentDecode(userinfo.substr(sep + 1));
    authority = authority.substr(at + 1);
  }
  if (!SplitHostPort(authority, url.host, url.port)) return std::nullopt;
  if (url.host.empty() || url.host == "[]") return std::nullopt;
  for (char c : url.host)
    if (IsUnsafe(static_cast<unsigned char>(c))) return std::nullopt;

  std::size_t pathEnd = tail.find_first_of("?#");
  if (pathEnd == std::string_view::npos) pathEnd = tail.size();
  std::string path = PercentEncodeUnsafe(tail.substr(0, pathEnd));
  if (path.empty()) path.push_back('/');
  url.object = RemoveDotSegments(path);
  // Query and fragment keep their text, but never a byte that could drive a terminal or forge a
  // log line.
  std::string_view after = tail.substr(pathEnd);
  // An empty query asks for nothing more than no query does ("font.eot?#iefix" is font.eot):
  // one file, one request, one name.
  if (after.size() >= 1 && after[0] == '?' && (after.size() == 1 || after[1] == '#')) after.remove_prefix(1);
  url.object += EncodeControls(after);
  return url;
}

}  // namespace tk::inet

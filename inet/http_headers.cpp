#include "inet/http_headers.h"

#include <charconv>

#include "base/text.h"

namespace tk::inet {

namespace {
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool ParseU64(std::string_view s, std::uint64_t& v) {
  if (s.empty()) return false;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}
}  // namespace

std::string WithUsualNameCase(std::string_view line) {
  std::string out(line);
  const std::size_t colon = out.find(':');
  bool wordStart = true;
  for (std::size_t i = 0; i < out.size() && i < colon; ++i) {
    char& c = out[i];
    if (wordStart) c = AsciiUpper(c);
    wordStart = c == '-';
  }
  return out;
}

std::string FindHeader(const std::vector<std::string>& lines, std::string_view name) {
  std::string want = AsciiLower(name);
  for (const auto& line : lines) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (AsciiLower(TrimBlanks(std::string_view(line).substr(0, colon))) != want) continue;
    return std::string(TrimBlanks(std::string_view(line).substr(colon + 1)));
  }
  return {};
}

std::vector<std::string> SplitHeaderLines(std::string_view raw) {
  std::vector<std::string> lines;
  while (!raw.empty()) {
    std::size_t nl = raw.find('\n');
    std::string_view line = raw.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(line);
    if (nl == std::string_view::npos) break;
    raw.remove_prefix(nl + 1);
  }
  return lines;
}

bool IsSetCookie(std::string_view line) {
  constexpr std::string_view kName = "set-cookie:";
  return line.size() >= kName.size() && AsciiLower(line.substr(0, kName.size())) == kName;
}

std::string WithoutSetCookie(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  while (!raw.empty()) {
    const std::size_t nl = raw.find('\n');
    const std::size_t end = nl == std::string_view::npos ? raw.size() : nl + 1;
    if (!IsSetCookie(raw.substr(0, end))) out.append(raw.substr(0, end));
    raw.remove_prefix(end);
  }
  return out;
}

std::int64_t ParseLength(std::string_view text) {
  std::uint64_t v = 0;
  if (!ParseU64(TrimBlanks(text), v) || v > static_cast<std::uint64_t>(INT64_MAX)) return -1;
  return static_cast<std::int64_t>(v);
}

bool ParseContentRange(std::string_view text, std::uint64_t& first, std::uint64_t& total) {
  text = TrimBlanks(text);
  if (text.substr(0, 6) != "bytes ") return false;
  text.remove_prefix(6);
  std::size_t dash = text.find('-');
  std::size_t slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
    return false;
  std::uint64_t last = 0;
  if (!ParseU64(text.substr(0, dash), first)) return false;
  if (!ParseU64(text.substr(dash + 1, slash - dash - 1), last) || last < first) return false;
  std::string_view t = text.substr(slash + 1);
  if (t == "*") {
    total = 0;
    return true;
  }
  return ParseU64(t, total) && total > last;
}

}  // namespace tk::inet

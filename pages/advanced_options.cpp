#include "pages/advanced_options.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "base/text.h"

namespace tk {
namespace {

constexpr long long kMaxBytes = 1LL << 50;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// A plain decimal as the C locale writes it: no sign, no exponent, no "inf" or "nan".
std::optional<double> ReadDecimal(std::string_view text) {
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
    return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

long long SuffixFactor(char suffix) {
  switch (AsciiLower(suffix)) {
    case 'k': return 1LL << 10;
    case 'm': return 1LL << 20;
    case 'g': return 1LL << 30;
    default: return 0;
  }
}

}  // namespace

AdvancedOptions AdvancedOptions::From(const ProjectSettings& p) {
  AdvancedOptions o;
  o.Robots = p.Robots != 0;
  o.WaitSeconds = p.WaitSeconds;
  o.LimitRate = p.LimitRate;
  o.Connections = p.Connections;
  o.UserAgent = p.UserAgent;
  o.LoadCookies = p.LoadCookies;
  o.IncludeUrls = p.IncludeUrls;
  o.ExcludeUrls = p.ExcludeUrls;
  o.MaxSize = p.MaxSize;
  o.TimeoutSeconds = p.TimeoutSeconds;
  o.Tries = p.Tries;
  return o;
}

void AdvancedOptions::ApplyTo(ProjectSettings& p) const {
  p.Robots = Robots ? 1 : 0;
  p.WaitSeconds = WaitSeconds;
  p.LimitRate = LimitRate;
  p.Connections = Connections;
  p.UserAgent = UserAgent;
  p.LoadCookies = LoadCookies;
  p.IncludeUrls = IncludeUrls;
  p.ExcludeUrls = ExcludeUrls;
  p.MaxSize = MaxSize;
  p.TimeoutSeconds = TimeoutSeconds;
  p.Tries = Tries;
}

std::optional<double> ReadSeconds(std::string_view text) {
  const auto value = ReadDecimal(Trimmed(text));
  if (!value || *value > kMaxSeconds) return std::nullopt;
  return value;
}

std::optional<int> ReadCount(std::string_view text, int low, int high) {
  text = Trimmed(text);
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<long long> ReadByteCount(std::string_view text, std::string_view suffixes) {
  text = Trimmed(text);
  if (text.empty()) return 0;
  long long factor = 1;
  const char last = AsciiLower(text.back());
  if (suffixes.find(last) != std::string_view::npos) {
    factor = SuffixFactor(last);
    text.remove_suffix(1);
  }
  const auto value = ReadDecimal(text);
  if (!value || *value * static_cast<double>(factor) > static_cast<double>(kMaxBytes)) return std::nullopt;
  return std::llround(*value * static_cast<double>(factor));
}

std::string SecondsText(double seconds) {
  char buffer[64];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, ptr) : "0";
}

std::string ByteCountText(long long bytes, std::string_view suffixes) {
  if (bytes <= 0) return {};
  for (auto it = suffixes.rbegin(); it != suffixes.rend(); ++it) {
    const long long factor = SuffixFactor(*it);
    if (factor && bytes % factor == 0) return std::to_string(bytes / factor) + AsciiLower(*it);
  }
  return std::to_string(bytes);
}

std::vector<std::string> PatternLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string PatternText(const std::vector<std::string>& patterns) {
  std::string text;
  for (const std::string& p : patterns) {
    if (!text.empty()) text += '\n';
    text += p;
  }
  return text;
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  return false;
}

}  // namespace tk

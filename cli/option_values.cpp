#include "cli/option_values.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "base/text.h"
#include "settings/project.h"

namespace tk::cli {
namespace {

constexpr double kMaxSeconds = 24 * 60 * 60;
// Far beyond any disk or line, and still exact as a double and safe to multiply.
constexpr double kMaxBytes = 1e15;

// A plain decimal: digits with at most one point, no sign, exponent, "inf" or "nan", which
// from_chars would take but no user means.
std::optional<double> PlainDecimal(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
      text.find_first_of("0123456789") == std::string_view::npos)
    return std::nullopt;
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> ParseSeconds(std::string_view text, bool zeroAllowed, std::string& why) {
  why = zeroAllowed ? "give seconds from 0 to 86400, e.g. 0.5" : "give seconds above 0 and up to 86400, e.g. 30";
  const std::optional<double> value = PlainDecimal(text);
  if (!value || *value > kMaxSeconds || (!zeroAllowed && *value <= 0)) return std::nullopt;
  return value;
}

std::optional<long long> ParseByteSize(std::string_view text, std::string_view suffixes, std::string& why) {
  why = suffixes.find('g') != std::string_view::npos ? "give bytes, or a number with k, m or g, e.g. 500k"
                                                     : "give bytes per second, or a number with k or m, e.g. 200k";
  double scale = 1;
  if (!text.empty() && suffixes.find(AsciiLower(text.back())) != std::string_view::npos) {
    const char unit = AsciiLower(text.back());
    scale = unit == 'k' ? 1024.0 : unit == 'm' ? 1024.0 * 1024 : 1024.0 * 1024 * 1024;
    text.remove_suffix(1);
  }
  const std::optional<double> value = PlainDecimal(text);
  if (!value || *value * scale > kMaxBytes) return std::nullopt;
  return static_cast<long long>(std::ceil(*value * scale));
}

std::optional<int> ParseCount(std::string_view text, int low, int high, std::string& why) {
  why = "give a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseLayers(std::string_view text, std::string& why) {
  if (EqualsNoCase(text, "inf")) return -1;
  // Stricter than the wizard's field: a stray letter on a command line is more likely a typo.
  const std::optional<int> layers = ParseCount(text, 0, kMaxLinkLayers, why);
  why = "give 0 to 10 layers, or inf for no limit";
  return layers;
}

std::string ExcludeTypesFromText(std::string_view text) {
  std::string types;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && std::string_view(", \t;.").find(text[i]) == std::string_view::npos) continue;
    std::string_view piece = text.substr(start, i - start);
    while (piece.starts_with('*')) piece.remove_prefix(1);
    if (!piece.empty()) types += "." + AsciiLower(piece);
    start = i + 1;
  }
  return types;
}

std::string WithDefaultScheme(std::string_view text) {
  // "scheme:" followed by anything but a port number is a scheme already, known or not:
  // "mailto:me@h" is no host "h", while "localhost:8080/" is a host and its port.
  const std::size_t colon = text.find(':');
  const bool schemeChars = colon != std::string_view::npos && colon > 0 &&
                           std::isalpha(static_cast<unsigned char>(text[0])) &&
                           text.substr(0, colon).find_first_not_of(
                               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+.-") ==
                               std::string_view::npos;
  if (schemeChars && (colon + 1 == text.size() || !std::isdigit(static_cast<unsigned char>(text[colon + 1]))))
    return std::string(text);
  std::string_view host = text.substr(0, text.find_first_of("/?#"));
  if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  return (host.size() > 4 && EqualsNoCase(host.substr(0, 4), "ftp.") ? "ftp://" : "http://") + std::string(text);
}

}  // namespace tk::cli

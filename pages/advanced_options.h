#pragma once
// The settings of the advanced-settings dialog as the options page holds them between Refresh and
// Next, and the readings of the texts the user types for them. Free of Qt, so the readings are
// plain functions.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/project.h"

namespace tk {

struct AdvancedOptions {
  bool Robots = true;
  double WaitSeconds = 0;
  long long LimitRate = 0;
  int Connections = kMaxConnections;
  std::string UserAgent;
  std::string LoadCookies;
  std::vector<std::string> IncludeUrls;
  std::vector<std::string> ExcludeUrls;
  long long MaxSize = 0;
  double TimeoutSeconds = 60;
  int Tries = 3;

  static AdvancedOptions From(const ProjectSettings& project);
  void ApplyTo(ProjectSettings& project) const;
  bool operator==(const AdvancedOptions&) const = default;
};

// Limits of what the dialog takes; a value outside them is an input error.
inline constexpr double kMaxSeconds = 86400;  // a day, for the wait and the time-out
inline constexpr int kMinTries = 1;

// A count of seconds: a decimal with "." ("0.5", "2"), blanks around it allowed; 0 to kMaxSeconds.
std::optional<double> ReadSeconds(std::string_view text);
// A whole number within [low, high], blanks around it allowed.
std::optional<int> ReadCount(std::string_view text, int low, int high);
// A byte count: a decimal with an optional suffix from `suffixes` (of "kmg", either case; k is
// 1024). Empty means 0, no limit. Nothing past 2^50 bytes.
std::optional<long long> ReadByteCount(std::string_view text, std::string_view suffixes);

// The shortest text ReadSeconds reads back as `seconds` ("0.5", "60").
std::string SecondsText(double seconds);
// `bytes` with the largest of `suffixes` that divides it ("200k"); empty for 0.
std::string ByteCountText(long long bytes, std::string_view suffixes);

// The non-blank lines of a multi-line field, each trimmed of blanks; one pattern a line.
std::vector<std::string> PatternLines(std::string_view text);
std::string PatternText(const std::vector<std::string>& patterns);

// True when `text` holds a control character, which no HTTP header value may carry.
bool HasControlCharacter(std::string_view text);

}  // namespace tk

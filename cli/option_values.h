#pragma once
// The values of trawlkit-cli's options read as a wget user types them. Each reader gives nullopt
// and an English `why` (what is expected, for the message that names the option) when refused.
#include <optional>
#include <string>
#include <string_view>

namespace tk::cli {

// Seconds as a decimal ("0.5", "2"), from `low` (0 allowed when `zeroAllowed`) up to a day.
std::optional<double> ParseSeconds(std::string_view text, bool zeroAllowed, std::string& why);

// Bytes as a decimal with an optional binary suffix among `suffixes` ("km" or "kmg"; k = 1024),
// e.g. "200k", "1.5m". 0 stays 0 (no limit); anything between 0 and 1 byte is 1 byte.
std::optional<long long> ParseByteSize(std::string_view text, std::string_view suffixes, std::string& why);

// A whole number from `low` to `high`.
std::optional<int> ParseCount(std::string_view text, int low, int high, std::string& why);

// The layer count: 0..10, or "inf" for no limit (returned as -1).
std::optional<int> ParseLayers(std::string_view text, std::string& why);

// File types as a project stores them (".mp4.webm") from what a user types: "mp4", ".mp4",
// "*.mp4", "mp4,webm", "mp4 webm" and ".gif.jpg" all name their extensions; letter case folds.
std::string ExcludeTypesFromText(std::string_view text);

// A URL typed without a scheme, as browsers and wget take it: "www.example.com/docs/" is
// http://, and a host starting with "ftp." is ftp://. A URL with a scheme stays as it is.
std::string WithDefaultScheme(std::string_view text);

}  // namespace tk::cli

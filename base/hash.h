#pragma once
// FNV-1a over 64 bits: cheap, well spread for short keys such as URLs and INI names, and the same
// on every machine and build, so a value may name a file that another run reads.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace tk {

inline constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
inline constexpr std::uint64_t kFnvPrime = 1099511628211ull;

// `h` continues an earlier hash, so that a key made of pieces needs no joined copy.
constexpr std::uint64_t Fnv1a(std::string_view s, std::uint64_t h = kFnvOffset) {
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return h;
}

// The hash of the ASCII-lower-cased bytes: equal for names that EqualsNoCase calls equal.
constexpr std::uint64_t Fnv1aNoCase(std::string_view s, std::uint64_t h = kFnvOffset) {
  for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * kFnvPrime;
  return h;
}

// For unordered containers whose keys compare with EqualNoCase.
struct HashNoCase {
  std::size_t operator()(std::string_view s) const { return static_cast<std::size_t>(Fnv1aNoCase(s)); }
};

}  // namespace tk

#pragma once
// The small deterministic randomness the fuzz checks share: a xorshift step for cutting input
// into chunks, and an FNV-1a hash for choosing an answer per URL.
#include <cstdint>
#include <string_view>

namespace tk::fuzz {

inline std::uint32_t Next(std::uint32_t& x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

inline std::uint32_t Hash(std::string_view s) {
  std::uint32_t h = 2166136261u;
  for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

}  // namespace tk::fuzz

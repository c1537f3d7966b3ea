#pragma once
// Percent-encoding ("%2F") as URLs carry bytes they cannot hold raw. Which bytes need it depends
// on where the text goes (a request line, a saved page's link, a robots.txt rule), so callers
// pass that rule; the spelling of an escape is the same everywhere: "%" and two upper-case digits.
#include <cstddef>
#include <string>
#include <string_view>

namespace tk {

// 0..15 for a hexadecimal digit of either case, -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte that the escape starting at text[at] stands for, or -1 when no "%XY" starts there.
constexpr int PercentEscapeAt(std::string_view text, std::size_t at) {
  if (at + 2 >= text.size() || text[at] != '%') return -1;
  const int high = HexDigitValue(text[at + 1]), low = HexDigitValue(text[at + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

inline void AppendPercentEscape(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Appends `text` with every byte for which needsEscape(unsigned char) holds written as an escape.
// Most texts need no escape at all, so the bytes between escapes are copied in runs.
template <class NeedsEscape>
void AppendPercentEncoded(std::string& out, std::string_view text, NeedsEscape needsEscape) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!needsEscape(c)) continue;
    out.append(text, from, i - from);
    AppendPercentEscape(out, c);
    from = i + 1;
  }
  out.append(text, from, text.size() - from);
}

}  // namespace tk

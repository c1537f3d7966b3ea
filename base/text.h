#pragma once
// Text helpers every layer shares: ASCII case folding and UTF-8 / CP932 decoding.
#include <string>
#include <string_view>

namespace tk {

// Only ASCII letters fold: UTF-8 continuation bytes are never ASCII, so comparing byte by byte
// never splits or mixes up a multibyte character.
constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);
// <0, 0, >0 like strcmp, on ASCII-folded bytes compared as unsigned.
int CompareNoCase(std::string_view a, std::string_view b);

struct LessNoCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};
struct EqualNoCase {
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

bool IsValidUtf8(std::string_view s);
// Strict CP932 (Shift_JIS with Microsoft's extensions) to UTF-8; false when the bytes are not
// CP932 either, leaving `out` unspecified.
bool DecodeCp932(std::string_view in, std::string& out);

}  // namespace tk

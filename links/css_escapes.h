#pragma once
// CSS escapes both ways: reading a value as the style sheet means it, and writing a replacement
// so that it reads back as itself wherever it stands.
#include <string>
#include <string_view>

namespace tk {

// The byte classes of CSS's syntax, shared by the scanner and its escapes.
namespace css {
constexpr bool IsNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || IsNewline(c); }
constexpr bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
constexpr bool IsQuote(char c) { return c == '"' || c == '\''; }
}  // namespace css

// The value of a CSS string or URL with its escapes decoded (code points as UTF-8).
std::string DecodeCssEscapes(std::string_view raw);

// `text` as it must be written in place of a value inside `quote`, or unquoted when `quote` is
// 0: everything that would end or break the value there is escaped. Text that needs nothing
// escaped comes back as it was.
std::string EscapeCssValue(std::string_view text, char quote);
bool CssValueNeedsEscaping(std::string_view text, char quote);

}  // namespace tk

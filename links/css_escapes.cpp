#include "links/css_escapes.h"

#include "base/percent.h"
#include "links/attribute_value.h"

#include <cstdint>

namespace tk {
namespace {

using css::IsBlank;
using css::IsHex;
using css::IsNewline;
using css::IsQuote;

void AppendHexEscape(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '\\';
  if (c >= 16) out += kHex[c >> 4];
  out += kHex[c & 15];
  out += ' ';  // ends the escape, so a hex digit after it stays a character of its own
}

}  // namespace

std::string EscapeCssValue(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (quote != 0) {
      if (c == quote || c == '\\') {
        out += '\\';
        out += c;
      } else if (IsNewline(c)) {
        AppendHexEscape(out, u);
      } else {
        out += c;
      }
    } else if (c == '\\' || c == '(' || c == ')' || c == '"' || c == '\'' || c == ' ') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      AppendHexEscape(out, u);
    } else {
      out += c;
    }
  }
  return out;
}

bool CssValueNeedsEscaping(std::string_view text, char quote) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || IsNewline(c)) return true;
    if (quote != 0 ? c == quote
                   : (u < 0x20 || u == 0x7F || c == '(' || c == ')' || IsQuote(c) || c == ' '))
      return true;
  }
  return false;
}


std::string DecodeCssEscapes(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  std::size_t i = 0;
  const std::size_t n = raw.size();
  while (i < n) {
    const char c = raw[i++];
    if (c != '\\') {
      out += c;
    } else if (i == n) {
      break;
    } else if (IsHex(raw[i])) {
      std::uint32_t cp = 0;
      for (int digits = 0; digits < 6 && i < n && IsHex(raw[i]); ++digits, ++i) {
        cp = cp * 16 + static_cast<std::uint32_t>(HexDigitValue(raw[i]));
      }
      if (i < n && IsBlank(raw[i])) i += (raw[i] == '\r' && i + 1 < n && raw[i + 1] == '\n') ? 2 : 1;
      AppendUtf8(out, cp);
    } else if (IsNewline(raw[i])) {
      i += (raw[i] == '\r' && i + 1 < n && raw[i + 1] == '\n') ? 2 : 1;  // a continued line
    } else {
      out += raw[i++];
    }
  }
  return out;
}


}  // namespace tk

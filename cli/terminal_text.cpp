#include "cli/terminal_text.h"

#include <cstdint>
#include <vector>

#include "inet/url.h"
#include "settings/url_password.h"

namespace tk::cli {
namespace {

// The code point at `i` and the bytes it takes; a byte that starts no valid sequence is taken
// alone (such bytes only reach here already encoded, as "%XX").
std::pair<std::uint32_t, std::size_t> CodePointAt(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (len == 1 || i + len > s.size()) return {c, 1};
  std::uint32_t cp = c & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return {cp, len};
}

bool IsWide(std::uint32_t cp) {
  struct Range {
    std::uint32_t first, last;
  };
  static constexpr Range kWide[] = {
      {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
      {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
      {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
      {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
  };
  for (const Range& r : kWide)
    if (cp >= r.first && cp <= r.last) return true;
  return false;
}

struct Glyph {
  std::size_t at, bytes, width;
};

std::vector<Glyph> Glyphs(std::string_view s) {
  std::vector<Glyph> glyphs;
  for (std::size_t i = 0; i < s.size();) {
    auto [cp, len] = CodePointAt(s, i);
    glyphs.push_back({i, len, IsWide(cp) ? 2u : 1u});
    i += len;
  }
  return glyphs;
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    const bool crlf = !end && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (!end && text[i] != '\t' && text[i] != '\n' && !crlf) continue;
    out += inet::EncodeControls(text.substr(start, i - start));
    if (end) break;
    if (crlf) out += text[i++];
    out += text[i];
    start = i + 1;
  }
  return out;
}

std::string Shown(std::string_view value) { return inet::EncodeControls(value); }

std::string HidePassword(std::string_view url) {
  const std::optional<PasswordSpan> password = FindPassword(url);
  if (!password) return std::string(url);
  return std::string(url.substr(0, password->colon + 1)) + "***" + std::string(url.substr(password->at));
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (const Glyph& g : Glyphs(text)) width += g.width;
  return width;
}

std::string ShortenMiddle(std::string_view text, std::size_t width) {
  const std::vector<Glyph> glyphs = Glyphs(text);
  std::size_t total = 0;
  for (const Glyph& g : glyphs) total += g.width;
  if (total <= width) return std::string(text);
  if (width == 0) return {};
  // The tail gets the larger half: it holds the file's name and extension.
  const std::size_t headRoom = (width - 1) / 2, tailRoom = width - 1 - headRoom;
  std::size_t head = 0, headWidth = 0;
  while (head < glyphs.size() && headWidth + glyphs[head].width <= headRoom) headWidth += glyphs[head++].width;
  std::size_t tail = glyphs.size(), tailWidth = 0;
  while (tail > head && tailWidth + glyphs[tail - 1].width <= tailRoom) tailWidth += glyphs[--tail].width;
  const std::size_t headEnd = head < glyphs.size() ? glyphs[head].at : text.size();
  const std::size_t tailStart = tail < glyphs.size() ? glyphs[tail].at : text.size();
  return std::string(text.substr(0, headEnd)) + "…" + std::string(text.substr(tailStart));
}

}  // namespace tk::cli

#include "links/attribute_value.h"

#include <cstdint>

#include "base/percent.h"
#include "base/text.h"
#include "links/link_tag_table.h"

namespace tk {
namespace {

bool EndsAttributeName(char c) { return IsBlank(c) || c == '=' || c == '/'; }

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

struct Span {
  std::size_t begin;
  std::size_t end;
};

// Reads the value that starts at `i` (just after "=" and its blanks); `next` gets the position
// after it, closing quote included.
Span ReadValue(std::string_view tag, std::size_t i, std::size_t& next) {
  if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
    const std::size_t close = tag.find(tag[i], i + 1);
    const std::size_t end = close == std::string_view::npos ? tag.size() : close;
    next = close == std::string_view::npos ? tag.size() : close + 1;
    Span span{i + 1, end};
    while (span.begin < span.end && IsBlank(tag[span.begin])) ++span.begin;
    while (span.end > span.begin && IsBlank(tag[span.end - 1])) --span.end;
    return span;
  }
  std::size_t end = i;
  while (end < tag.size() && !IsBlank(tag[end])) ++end;
  next = end;
  return Span{i, end};
}

int DigitValue(char c, int base) {
  const int v = HexDigitValue(c);
  return v < base ? v : -1;
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct NamedReference {
  std::string_view name;  // without "&" and ";"
  std::string_view text;  // UTF-8
  bool legacy;            // browsers take it without its ";" too
};

// The names a link is ever spelled with: the markup characters, the blank, and the punctuation
// of paths and queries that newer pages write by name.
constexpr NamedReference kNamed[] = {
    {"amp", "&", true},     {"AMP", "&", true},     {"lt", "<", true},      {"LT", "<", true},
    {"gt", ">", true},      {"GT", ">", true},      {"quot", "\"", true},   {"QUOT", "\"", true},
    {"apos", "'", false},   {"nbsp", "\xC2\xA0", true}, {"copy", "\xC2\xA9", true}, {"reg", "\xC2\xAE", true},
    {"num", "#", false},    {"sol", "/", false},    {"colon", ":", false},  {"quest", "?", false},
    {"equals", "=", false}, {"percnt", "%", false}, {"period", ".", false}, {"lowbar", "_", false},
    {"commat", "@", false}, {"plus", "+", false},   {"comma", ",", false},  {"semi", ";", false},
    {"excl", "!", false},   {"dollar", "$", false}, {"ast", "*", false},    {"lpar", "(", false},
    {"rpar", ")", false},   {"tilde", "~", false},  {"hyphen", "-", false}, {"dash", "-", false},
};

// Decodes the reference whose "&" is at `amp`. Returns the length consumed, or 0 when the text
// there is not a reference we know, in which case the "&" stands for itself.
std::size_t DecodeReference(std::string_view s, std::size_t amp, std::string& out) {
  const std::string_view rest = s.substr(amp + 1);
  if (!rest.starts_with('#')) {
    std::size_t n = 0;
    while (n < rest.size() && IsAsciiAlnum(rest[n])) ++n;
    const std::string_view name = rest.substr(0, n);
    const bool semicolon = n < rest.size() && rest[n] == ';';
    for (const NamedReference& named : kNamed) {
      if (named.name == name && semicolon) {
        out += named.text;
        return 2 + n;
      }
      // Without its ";" an old name counts only where no name or value could go on: in an
      // attribute, "&copy=2" is text.
      if (named.legacy && named.name == name && (n == rest.size() || rest[n] != '=')) {
        out += named.text;
        return 1 + n;
      }
    }
    return 0;
  }
  std::size_t i = 1;
  int base = 10;
  if (i < rest.size() && (rest[i] == 'x' || rest[i] == 'X')) {
    base = 16;
    ++i;
  }
  const std::size_t digitsStart = i;
  std::uint32_t cp = 0;
  for (int d; i < rest.size() && (d = DigitValue(rest[i], base)) >= 0; ++i)
    cp = cp > 0x10FFFF ? cp : cp * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
  if (i == digitsStart) return 0;
  // Browsers read 128..159 as the Windows-1252 characters older pages meant by them.
  static constexpr std::uint16_t kWindows1252[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  if (cp >= 0x80 && cp <= 0x9F) cp = kWindows1252[cp - 0x80];
  AppendUtf8(out, cp);
  // Browsers take a numeric reference without its ";" too.
  if (i < rest.size() && rest[i] == ';') ++i;
  return 1 + i;
}

}  // namespace

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}


std::size_t LinkPartLength(std::string_view raw) {
  std::string decoded;
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '#') return i;
    if (raw[i] == '&') {
      decoded.clear();
      const std::size_t used = DecodeReference(raw, i, decoded);
      // "&#038;" is a character of the link; "&#35;" is the "#" a fragment starts with.
      if (used > 0 && decoded == "#") return i;
      if (used > 0) {
        i += used;
        continue;
      }
    }
    ++i;
  }
  return raw.size();
}

AttributeValue FindAttributeValue(std::string_view attribute, std::string_view tag) {
  AttributeValue value = FindWholeAttributeValue(attribute, tag);
  if (!value.found()) return value;
  value.length = LinkPartLength(tag.substr(static_cast<std::size_t>(value.start), value.length));
  return value;
}

AttributeValue FindWholeAttributeValue(std::string_view attribute, std::string_view tag) {
  std::size_t i = TagName(tag).size();
  while (true) {
    while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '/')) ++i;
    if (i >= tag.size()) return {};
    const std::size_t nameBegin = i;
    // A stray "=" where a name should start is taken as part of the name, so the loop moves on.
    if (tag[i] == '=') ++i;
    while (i < tag.size() && !EndsAttributeName(tag[i])) ++i;
    const std::string_view name = tag.substr(nameBegin, i - nameBegin);
    i = SkipBlanks(tag, i);
    if (i >= tag.size() || tag[i] != '=') {
      if (EqualsNoCase(name, attribute)) return {};  // present but without a value
      continue;
    }
    std::size_t next = 0;
    Span span = ReadValue(tag, SkipBlanks(tag, i + 1), next);
    if (EqualsNoCase(name, attribute)) return {static_cast<std::ptrdiff_t>(span.begin), span.end - span.begin};
    i = next;
  }
}

std::string DecodeLinkValue(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    const char c = raw[i];
    if (c == '#') break;
    if (c == '&') {
      const std::size_t used = DecodeReference(raw, i, out);
      if (used > 0) {
        if (!out.empty() && out.back() == '#') {
          out.pop_back();
          break;
        }
        i += used;
        continue;
      }
    }
    if (c != '\t' && c != '\r' && c != '\n') out += c;
    ++i;
  }
  return out;
}

std::string HtmlAttributeText(std::string_view url) {
  std::string out;
  out.reserve(url.size() + 8);
  // Copied from one "&" to the next; most URLs hold none.
  std::size_t from = 0;
  for (std::size_t i = url.find('&'); i != std::string_view::npos; i = url.find('&', i + 1)) {
    out.append(url, from, i + 1 - from);
    from = i + 1;
    std::size_t n = i + 1;
    while (n < url.size() && IsAsciiAlnum(url[n])) ++n;
    if (n == i + 1 || n == url.size() || url[n] != '=') out += "amp;";
  }
  out.append(url, from, url.size() - from);
  return out;
}

std::string DecodeCharacterReferences(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    const std::size_t used = raw[i] == '&' ? DecodeReference(raw, i, out) : 0;
    if (used > 0) {
      i += used;
    } else {
      out += raw[i++];
    }
  }
  return out;
}

}  // namespace tk

#include "inet/ftp_listing.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "base/text.h"

namespace tk::inet {
namespace {

bool ParseSize(std::string_view s, std::uint64_t& v) {
  if (s.empty()) return false;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

// Splits off the next blank-separated field; `rest` starts at the blanks that follow it.
std::string_view NextField(std::string_view& rest) {
  std::size_t start = rest.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  std::size_t end = rest.find_first_of(" \t");
  std::string_view field = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return field;
}

std::string_view SkipBlanks(std::string_view s) {
  std::size_t start = s.find_first_not_of(" \t");
  return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

bool IsDotName(std::string_view name) { return name == "." || name == ".." || name.empty(); }

struct Field {
  std::string_view text;
  std::size_t offset;
};

std::vector<Field> Fields(std::string_view line) {
  std::vector<Field> out;
  std::size_t i = 0;
  while (i < line.size()) {
    i = line.find_first_not_of(" \t", i);
    if (i == std::string_view::npos) break;
    std::size_t end = line.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = line.size();
    out.push_back({line.substr(i, end - i), i});
    i = end;
  }
  return out;
}

bool IsMonth(std::string_view f) {
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  if (f.size() != 3) return false;
  std::string l = AsciiLower(f);
  for (const char* m : kMonths)
    if (l == m) return true;
  return false;
}

// "-rw-r--r-- 1 owner group 1234 Jan  1 12:00 name"; the owner or group may be missing, so the
// size is found as the number before the month.
std::optional<ListingLine> ParseUnix(std::string_view line) {
  std::vector<Field> f = Fields(line);
  if (f.size() < 6 || f[0].text.size() < 10) return std::nullopt;
  char type = f[0].text[0];
  if (std::string_view("-dlbcps").find(type) == std::string_view::npos) return std::nullopt;
  std::size_t month = 0;
  for (std::size_t i = 2; i + 3 < f.size() && month == 0; ++i)
    if (IsMonth(f[i].text)) month = i;
  if (month == 0) return std::nullopt;
  std::uint64_t size = 0;
  if (!ParseSize(f[month - 1].text, size)) return std::nullopt;
  std::string_view name = line.substr(f[month + 3].offset);
  if (type == 'l') {
    std::size_t arrow = name.find(" -> ");
    if (arrow != std::string_view::npos) name = name.substr(0, arrow);
  }
  if (IsDotName(name)) return std::nullopt;
  return ListingLine{std::string(name), size, type == 'd'};
}

// "01-31-21  10:15AM       <DIR>          name" or "...     1234 name"
std::optional<ListingLine> ParseDos(std::string_view line) {
  std::string_view rest = line;
  std::string_view date = NextField(rest);
  std::string_view time = NextField(rest);
  if (date.size() < 8 || !std::isdigit(static_cast<unsigned char>(date[0])) ||
      (date.find('-') == std::string_view::npos && date.find('/') == std::string_view::npos))
    return std::nullopt;
  if (time.find(':') == std::string_view::npos) return std::nullopt;
  std::string_view what = NextField(rest);
  if (what.empty()) return std::nullopt;
  std::string_view name = SkipBlanks(rest);
  if (IsDotName(name)) return std::nullopt;
  if (AsciiLower(what) == "<dir>") return ListingLine{std::string(name), 0, true};
  std::string digits;
  for (char c : what)
    if (c != ',' && c != '.') digits += c;
  std::uint64_t size = 0;
  if (!ParseSize(digits, size)) return std::nullopt;
  return ListingLine{std::string(name), size, false};
}

}  // namespace

std::optional<ListingLine> ParseMlsdLine(std::string_view line) {
  std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::string_view facts = line.substr(0, space);
  std::string_view name = line.substr(space + 1);
  ListingLine out;
  out.name = std::string(name);
  bool typed = false;
  while (!facts.empty()) {
    std::size_t semi = facts.find(';');
    std::string_view fact = facts.substr(0, semi);
    facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
    std::size_t eq = fact.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = AsciiLower(fact.substr(0, eq));
    std::string_view value = fact.substr(eq + 1);
    if (key == "type") {
      std::string v = AsciiLower(value);
      if (v == "cdir" || v == "pdir") return std::nullopt;
      out.directory = v == "dir";
      typed = true;
    } else if (key == "size" || key == "sizd") {
      ParseSize(value, out.size);
    }
  }
  if (!typed || IsDotName(out.name)) return std::nullopt;
  return out;
}

std::optional<ListingLine> ParseListLine(std::string_view line) {
  if (line.empty()) return std::nullopt;
  if (auto unix = ParseUnix(line)) return unix;
  return ParseDos(line);
}

std::vector<ListingLine> ParseListing(std::string_view text, bool mlsd) {
  std::vector<ListingLine> out;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto parsed = mlsd ? ParseMlsdLine(line) : ParseListLine(line);
    if (parsed) out.push_back(std::move(*parsed));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return out;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  // Greedy with one back-track point, linear in practice.
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace tk::inet

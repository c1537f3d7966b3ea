#include "engine/http_date.h"

#include <ctime>
#include <string>

#include "base/text.h"
#include "inet/http_headers.h"

namespace tk {
namespace {

constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};

bool AllDigits(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos; }

int Number(std::string_view s) {
  int n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// "08:49:37" into `t`.
bool ReadTime(std::string_view s, std::tm& t) {
  if (s.size() != 8 || s[2] != ':' || s[5] != ':') return false;
  const std::string_view h = s.substr(0, 2), m = s.substr(3, 2), sec = s.substr(6, 2);
  if (!AllDigits(h) || !AllDigits(m) || !AllDigits(sec)) return false;
  t.tm_hour = Number(h);
  t.tm_min = Number(m);
  t.tm_sec = Number(sec);
  return t.tm_hour < 24 && t.tm_min < 60 && t.tm_sec <= 60;
}

}  // namespace

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
  // The three forms differ in order and separators only: the words are told apart by their shape.
  std::tm t{};
  bool day = false, month = false, year = false, time = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find_first_of(" ,-\t", at);
    const std::string_view word = text.substr(at, end == std::string_view::npos ? end : end - at);
    at = end == std::string_view::npos ? text.size() : end + 1;
    if (word.empty()) continue;
    if (word.find(':') != std::string_view::npos) {
      if (time || !ReadTime(word, t)) return std::nullopt;
      time = true;
    } else if (AllDigits(word) && !day && word.size() <= 2) {
      t.tm_mday = Number(word);
      day = true;
    } else if (AllDigits(word) && day && !year && (word.size() == 2 || word.size() == 4)) {
      const int y = Number(word);
      // Two-digit years are those of the older form: 70 to 99 are the last century.
      t.tm_year = word.size() == 4 ? y - 1900 : (y < 70 ? y + 100 : y);
      year = true;
    } else if (!month && word.size() == 3) {
      for (int i = 0; i < 12 && !month; ++i)
        if (EqualsNoCase(word, kMonths[i])) {
          t.tm_mon = i;
          month = true;
        }
    }
  }
  if (!day || !month || !year || !time || t.tm_mday < 1 || t.tm_mday > 31) return std::nullopt;
  return static_cast<std::int64_t>(::timegm(&t));
}

std::optional<std::int64_t> LastModifiedOf(std::string_view rawHeaders) {
  const std::string value = inet::FindHeader(inet::SplitHeaderLines(rawHeaders), "Last-Modified");
  if (value.empty()) return std::nullopt;
  return ParseHttpDate(value);
}

}  // namespace tk

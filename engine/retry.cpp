// Trying a request again: which failures deserve it, how long to wait, and the loop itself.
#include "engine/retry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>
#include <vector>

#include "engine/crawler.h"
#include "inet/errors.h"
#include "inet/http_headers.h"

namespace tk {
namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int MonthOf(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  for (std::size_t i = 0; i < kMonths.size(); ++i)
    if (EqualsNoCase(name, kMonths[i])) return static_cast<int>(i) + 1;
  return 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

bool IsTransientError(const inet::Error& err) {
  using inet::ErrorCode;
  switch (static_cast<ErrorCode>(err.number)) {
    case ErrorCode::Timeout:
    case ErrorCode::CannotConnect:
    case ErrorCode::ConnectionAborted:
    case ErrorCode::ConnectionReset:
    case ErrorCode::InvalidServerResponse:
    case ErrorCode::SendFailed:
    case ErrorCode::ReceiveFailed:
      return true;
    default:
      return false;
  }
}

bool IsTransientStatus(int status) { return status == 429 || (status >= 500 && status <= 599); }

std::chrono::milliseconds RetryBackoff(int attempt) {
  const int shift = std::clamp(attempt - 1, 0, 4);
  return std::min(std::chrono::milliseconds(1000 << shift), std::chrono::milliseconds(10000));
}

std::optional<std::chrono::system_clock::time_point> ParseHttpDate(std::string_view text) {
  // Every form has the day before the year, the month by name and the time as h:m:s; tokens
  // come apart at blanks, commas and the dashes of the RFC 850 form.
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find_first_of(" ,-\t", at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  int month = 0;
  std::vector<long long> numbers;
  long long seconds = -1;
  for (std::string_view word : words) {
    if (int m = MonthOf(word)) {
      month = m;
    } else if (AllDigits(word) && word.size() <= 4) {
      numbers.push_back(std::stoll(std::string(word)));
    } else if (word.size() == 8 && word[2] == ':' && word[5] == ':' && AllDigits(word.substr(0, 2)) &&
               AllDigits(word.substr(3, 2)) && AllDigits(word.substr(6, 2))) {
      const auto part = [word](std::size_t at) { return std::stoll(std::string(word.substr(at, 2))); };
      seconds = part(0) * 3600 + part(3) * 60 + part(6);
    }
  }
  if (month == 0 || seconds < 0 || numbers.size() != 2 || numbers[0] < 1 || numbers[0] > 31) return std::nullopt;
  long long year = numbers[1];
  if (year < 100) year += year < 70 ? 2000 : 1900;
  const long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(numbers[0]));
  return std::chrono::system_clock::time_point(std::chrono::seconds(days * 86400 + seconds));
}

std::optional<std::chrono::milliseconds> RetryAfter(std::string_view rawHeaders,
                                                    std::chrono::system_clock::time_point now) {
  const std::string value = inet::FindHeader(inet::SplitHeaderLines(rawHeaders), "Retry-After");
  if (value.empty()) return std::nullopt;
  if (AllDigits(value)) {
    if (value.size() > 9) return std::chrono::milliseconds::max();
    return std::chrono::seconds(std::stoll(value));
  }
  auto when = ParseHttpDate(value);
  if (!when) return std::nullopt;
  if (*when <= now) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(*when - now);
}

std::unique_ptr<inet::HttpRequest> Crawler::RequestWithRetries(const HttpTarget& target, inet::Error& err) {
  const int tries = std::max(1, m_settings.Tries);
  for (int attempt = 1;; ++attempt) {
    auto request = SendRequest(target, err);
    if (attempt >= tries || Cancelled()) return request;
    std::chrono::milliseconds delay = RetryBackoff(attempt);
    if (request) {
      if (!IsTransientStatus(request->StatusCode())) return request;
      if (auto asked = RetryAfter(request->RawHeaders(), std::chrono::system_clock::now())) {
        // A server that wants more patience than a run has gets its answer logged as it is.
        if (*asked > kMaxRetryAfter) return request;
        delay = *asked;
      }
    } else if (!IsTransientError(err)) {
      return nullptr;
    }
    request.reset();
    if (!Pause(delay)) return nullptr;
  }
}

bool Crawler::Pause(std::chrono::milliseconds delay) {
  // In short steps, so that a cancel ends the wait at once.
  constexpr std::chrono::milliseconds kStep{20};
  const auto until = std::chrono::steady_clock::now() + delay;
  while (!Cancelled() && !(m_session && m_session->IsClosed())) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, kStep));
  }
  return false;
}

}  // namespace tk

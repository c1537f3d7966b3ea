// Trying a request again: which failures deserve it, how long to wait, and the loop itself.
#include "engine/retry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>
#include <vector>

#include "engine/crawler.h"
#include "engine/http_date.h"
#include "inet/errors.h"
#include "inet/http_headers.h"

namespace tk {
namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
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

std::optional<std::chrono::milliseconds> RetryAfter(std::string_view rawHeaders,
                                                    std::chrono::system_clock::time_point now) {
  const std::string value = inet::FindHeader(inet::SplitHeaderLines(rawHeaders), "Retry-After");
  if (value.empty()) return std::nullopt;
  if (AllDigits(value)) {
    if (value.size() > 9) return std::chrono::milliseconds::max();
    return std::chrono::seconds(std::stoll(value));
  }
  const std::optional<std::int64_t> seconds = ParseHttpDate(value);
  if (!seconds) return std::nullopt;
  const std::chrono::system_clock::time_point when{std::chrono::seconds(*seconds)};
  if (when <= now) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(when - now);
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

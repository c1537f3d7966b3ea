#pragma once
// Which failed answers another try may pass, and how long to wait before it.
#include <chrono>
#include <optional>
#include <string_view>

#include "inet/inet.h"

namespace tk {

// The longest Retry-After a run waits for: a server that asks for more is not asked again.
inline constexpr std::chrono::seconds kMaxRetryAfter{60};

// A connection refused or reset, a time-out, nothing answered: the server may do better soon.
bool IsTransientError(const inet::Error& err);
// 429 and 5xx: the server says it cannot answer now.
bool IsTransientStatus(int status);
// The pause before try `attempt` + 1 when the server names none: 1 s, 2 s, 4 s... up to 10 s.
std::chrono::milliseconds RetryBackoff(int attempt);
// The pause a Retry-After header of `rawHeaders` asks for, in seconds or as an HTTP date, from
// `now`; nullopt when there is none or it cannot be read.
std::optional<std::chrono::milliseconds> RetryAfter(std::string_view rawHeaders,
                                                    std::chrono::system_clock::time_point now);

}  // namespace tk

#pragma once
// The dates of HTTP answers, for the files of the copy: a saved file carries the server's
// Last-Modified as its modification time.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tk {

// Seconds since the epoch of an HTTP date in any of its three forms ("Sun, 06 Nov 1994 08:49:37
// GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); nullopt when it is none.
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

// The Last-Modified date of raw response headers, when they carry a readable one.
std::optional<std::int64_t> LastModifiedOf(std::string_view rawHeaders);

}  // namespace tk

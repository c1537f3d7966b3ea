#pragma once
// Small text helpers for response headers, shared by the HTTP code and its tests.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tk::inet {

// The value of the first header named `name` (case-insensitive), blanks trimmed; "" if none.
std::string FindHeader(const std::vector<std::string>& lines, std::string_view name);

// "content-type: x" -> "Content-Type: x": a header line with its name spelled as HTTP/1.1
// servers spell it, each word capitalised. The value stays as it is.
std::string WithUsualNameCase(std::string_view line);

// "a\r\nb\r\n" -> {"a", "b"}; bare LF line ends are accepted too.
std::vector<std::string> SplitHeaderLines(std::string_view raw);

// Whether a header line is a Set-Cookie (any letter case).
bool IsSetCookie(std::string_view line);
// Raw headers ("a\r\nb\r\n") without their Set-Cookie lines.
std::string WithoutSetCookie(std::string_view raw);

// A Content-Length value; -1 when it is not a plain decimal number.
std::int64_t ParseLength(std::string_view text);

// "bytes 100-199/200" -> first 100, total 200 ("*" total -> 0). False when malformed.
bool ParseContentRange(std::string_view text, std::uint64_t& first, std::uint64_t& total);

}  // namespace tk::inet

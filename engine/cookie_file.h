#pragma once
// A Netscape cookies.txt, as browsers and their extensions export it, read for a run's jar.
#include <string>
#include <vector>

namespace tk {

// The bytes of a cookies.txt read at the most; a real one is far smaller.
inline constexpr std::size_t kMaxCookieFile = 32 * 1024 * 1024;

// The file's lines that may hold a cookie: "#HttpOnly_" lines included, other comments and blank
// lines left out, line ends (LF or CR LF) dropped. False, with the reason in `error`, when it is
// missing, unreadable, not a regular file (a FIFO would hold the run, a device feed it for ever)
// or larger than kMaxCookieFile.
bool ReadCookieFile(const std::string& path, std::vector<std::string>& lines, std::string& error);

}  // namespace tk

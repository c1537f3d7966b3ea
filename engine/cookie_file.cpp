#include "engine/cookie_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "base/fd_io.h"
#include "engine/crawler.h"
#include "engine/log_texts.h"
#include "inet/url.h"

namespace tk {
namespace {

bool ReadBounded(int fd, std::string& text, std::string& error) {
  const ReadEnd end = ReadToEnd(fd, text, kMaxCookieFile);
  if (end == ReadEnd::Failed) error = std::strerror(errno);
  if (end == ReadEnd::TooLarge) error = "File too large";
  return end == ReadEnd::Done;
}

void KeepCookieLines(std::string_view text, std::vector<std::string>& lines) {
  constexpr std::string_view kHttpOnly = "#HttpOnly_";
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (line.front() == '#' && !line.starts_with(kHttpOnly)) continue;
    lines.emplace_back(line);
  }
}

}  // namespace

bool ReadCookieFile(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  std::string text;
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok) error = std::strerror(errno);
  if (ok && !S_ISREG(st.st_mode)) {
    ok = false;
    error = "Not a regular file";
  }
  ok = ok && ReadBounded(fd, text, error);
  ::close(fd);
  if (ok) KeepCookieLines(text, lines);
  return ok;
}

void Crawler::LoadCookies(inet::SessionOptions& options) {
  if (m_settings.LoadCookies.empty()) return;
  std::string error;
  // A file that cannot be read costs the run its cookies, not the run: one line says so, among
  // the first of the log, and the crawl goes on without them.
  if (!ReadCookieFile(m_settings.LoadCookies, options.cookies, error)) {
    options.cookies.clear();
    WriteLog(inet::EncodeControls(logtext::CookiesNotLoaded(m_settings.LoadCookies, error)) + "\r\n");
  }
}

}  // namespace tk

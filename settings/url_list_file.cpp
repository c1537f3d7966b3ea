#include "settings/url_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/fd_io.h"

namespace tk {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<std::string> ParseUrlList(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> urls;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = TrimBlanks(text.substr(0, end));
    if (!line.empty() && line.front() != '#') urls.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
  }
  return urls;
}

std::optional<std::vector<std::string>> ReadUrlListFile(const std::filesystem::path& file, std::string& error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = file.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat st {};
  std::string text;
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok) {
    error = file.string() + ": " + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    error = file.string() + ": not a regular file";
    ok = false;
  } else if (static_cast<std::uintmax_t>(st.st_size) > kMaxUrlListBytes) {
    error = file.string() + ": larger than 16 MiB";
    ok = false;
  }
  if (ok) {
    const ReadEnd end = ReadToEnd(fd, text, kMaxUrlListBytes);
    if (end == ReadEnd::Failed) error = file.string() + ": " + std::strerror(errno);
    if (end == ReadEnd::TooLarge) error = file.string() + ": larger than 16 MiB";
    ok = end == ReadEnd::Done;
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return ParseUrlList(text);
}

}  // namespace tk

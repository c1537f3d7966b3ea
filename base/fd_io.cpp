#include "base/fd_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tk {

int OpenUnnamedFile(const std::filesystem::path& folder) {
  if (folder.empty()) return -1;
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = (folder / ".trawlkit-scratch-XXXXXX").string();
  fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(pattern.c_str());
  return fd;
}

int LinkUnnamedFile(int fd, int dirFd, const char* name) {
  // Through /proc: linking a descriptor by itself (AT_EMPTY_PATH) takes a privilege a user lacks.
  char path[40];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, path, dirFd, name, AT_SYMLINK_FOLLOW);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool PwriteAll(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return true;
}

ssize_t ReadRetrying(int fd, void* buffer, std::size_t size) {
  ssize_t n;
  do n = ::read(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

ssize_t PreadRetrying(int fd, void* buffer, std::size_t size, off_t offset) {
  ssize_t n;
  do n = ::pread(fd, buffer, size, offset);
  while (n < 0 && errno == EINTR);
  return n;
}

ReadEnd ReadToEnd(int fd, std::string& text, std::uint64_t maxBytes) {
  char buffer[65536];
  std::uint64_t got = 0;
  while (true) {
    const ssize_t n = ReadRetrying(fd, buffer, sizeof buffer);
    if (n == 0) return ReadEnd::Done;
    if (n < 0) return ReadEnd::Failed;
    got += static_cast<std::uint64_t>(n);
    if (got > maxBytes) return ReadEnd::TooLarge;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace tk

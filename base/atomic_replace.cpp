#include "base/atomic_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "base/fd_io.h"

namespace tk {
namespace {

// A new file beside `target` under a name no other writer holds, opened with O_EXCL. Made with
// mode 0666 so that the kernel applies the umask itself: reading the umask would mean setting
// it, and the umask belongs to every thread of the process at once.
int CreateTemporary(const std::filesystem::path& target, std::string& name) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::random_device random;
  for (int tries = 0; tries < 100; ++tries) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x", static_cast<unsigned>(random()) & 0xFFFFFFu);
    name = (dir / ("." + target.filename().string() + suffix)).string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data) {
  std::error_code ec;
  std::filesystem::path target = file;
  // Write through a symbolic link rather than replacing the link with a plain file.
  if (std::filesystem::is_symlink(file, ec)) {
    const auto resolved = std::filesystem::canonical(file, ec);
    if (!ec) target = resolved;
  }
  if (std::filesystem::is_directory(target, ec)) return false;
  std::string temp;
  const int fd = CreateTemporary(target, temp);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::stat(target.c_str(), &st) != 0 || ::fchmod(fd, st.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tk

#include "engine/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tk {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;

// Splits "a/b/name" into its folder part "a/b" and its last segment "name".
void SplitLast(std::string_view relPath, std::string_view& dir, std::string_view& name) {
  std::size_t slash = relPath.rfind('/');
  dir = slash == std::string_view::npos ? std::string_view() : relPath.substr(0, slash);
  name = slash == std::string_view::npos ? relPath : relPath.substr(slash + 1);
}
}  // namespace

int OpenFolderBeneath(const std::filesystem::path& saveFolder, std::string_view relDir, bool create) {
  // The save folder itself is followed: the user chose it, symlink or not.
  int fd = ::open(saveFolder.empty() ? "." : saveFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::size_t at = 0;
  while (fd >= 0 && at < relDir.size()) {
    std::size_t slash = relDir.find('/', at);
    if (slash == std::string_view::npos) slash = relDir.size();
    const std::string seg(relDir.substr(at, slash - at));
    at = slash + 1;
    if (seg.empty() || seg == ".") continue;
    if (seg == "..") {
      ::close(fd);
      errno = EINVAL;
      return -1;
    }
    int next = ::openat(fd, seg.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      // Another process may make it meanwhile; opening it afterwards judges what stands there.
      if (::mkdirat(fd, seg.c_str(), 0755) == 0 || errno == EEXIST)
        next = ::openat(fd, seg.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    // The caller reads errno (ELOOP: a symlink) after a failure; the close must not change it.
    const int openError = errno;
    ::close(fd);
    errno = openError;
    fd = next;
  }
  return fd;
}

int OpenBeneath(const std::filesystem::path& saveFolder, std::string_view relPath, int flags, int mode) {
  std::string_view dir, name;
  SplitLast(relPath, dir, name);
  if (name.empty() || name == "." || name == "..") return -1;
  int dirFd = OpenFolderBeneath(saveFolder, dir, false);
  if (dirFd < 0) return -1;
  int fd = ::openat(dirFd, std::string(name).c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
  ::close(dirFd);
  return fd;
}

LocalEntry LookBeneath(const std::filesystem::path& saveFolder, std::string_view relPath) {
  std::string_view dir, name;
  SplitLast(relPath, dir, name);
  int dirFd = OpenFolderBeneath(saveFolder, dir, false);
  if (dirFd < 0) {
    if (errno == ENOENT) return LocalEntry::Missing;
    // A symlinked folder, or a file where a folder belongs: nothing can be written there.
    return errno == ELOOP || errno == ENOTDIR ? LocalEntry::Planted : LocalEntry::Missing;
  }
  struct stat st {};
  int rc = ::fstatat(dirFd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW);
  ::close(dirFd);
  if (rc != 0) return LocalEntry::Missing;
  return S_ISLNK(st.st_mode) ? LocalEntry::Planted : LocalEntry::Present;
}

LocalFile::~LocalFile() { Close(); }

bool LocalFile::Create(const std::filesystem::path& path) {
  Close();
  m_failed = false;
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (m_fd < 0) return false;
  m_buffer.reserve(kBufferSize);
  return true;
}

bool LocalFile::Create(const std::filesystem::path& saveFolder, std::string_view relPath) {
  Close();
  m_failed = false;
  // Not blocking: a FIFO planted at the file's place must not hang the run until a reader comes.
  int fd = OpenBeneath(saveFolder, relPath, O_WRONLY | O_CREAT | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  // Only a regular file is emptied, and only once it is known to be one.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0 ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  m_buffer.reserve(kBufferSize);
  return true;
}

bool LocalFile::Write(std::string_view data) {
  if (m_fd < 0 || m_failed) return false;
  if (m_buffer.size() + data.size() > kBufferSize && !Flush()) return false;
  if (data.size() >= kBufferSize) {
    m_buffer.assign(data);
    return Flush();
  }
  m_buffer.append(data);
  return true;
}

bool LocalFile::Flush() {
  std::size_t done = 0;
  while (done < m_buffer.size()) {
    ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_failed = true;
      m_buffer.clear();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  m_buffer.clear();
  return true;
}

bool LocalFile::Close() {
  if (m_fd < 0) return !m_failed;
  if (!m_failed) Flush();
  if (::close(m_fd) != 0) m_failed = true;
  m_fd = -1;
  return !m_failed;
}

}  // namespace tk

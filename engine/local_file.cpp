#include "engine/local_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/fd_io.h"

namespace tk {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;

constexpr int kTempTries = 16;
}  // namespace

std::string TempFileName() {
  std::uint64_t v = 0;
  if (::getrandom(&v, sizeof v, 0) != static_cast<ssize_t>(sizeof v))
    v = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(&v);
  char buf[40];
  std::snprintf(buf, sizeof buf, ".trawlkit-%016llx.part", static_cast<unsigned long long>(v));
  return buf;
}

namespace {

bool SameBytes(int a, int b) {
  constexpr std::size_t kBlock = 64 * 1024;
  auto bufA = std::make_unique<char[]>(kBlock);
  auto bufB = std::make_unique<char[]>(kBlock);
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(a, bufA.get(), kBlock, at);
    if (n < 0) return false;
    std::size_t got = 0;
    while (got < static_cast<std::size_t>(n)) {
      const ssize_t m = ::pread(b, bufB.get() + got, static_cast<std::size_t>(n) - got, at + static_cast<off_t>(got));
      if (m <= 0) return false;
      got += static_cast<std::size_t>(m);
    }
    if (std::memcmp(bufA.get(), bufB.get(), got) != 0) return false;
    if (n == 0) {
      char extra;
      return ::pread(b, &extra, 1, at) == 0;
    }
    at += n;
  }
}

// Whether the regular file `name` in `dirFd` holds exactly the bytes of `tempFd`.
bool SameAsPlaced(int dirFd, const std::string& name, int tempFd, const struct stat& temp, const struct stat& old) {
  if (old.st_size != temp.st_size) return false;
  int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool same = SameBytes(tempFd, fd);
  ::close(fd);
  return same;
}

// The temporary file `temp` in `dirFd` takes the place of `name`.
Placement PlaceInFolder(int dirFd, const std::string& temp, const std::string& name,
                        std::optional<std::int64_t> modified) {
  int fd = ::openat(dirFd, temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {}, old {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    ::unlinkat(dirFd, temp.c_str(), 0);
    return Placement::Failed;
  }
  const bool existed = ::fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  Placement result = existed ? Placement::Changed : Placement::New;
  // Only a file of the copy is replaced; a symlink, folder or FIFO planted there stays and fails.
  if (existed && !S_ISREG(old.st_mode)) result = Placement::Failed;
  if (existed && result != Placement::Failed && SameAsPlaced(dirFd, name, fd, st, old)) result = Placement::Unchanged;
  if (result == Placement::New || result == Placement::Changed) {
    // A replaced file keeps the permissions its user gave it.
    if (existed) ::fchmod(fd, old.st_mode & 07777);
    if (modified) {
      const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(*modified), 0}};
      ::futimens(fd, times);
    }
  }
  ::close(fd);
  if ((result == Placement::New || result == Placement::Changed) &&
      ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0)
    return result;
  ::unlinkat(dirFd, temp.c_str(), 0);
  return result == Placement::Unchanged ? result : Placement::Failed;
}

}  // namespace

void SplitLast(std::string_view relPath, std::string_view& dir, std::string_view& name) {
  std::size_t slash = relPath.rfind('/');
  dir = slash == std::string_view::npos ? std::string_view() : relPath.substr(0, slash);
  name = slash == std::string_view::npos ? relPath : relPath.substr(slash + 1);
}

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

Placement PlaceHeld(const std::filesystem::path& saveFolder, const HeldFile& held) {
  std::string_view dir, name;
  SplitLast(held.relPath, dir, name);
  // The folder is entered afresh: one swapped for a symlink since the file was begun is refused.
  int dirFd = OpenFolderBeneath(saveFolder, dir, false);
  if (dirFd < 0) return Placement::Failed;
  const Placement result = PlaceInFolder(dirFd, held.temp, std::string(name), held.modified);
  ::close(dirFd);
  return result;
}

void DiscardHeld(const std::filesystem::path& saveFolder, const HeldFile& held) {
  std::string_view dir, name;
  SplitLast(held.relPath, dir, name);
  int dirFd = OpenFolderBeneath(saveFolder, dir, false);
  if (dirFd < 0) return;
  ::unlinkat(dirFd, held.temp.c_str(), 0);
  ::close(dirFd);
}

LocalFile::~LocalFile() { Discard(); }

bool LocalFile::Create(const std::filesystem::path& saveFolder, std::string_view relPath) {
  Discard();
  m_failed = false;
  std::string_view dir, name;
  SplitLast(relPath, dir, name);
  if (name.empty() || name == "." || name == "..") return false;
  int dirFd = OpenFolderBeneath(saveFolder, dir, false);
  if (dirFd < 0) return false;
  struct stat st {};
  if (::fstatat(dirFd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    ::close(dirFd);
    return false;
  }
  for (int i = 0; i < kTempTries && m_fd < 0; ++i) {
    m_temp = TempFileName();
    m_fd = ::openat(dirFd, m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_fd < 0 && errno != EEXIST) break;
  }
  ::close(dirFd);
  if (m_fd < 0) {
    m_temp.clear();
    return false;
  }
  m_saveFolder = saveFolder;
  m_relPath = relPath;
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
  // A file size limit answers EFBIG here (its signal is ignored by the programs): one more
  // failed write, like a full disk.
  if (!WriteAll(m_fd, m_buffer)) {
    m_failed = true;
    m_buffer.clear();
    return false;
  }
  m_buffer.clear();
  return true;
}

bool LocalFile::Finish() {
  if (m_fd < 0) return false;
  if (!m_failed) Flush();
  if (::close(m_fd) != 0) m_failed = true;
  m_fd = -1;
  if (m_failed) Discard();
  return !m_failed;
}

Placement LocalFile::Place(std::optional<std::int64_t> modified) {
  if (m_fd >= 0 || m_temp.empty()) return Placement::Failed;
  return PlaceHeld(m_saveFolder, Hold(modified));
}

HeldFile LocalFile::Hold(std::optional<std::int64_t> modified) {
  HeldFile held{m_relPath, std::move(m_temp), modified};
  m_temp.clear();
  return held;
}

void LocalFile::Discard() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_buffer.clear();
  if (!m_temp.empty()) DiscardHeld(m_saveFolder, HeldFile{m_relPath, m_temp, std::nullopt});
  m_temp.clear();
}

}  // namespace tk

#include "engine/local_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/fd_io.h"
#include "engine/ready_files.h"

namespace tk {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kFirstBuffer = 4 * 1024;

constexpr int kTempTries = 16;
// Well below the usual limit of 1,024 descriptors a process, which connections share.
constexpr std::size_t kMaxOpenFolders = 256;
}  // namespace

std::string TempFileName() {
  // Drawn from a generator seeded once per thread: one system call a run, not one a file.
  thread_local std::uint64_t state = [] {
    std::uint64_t seed = 0;
    if (::getrandom(&seed, sizeof seed, 0) != static_cast<ssize_t>(sizeof seed))
      seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
             reinterpret_cast<std::uintptr_t>(&seed);
    return seed;
  }();
  // splitmix64: every draw differs from the last, and the names are no count another could guess.
  std::uint64_t v = (state += 0x9E3779B97F4A7C15ull);
  v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
  v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
  v ^= v >> 31;
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

// Whether the regular file `name` in `dirFd` holds exactly the `size` bytes of `tempFd`.
bool SameAsPlaced(int dirFd, const std::string& name, int tempFd, off_t size, const struct stat& old) {
  if (old.st_size != size) return false;
  int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool same = SameBytes(tempFd, fd);
  ::close(fd);
  return same;
}

// The finished temporary file `temp` in `dirFd`, open as `fd` (readable) and `size` bytes long,
// takes the place of `name`. `fd` is closed.
Placement PlaceOpenTemp(int dirFd, int fd, off_t size, const std::string& temp, const std::string& name,
                        std::optional<std::int64_t> modified) {
  struct stat old {};
  const bool existed = ::fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  Placement result = existed ? Placement::Changed : Placement::New;
  // Only a file of the copy is replaced; a symlink, folder or FIFO planted there stays and fails.
  if (existed && !S_ISREG(old.st_mode)) result = Placement::Failed;
  if (existed && result != Placement::Failed && SameAsPlaced(dirFd, name, fd, size, old)) result = Placement::Unchanged;
  if (result == Placement::New || result == Placement::Changed) {
    // A replaced file keeps the permissions its user gave it.
    if (existed) ::fchmod(fd, old.st_mode & 07777);
    if (modified) {
      const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(*modified), 0}};
      ::futimens(fd, times);
    }
  }
  // A close that reports lost bytes (a network file system) leaves the earlier copy.
  const bool closed = ::close(fd) == 0;
  if ((result == Placement::New || result == Placement::Changed) && closed &&
      ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0)
    return result;
  ::unlinkat(dirFd, temp.c_str(), 0);
  return result == Placement::Unchanged ? result : Placement::Failed;
}

// The temporary file `temp` in `dirFd` takes the place of `name`.
Placement PlaceInFolder(int dirFd, const std::string& temp, const std::string& name,
                        std::optional<std::int64_t> modified) {
  int fd = ::openat(dirFd, temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    ::unlinkat(dirFd, temp.c_str(), 0);
    return Placement::Failed;
  }
  return PlaceOpenTemp(dirFd, fd, st.st_size, temp, name, modified);
}

// A new temporary file in `dirFd`, readable too (Place compares it with an earlier copy); its
// name in `temp`. -1 with errno on a failure.
int CreateTemp(int dirFd, std::string& temp) {
  for (int i = 0; i < kTempTries; ++i) {
    temp = TempFileName();
    int fd = ::openat(dirFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the unnamed file `fd` of `size` bytes a temporary name in `dirFd`, in `temp`: a link, or
// where none can be had (no /proc, another file system mounted at the folder) a copy. The
// descriptor of the named file, which may be a new one: `fd` is the callee's either way. -1 when
// neither works, with nothing left behind.
int NameBeside(int dirFd, int fd, off_t size, std::string& temp) {
  for (int i = 0; i < kTempTries; ++i) {
    temp = TempFileName();
    if (LinkUnnamedFile(fd, dirFd, temp.c_str()) == 0) return fd;
    if (errno != EEXIST) break;
  }
  const int named = CreateTemp(dirFd, temp);
  bool copied = named >= 0;
  std::string block;
  for (off_t at = 0; copied && at < size;) {
    block.resize(static_cast<std::size_t>(std::min<off_t>(size - at, static_cast<off_t>(kBufferSize))));
    const ssize_t n = PreadRetrying(fd, block.data(), block.size(), at);
    copied = n > 0 && WriteAll(named, std::string_view(block.data(), static_cast<std::size_t>(n)));
    at += n;
  }
  ::close(fd);
  if (copied) return named;
  if (named >= 0) {
    ::close(named);
    ::unlinkat(dirFd, temp.c_str(), 0);
  }
  temp.clear();
  return -1;
}

// The finished unnamed file `fd`, `size` bytes long, takes the place of `name` in the folder
// `relDir`: where nothing stands there, by one link; where an earlier copy with the same bytes
// does, not at all; else named beside it first and renamed over it as any temporary file is.
// `fd` is closed.
Placement PlaceUnnamed(OpenFolders& folders, std::string_view relDir, int fd, off_t size, const std::string& name,
                       std::optional<std::int64_t> modified) {
  int dirFd = folders.Open(relDir, false);
  struct stat old {};
  const bool found = dirFd >= 0 && ::fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  const bool missing = dirFd >= 0 && !found && errno == ENOENT;
  // An update that finds most files as they were leaves the folders as they were.
  if (found && S_ISREG(old.st_mode) && SameAsPlaced(dirFd, name, fd, size, old)) {
    ::close(fd);
    return Placement::Unchanged;
  }
  if (missing) {
    if (modified) {
      const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(*modified), 0}};
      ::futimens(fd, times);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (LinkUnnamedFile(fd, dirFd, name.c_str()) == 0) {
        // A close that reports lost bytes (a network file system) leaves nothing at the place.
        if (::close(fd) == 0) return Placement::New;
        ::unlinkat(dirFd, name.c_str(), 0);
        return Placement::Failed;
      }
      if (errno != ENOENT || attempt > 0) break;
      // The folder was removed since the run entered it: it is entered afresh, and made again
      // as a file's folders are.
      folders.Forget();
      dirFd = folders.Open(relDir, true);
      if (dirFd < 0) break;
    }
    // EEXIST: a file came meanwhile, and is replaced as any earlier copy. Anything else: this
    // folder takes no links of unnamed files, and the files from here on are named at once.
    if (dirFd >= 0 && errno != EEXIST) folders.StopUnnamedFiles();
  }
  if (dirFd < 0) {
    ::close(fd);
    return Placement::Failed;
  }
  std::string temp;
  const int named = NameBeside(dirFd, fd, size, temp);
  if (named < 0) return Placement::Failed;
  return PlaceOpenTemp(dirFd, named, size, temp, name, modified);
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

OpenFolders::OpenFolders(std::filesystem::path saveFolder, bool filesAhead)
    : m_saveFolder(std::move(saveFolder)), m_filesAhead(filesAhead) {}

OpenFolders::~OpenFolders() { Forget(); }

int OpenFolders::TakeUnnamedFile(int dirFd) {
  if (!m_filesAhead) return -1;
  if (!m_readyFiles) m_readyFiles = std::make_unique<ReadyFiles>(dirFd);
  const int fd = m_readyFiles->Take();
  if (fd < 0) {
    StopUnnamedFiles();
    return -1;
  }
  m_readyFiles->MakeNear(dirFd);
  return fd;
}

void OpenFolders::StopUnnamedFiles() {
  m_filesAhead = false;
  m_readyFiles.reset();
}

void OpenFolders::Forget() {
  for (const auto& [relDir, held] : m_held) ::close(held.fd);
  m_held.clear();
}

void OpenFolders::MakeRoom() {
  if (m_held.size() < kMaxOpenFolders) return;
  // The half used longest ago goes; a site's files mostly come folder by folder.
  std::vector<std::uint64_t> used;
  used.reserve(m_held.size());
  for (const auto& [relDir, held] : m_held) used.push_back(held.used);
  auto middle = used.begin() + static_cast<std::ptrdiff_t>(used.size() / 2);
  std::nth_element(used.begin(), middle, used.end());
  const std::uint64_t oldest = *middle;
  std::erase_if(m_held, [oldest](const auto& entry) {
    if (entry.second.used > oldest) return false;
    ::close(entry.second.fd);
    return true;
  });
}

int OpenFolders::Open(std::string_view relDir, bool create) {
  if (auto found = m_held.find(relDir); found != m_held.end()) {
    found->second.used = ++m_clock;
    return found->second.fd;
  }
  int fd = -1;
  if (relDir.empty()) {
    // The save folder itself is followed: the user chose it, symlink or not.
    fd = ::open(m_saveFolder.empty() ? "." : m_saveFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else {
    std::string_view parent, segment;
    SplitLast(relDir, parent, segment);
    if (segment == "..") {
      errno = EINVAL;
      return -1;
    }
    const int parentFd = Open(parent, create);
    if (parentFd < 0 || segment.empty() || segment == ".") return parentFd;
    const std::string name(segment);
    fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
      // Another process may make it meanwhile; opening it afterwards judges what stands there.
      if (::mkdirat(parentFd, name.c_str(), 0755) == 0 || errno == EEXIST)
        fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
  }
  if (fd < 0) return -1;
  MakeRoom();
  m_held.emplace(std::string(relDir), Held{fd, ++m_clock});
  return fd;
}

LocalFile::~LocalFile() { Discard(); }

bool LocalFile::Create(const std::filesystem::path& saveFolder, std::string_view relPath) {
  Discard();
  m_ownFolders = std::make_unique<OpenFolders>(saveFolder);
  return Create(*m_ownFolders, relPath);
}

bool LocalFile::Create(OpenFolders& folders, std::string_view relPath) {
  Discard();
  m_failed = false;
  m_finished = false;
  m_size = 0;
  std::string_view dir, name;
  SplitLast(relPath, dir, name);
  if (name.empty() || name == "." || name == "..") return false;
  const std::string nameText(name);
  for (int attempt = 0; attempt < 2 && m_fd < 0; ++attempt) {
    // A folder removed since it was entered takes no new file: it is entered afresh, and made
    // again as a file's folders are.
    if (attempt > 0) folders.Forget();
    const int dirFd = folders.Open(dir, attempt > 0);
    if (dirFd < 0) break;
    struct stat st {};
    if (::fstatat(dirFd, nameText.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) break;
    m_fd = folders.TakeUnnamedFile(dirFd);
    m_unnamed = m_fd >= 0;
    if (m_unnamed) break;
    m_fd = CreateTemp(dirFd, m_temp);
    if (m_fd < 0 && errno != ENOENT) break;
  }
  if (m_fd < 0) {
    m_temp.clear();
    return false;
  }
  m_folders = &folders;
  m_relPath = relPath;
  // Grown to kBufferSize only by a file that needs it: a page stays open while every page it
  // links to is fetched, and up to 64 of them nest.
  m_buffer.reserve(kFirstBuffer);
  return true;
}

bool LocalFile::Write(std::string_view data) {
  if (!IsOpen() || m_failed) return false;
  m_size += data.size();
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

bool LocalFile::Close() {
  const int rc = ::close(m_fd);
  m_fd = -1;
  m_finished = false;
  return rc == 0;
}

bool LocalFile::Finish() {
  if (!IsOpen()) return false;
  if (!m_failed) Flush();
  if (m_failed) {
    Discard();
    return false;
  }
  m_finished = true;
  return true;
}

Placement LocalFile::Place(std::optional<std::int64_t> modified) {
  if (!m_finished || (m_temp.empty() && !m_unnamed)) return Placement::Failed;
  std::string_view dir, name;
  SplitLast(m_relPath, dir, name);
  if (m_unnamed) {
    const int fd = m_fd;
    m_fd = -1;
    m_finished = false;
    m_unnamed = false;
    return PlaceUnnamed(*m_folders, dir, fd, static_cast<off_t>(m_size), std::string(name), modified);
  }
  // The folder the file was begun in, as the run entered it.
  const int dirFd = m_folders->Open(dir, false);
  if (dirFd < 0) {
    Discard();
    return Placement::Failed;
  }
  const int fd = m_fd;
  m_fd = -1;
  m_finished = false;
  const std::string temp = std::move(m_temp);
  m_temp.clear();
  return PlaceOpenTemp(dirFd, fd, static_cast<off_t>(m_size), temp, std::string(name), modified);
}

HeldFile LocalFile::Hold(std::optional<std::int64_t> modified) {
  if (m_finished && m_unnamed) {
    // A held file is placed later from a fresh walk, by name.
    std::string_view dir, name;
    SplitLast(m_relPath, dir, name);
    const int dirFd = m_folders->Open(dir, false);
    m_fd = dirFd >= 0 ? NameBeside(dirFd, m_fd, static_cast<off_t>(m_size), m_temp) : (::close(m_fd), -1);
    m_unnamed = false;
    if (m_fd < 0) m_finished = false;
  }
  if (m_finished && !Close()) Discard();
  HeldFile held{m_relPath, std::move(m_temp), modified};
  m_temp.clear();
  return held;
}

void LocalFile::Discard() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_unnamed = false;
  m_finished = false;
  m_buffer.clear();
  if (!m_temp.empty() && m_folders) {
    std::string_view dir, name;
    SplitLast(m_relPath, dir, name);
    if (const int dirFd = m_folders->Open(dir, false); dirFd >= 0) ::unlinkat(dirFd, m_temp.c_str(), 0);
  }
  m_temp.clear();
}

}  // namespace tk

#include "inet/cache.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "base/fd_io.h"
#include "base/hash.h"
#include "base/home_folder.h"
#include "inet/cache_commit.h"

namespace tk::inet {
namespace cache {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMagic = "trawlkit-cache 2";
constexpr std::string_view kEntrySuffix = ".entry";
constexpr std::string_view kPartSuffix = ".part";
// An entry's file ends in a footer of fixed size: "\ntkc2 <body length, 16 hex> <trailer length,
// 8 hex> <trailer checksum, 16 hex>\n". It is read first, and says where the rest is.
constexpr std::size_t kFooterSize = 49;
// An entry up to this size is read in one go and served from memory: one read instead of
// reading its body twice (once to check it, once to serve it).
constexpr std::uint64_t kReadWhole = 256 * 1024;
// A part file is left by a crashed writer, or is being written right now by another process;
// only one this old is surely the former.
constexpr std::int64_t kOrphanAgeNs = 3600LL * 1000000000LL;
// Every file of the folder is opened through its descriptor, never through a link planted in
// its place, and never waits on a FIFO.
constexpr int kNoFollow = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

std::uint64_t Fnv(std::uint64_t h, const char* data, std::size_t n) { return Fnv1a(std::string_view(data, n), h); }

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string KeyOf(std::string_view url) { return Hex(Fnv(kFnvOffset, url.data(), url.size())); }

std::string EntryName(std::string_view url) { return KeyOf(url).append(kEntrySuffix); }

std::string RandomSuffix() {
  // One generator per thread, seeded again in a forked child: two children of one parent must
  // not draw the same names.
  thread_local std::mt19937_64 rng;
  thread_local pid_t seededFor = 0;
  const pid_t pid = detail::ProcessId();
  if (seededFor != pid) {
    seededFor = pid;
    rng.seed(std::random_device{}() ^ (static_cast<std::uint64_t>(seededFor) << 32));
  }
  return Hex(rng());
}

// Writes both parts with as few calls as the kernel allows.
bool WriteBoth(int fd, std::string_view a, std::string_view b) {
  while (!a.empty()) {
    struct iovec io[2] = {{const_cast<char*>(a.data()), a.size()}, {const_cast<char*>(b.data()), b.size()}};
    ssize_t w = ::writev(fd, io, 2);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    const auto done = static_cast<std::size_t>(w);
    if (done >= a.size()) {
      b.remove_prefix(done - a.size());
      a = {};
    } else {
      a.remove_prefix(done);
    }
  }
  return WriteAll(fd, b);
}

bool ReadAt(int fd, char* buf, std::size_t n, std::uint64_t at) {
  while (n > 0) {
    ssize_t r = PreadRetrying(fd, buf, n, static_cast<off_t>(at));
    if (r <= 0) return false;
    buf += r;
    n -= static_cast<std::size_t>(r);
    at += static_cast<std::uint64_t>(r);
  }
  return true;
}

// Holds the cache-wide flock for a commit or an eviction. The lock file also records the folder's
// running total of stored body bytes, kept under the same lock, so that a commit learns whether
// the folder has outgrown its cap without measuring it. The record names the layout: a total
// written for the earlier layout is no total here, so that the folder is measured, and cleared
// of that layout's files, once.
class DirLock {
 public:
  explicit DirLock(int dir) {
    m_fd = ::openat(dir, "lock", O_RDWR | O_CREAT | kNoFollow, 0600);
    struct stat st {};
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(m_fd);
      m_fd = -1;
    }
    if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
  }
  ~DirLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;

  // The recorded total; -1 when there is none (a new or older folder, a lost or garbled file).
  std::int64_t Total() const {
    char buf[kRecordSize + 1];
    if (m_fd < 0 || ::pread(m_fd, buf, sizeof buf, 0) != static_cast<ssize_t>(kRecordSize)) return -1;
    if (std::string_view(buf, kTag.size()) != kTag || buf[kRecordSize - 1] != '\n') return -1;
    std::int64_t total = 0;
    for (std::size_t i = kTag.size(); i + 1 < kRecordSize; ++i) {
      if (buf[i] < '0' || buf[i] > '9') return -1;
      total = total * 10 + (buf[i] - '0');
    }
    return total;
  }
  void SetTotal(std::int64_t total) const {
    if (m_fd < 0) return;
    char buf[kRecordSize + 1];
    std::snprintf(buf, sizeof buf, "%s%020lld\n", kTag.data(), static_cast<long long>(std::max<std::int64_t>(total, 0)));
    if (::pwrite(m_fd, buf, kRecordSize, 0) != static_cast<ssize_t>(kRecordSize)) ::ftruncate(m_fd, 0);
  }

 private:
  static constexpr std::string_view kTag = "2 ";
  static constexpr std::size_t kRecordSize = 2 + 21;  // the tag, twenty digits and a line end
  int m_fd = -1;
};

// The trailer and footer that follow an entry's body; `meta.length` and `meta.checksum` are final.
std::string SerializeTrailer(const Meta& m) {
  std::string out;
  out.reserve(200 + kFooterSize + m.url.size() + m.etag.size() + m.lastModified.size() + m.body.size() +
              m.headers.size());
  out.append(kMagic).append("\n");
  out.append("url ").append(m.url).append("\n");
  out.append("complete ").append(m.complete ? "1" : "0").append("\n");
  out.append("length ").append(std::to_string(m.length)).append("\n");
  out.append("expected ").append(std::to_string(m.expected)).append("\n");
  out.append("checksum ").append(Hex(m.checksum)).append("\n");
  out.append("etag ").append(m.etag).append("\n");
  out.append("last-modified ").append(m.lastModified).append("\n");
  out.append("id ").append(m.body).append("\n");
  out.append("headers ").append(std::to_string(m.headers.size())).append("\n");
  out.append(m.headers);
  char footer[kFooterSize + 1];
  std::snprintf(footer, sizeof footer, "\ntkc2 %016llx %08llx %016llx\n", static_cast<unsigned long long>(m.length),
                static_cast<unsigned long long>(out.size()),
                static_cast<unsigned long long>(Fnv(kFnvOffset, out.data(), out.size())));
  out.append(footer, kFooterSize);
  return out;
}

// What a footer says.
struct Footer {
  std::uint64_t length = 0;   // of the body
  std::uint64_t trailer = 0;  // of the trailer before the footer
  std::uint64_t checksum = 0; // of that trailer
};

bool ParseHex(std::string_view text, std::uint64_t& v) {
  v = 0;
  for (char c : text) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<std::uint64_t>(d);
  }
  return !text.empty();
}

// A footer that fits a file of `size` bytes.
bool ParseFooter(std::string_view f, std::uint64_t size, Footer& out) {
  if (f.size() != kFooterSize || f.substr(0, 6) != "\ntkc2 " || f[22] != ' ' || f[31] != ' ' || f[48] != '\n')
    return false;
  if (!ParseHex(f.substr(6, 16), out.length) || !ParseHex(f.substr(23, 8), out.trailer) ||
      !ParseHex(f.substr(32, 16), out.checksum))
    return false;
  return out.trailer <= kMaxMetaBytes && out.length <= size && size - out.length == out.trailer + kFooterSize;
}

bool ParseU64(std::string_view text, std::uint64_t& v) {
  v = 0;
  if (text.empty() || text.size() > 19) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

bool ParseTrailer(std::string_view text, Meta& m) {
  auto line = [&](std::string_view name, std::string& value) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos || text.substr(0, name.size()) != name) return false;
    if (name.size() > end || (name.size() < end && text[name.size()] != ' ')) return false;
    value.assign(text.substr(std::min(end, name.size() + 1), end - std::min(end, name.size() + 1)));
    text.remove_prefix(end + 1);
    return true;
  };
  std::string magic, complete, length, expected, checksum, headerSize;
  if (!line(kMagic, magic) || !line("url", m.url) || !line("complete", complete) || !line("length", length) ||
      !line("expected", expected) || !line("checksum", checksum) || !line("etag", m.etag) ||
      !line("last-modified", m.lastModified) || !line("id", m.body) || !line("headers", headerSize))
    return false;
  std::uint64_t size = 0;
  if ((complete != "0" && complete != "1") || !ParseU64(length, m.length) || !ParseHex(checksum, m.checksum) ||
      !ParseU64(headerSize, size) || size != text.size())
    return false;
  m.complete = complete == "1";
  if (expected == "-1") {
    m.expected = -1;
  } else {
    std::uint64_t e = 0;
    if (!ParseU64(expected, e)) return false;
    m.expected = static_cast<std::int64_t>(e);
  }
  m.headers.assign(text);
  if (m.body.empty()) return false;
  if (m.complete && m.expected >= 0 && static_cast<std::uint64_t>(m.expected) != m.length) return false;
  return true;
}

// An entry's file, opened and checked: its footer, trailer and body checksum agree.
struct OpenedEntry {
  int fd = -1;
  Meta meta;
  std::string held;  // the whole body, when the file was small enough to read in one go
  bool inMemory = false;
};

// Opens the regular file `name` of the folder, without following a link or waiting on a FIFO.
int OpenRegular(int dir, const char* name, struct stat& st) {
  int fd = ::openat(dir, name, O_RDONLY | kNoFollow);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool ReadEntryFile(int dir, const std::string& name, OpenedEntry& out) {
  struct stat st {};
  int fd = OpenRegular(dir, name.c_str(), st);
  if (fd < 0) return false;
  out.fd = fd;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size < kFooterSize) return false;
  Footer footer;
  std::string trailer;
  if (size <= kReadWhole) {
    std::string whole(size, '\0');
    if (!ReadAt(fd, whole.data(), whole.size(), 0) ||
        !ParseFooter(std::string_view(whole).substr(size - kFooterSize), size, footer))
      return false;
    trailer.assign(whole, footer.length, footer.trailer);
    whole.resize(footer.length);
    out.held = std::move(whole);
    out.inMemory = true;
  } else {
    char f[kFooterSize];
    if (!ReadAt(fd, f, kFooterSize, size - kFooterSize) || !ParseFooter(std::string_view(f, kFooterSize), size, footer))
      return false;
    trailer.resize(footer.trailer);
    if (!ReadAt(fd, trailer.data(), trailer.size(), footer.length)) return false;
  }
  if (Fnv(kFnvOffset, trailer.data(), trailer.size()) != footer.checksum || !ParseTrailer(trailer, out.meta) ||
      out.meta.length != footer.length)
    return false;
  // The whole stored body is checked before a byte of it is served: a damaged entry must never
  // reach a saved file.
  std::uint64_t h = kFnvOffset;
  if (out.inMemory) {
    h = Fnv(h, out.held.data(), out.held.size());
  } else {
    std::vector<char> buf(1 << 16);
    for (std::uint64_t at = 0; at < footer.length;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), footer.length - at));
      if (!ReadAt(fd, buf.data(), n, at)) return false;
      h = Fnv(h, buf.data(), n);
      at += n;
    }
  }
  return h == out.meta.checksum;
}

// The body length its footer gives an entry's file, without reading the rest; -1 when the file
// is missing or no entry. `st` receives the file's status.
std::int64_t StoredLength(int dir, const char* name, struct stat& st) {
  int fd = OpenRegular(dir, name, st);
  if (fd < 0) return -1;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  char f[kFooterSize];
  Footer footer;
  bool ok = size >= kFooterSize && ReadAt(fd, f, kFooterSize, size - kFooterSize) &&
            ParseFooter(std::string_view(f, kFooterSize), size, footer);
  ::close(fd);
  return ok ? static_cast<std::int64_t>(footer.length) : -1;
}

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// The status of a name in the folder itself, a link not followed.
bool StatIn(int dir, const std::string& name, struct stat& st) {
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void RemoveIn(int dir, const std::string& name) { ::unlinkat(dir, name.c_str(), 0); }

// An entry met by a scan of the folder.
struct Scanned {
  std::int64_t used;  // the entry file's modification time, in nanoseconds
  std::string name;   // inside the folder
  std::uint64_t size;
  bool operator<(const Scanned& o) const { return used < o.used; }
};

bool EndsWith(const std::string& name, std::string_view suffix) {
  return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Files of the earlier two-file layout: never read, cleared by the first scan.
bool EarlierLayout(const std::string& name) {
  return EndsWith(name, ".meta") || EndsWith(name, ".body") ||
         (EndsWith(name, ".tmp") && name.find(".meta.") != std::string::npos);
}

// The names of entries' files in the folder, read through a descriptor of its own.
std::vector<std::string> NamesIn(int dir) {
  std::vector<std::string> names;
  int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (!d) {
    if (fd >= 0) ::close(fd);
    return names;
  }
  while (const dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (EndsWith(name, kEntrySuffix) || EndsWith(name, kPartSuffix) || EarlierLayout(name))
      names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

// One pass over the folder: drops files that are no entry, old part files and the earlier
// layout's files; returns the stored total and keeps the `keep` least recently used entries in
// `oldest` (a heap with the most recent of them on top), so that memory stays the same however
// many entries the folder holds.
std::uint64_t ScanOnce(int dir, std::size_t keep, std::vector<Scanned>& oldest) {
  std::uint64_t total = 0;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  for (const std::string& name : NamesIn(dir)) {
    struct stat st {};
    if (EarlierLayout(name)) {
      RemoveIn(dir, name);
      continue;
    }
    if (EndsWith(name, kPartSuffix)) {
      // Looked at only once old: one being written now is another writer's.
      if (StatIn(dir, name, st) && Nanoseconds(now) - Nanoseconds(st.st_mtim) > kOrphanAgeNs) RemoveIn(dir, name);
      continue;
    }
    const std::int64_t length = StoredLength(dir, name.c_str(), st);
    if (length < 0) {
      RemoveIn(dir, name);
      continue;
    }
    const auto size = static_cast<std::uint64_t>(length);
    total += size;
    Scanned s{Nanoseconds(st.st_mtim), name, size};
    if (oldest.size() < keep) {
      oldest.push_back(std::move(s));
      std::push_heap(oldest.begin(), oldest.end());
    } else if (s < oldest.front()) {
      std::pop_heap(oldest.begin(), oldest.end());
      oldest.back() = std::move(s);
      std::push_heap(oldest.begin(), oldest.end());
    }
  }
  return total;
}

// Under the directory lock: measures every entry, drops orphans, evicts the least recently used
// entries until the total fits the cap, and returns the new total. Rare: only when the recorded
// total is missing or over the cap.
std::int64_t ScanAndEvict(int dir, std::uint64_t limit) {
  constexpr std::size_t kOldestPerPass = 1024;
  std::uint64_t target = 0;
  for (int pass = 0;; ++pass) {
    std::vector<Scanned> oldest;
    oldest.reserve(kOldestPerPass);
    std::uint64_t total = ScanOnce(dir, kOldestPerPass, oldest);
    // An eviction goes a little below the cap, so that a full cache is scanned once per eighth of
    // its size written, not once per entry.
    if (pass == 0) target = total > limit ? limit - limit / 8 : limit;
    if (total <= target) return static_cast<std::int64_t>(total);
    std::sort_heap(oldest.begin(), oldest.end());
    for (const Scanned& s : oldest) {
      if (total <= target) break;
      RemoveIn(dir, s.name);
      total -= s.size;
    }
    // More to evict than one pass held: the next pass finds the next oldest.
    if (total <= target || oldest.empty()) return static_cast<std::int64_t>(total);
  }
}

// Creates an entry's part file in the folder.
int OpenPart(int dir, const std::string& name) {
  return ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

std::string PartName(const Meta& meta) { return meta.body + std::string(kPartSuffix); }

// Under the directory lock: the rename of the part file to the entry's name publishes it. Adds
// to `grown` the bytes the folder gained. Most commits make an entry that was not there, and the
// rename alone says so; only one that replaces an entry reads what it replaces.
void SwapIn(int dir, const Meta& meta, std::int64_t& grown) {
  const std::string part = PartName(meta);
  const std::string name = EntryName(meta.url);
  if (::renameat2(dir, part.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0) {
    grown += static_cast<std::int64_t>(meta.length);
    return;
  }
  if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) {
    RemoveIn(dir, part);
    return;
  }
  struct stat st {};
  const std::int64_t old = StoredLength(dir, name.c_str(), st);
  if (::renameat(dir, part.c_str(), dir, name.c_str()) != 0) {
    RemoveIn(dir, part);
    return;
  }
  grown += static_cast<std::int64_t>(meta.length) - std::max<std::int64_t>(old, 0);
}

// Under the directory lock, after entries were swapped in: the recorded total grows by `grown`,
// and the folder is measured again (evicting) when it has none or it has outgrown the cap.
void KeepTotal(int dir, const DirLock& lock, std::int64_t grown, std::uint64_t sizeLimit) {
  const auto limit = static_cast<std::int64_t>(sizeLimit);
  std::int64_t total = lock.Total();
  if (total >= 0) total += grown;
  if (total < 0 || total > limit) total = ScanAndEvict(dir, static_cast<std::uint64_t>(limit));
  lock.SetTotal(total);
}

// Publishes one entry whose part file is complete. Evicts when the cache has outgrown its cap.
void Publish(int dir, const Meta& meta, std::uint64_t sizeLimit) {
  DirLock lock(dir);
  std::int64_t grown = 0;
  SwapIn(dir, meta, grown);
  KeepTotal(dir, lock, grown, sizeLimit);
}

// Makes each missing folder of `dir` for this user only.
void MakeFolders(const fs::path& dir) {
  fs::path made;
  for (const fs::path& part : dir) {
    made /= part;
    if (made == made.root_path()) continue;
    ::mkdir(made.c_str(), 0700);
  }
}

bool PrivateTo(const struct stat& st) {
  return st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens the cache folder, made when missing, and checks that no other user can change what it
// holds. -1 with `why` filled when it cannot be used.
int OpenPrivateFolder(const fs::path& dir, std::string& why) {
  if (dir.empty() || !dir.is_absolute()) {
    why = "no home folder to keep it in";
    return -1;
  }
  MakeFolders(dir);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    why = dir.string() + " is not a folder";
    return -1;
  }
  if (!S_ISDIR(st.st_mode) || !PrivateTo(st)) {
    ::close(fd);
    why = dir.string() + " is not a folder of this user alone";
    return -1;
  }
  if (StatIn(fd, "lock", st) && (!S_ISREG(st.st_mode) || !PrivateTo(st))) {
    ::close(fd);
    why = (dir / "lock").string() + " is not a file of this user alone";
    return -1;
  }
  return fd;
}

}  // namespace

fs::path DefaultDirectory() { return DirectoryFor(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")); }

fs::path DirectoryFor(const char* xdg, const char* home) {
  if (xdg && *xdg == '/') return fs::path(xdg) / "trawlkit";
  // A shared folder such as /tmp is never the cache's: another user could plant entries there,
  // or links.
  const std::string base = HomeFolderFor(home);
  if (base.empty()) return {};
  return fs::path(base) / ".cache" / "trawlkit";
}

fs::path MetaPathIn(const fs::path& dir, std::string_view url) { return dir / EntryName(url); }

Cache::Cache(fs::path dir, std::uint64_t sizeLimit)
    : m_dir(std::move(dir)),
      m_sizeLimit(sizeLimit),
      m_committer(std::make_unique<detail::Committer>(sizeLimit)) {}

Cache::~Cache() {
  // Whatever is still queued is written before the folder goes.
  m_committer.reset();
}

namespace detail {
FolderFd::~FolderFd() { ::close(fd); }
}  // namespace detail

std::string Cache::Open() {
  Folder();
  std::lock_guard lock(m_folderMutex);
  return m_refusal;
}

std::shared_ptr<const detail::FolderFd> Cache::Folder(bool again) {
  std::lock_guard lock(m_folderMutex);
  // A refused folder stays refused for the cache's life: the run goes on without it.
  if (m_opened && (!again || !m_refusal.empty())) return m_folder;
  m_opened = true;
  std::string why;
  int fd = OpenPrivateFolder(m_dir, why);
  if (fd >= 0) {
    m_folder = std::make_shared<const detail::FolderFd>(fd);
  } else if (!again) {
    m_refusal = why;
    m_folder.reset();
  }
  return m_folder;
}

fs::path Cache::MetaPathFor(std::string_view url) {
  m_committer->WaitFor(url);
  return MetaPathIn(m_dir, url);
}

Entry::~Entry() {
  if (m_fd >= 0) ::close(m_fd);
}

long Entry::Read(char* buf, std::size_t n) {
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_meta.length - std::min(m_pos, m_meta.length)));
  if (want == 0) return 0;
  if (m_inMemory) {
    std::memcpy(buf, m_held.data() + m_pos, want);
    m_pos += want;
    return static_cast<long>(want);
  }
  const ssize_t r = PreadRetrying(m_fd, buf, want, static_cast<off_t>(m_pos));
  if (r > 0) m_pos += static_cast<std::uint64_t>(r);
  return static_cast<long>(r);
}

long Entry::ReadPrefix(char* buf, std::size_t max, std::uint64_t& left, Error& err) {
  long n = Read(buf, static_cast<std::size_t>(std::min<std::uint64_t>(max, left)));
  if (n <= 0) {
    err = MakeError(ErrorCode::Internal, "the cache entry could not be read");
    return -1;
  }
  left -= static_cast<std::uint64_t>(n);
  return n;
}

std::unique_ptr<Entry> Cache::Lookup(std::string_view url) {
  m_committer->WaitFor(url);
  const auto folder = Folder();
  if (!folder) return nullptr;
  OpenedEntry found;
  const bool ok = ReadEntryFile(folder->fd, EntryName(url), found) && found.meta.url == url;
  if (!ok) {
    if (found.fd >= 0) ::close(found.fd);
    return nullptr;
  }
  ::futimens(found.fd, nullptr);  // least recently used goes first
  return std::make_unique<Entry>(std::move(found.meta), found.fd, std::move(found.held));
}

void Cache::Remove(std::string_view url) {
  m_committer->WaitFor(url);
  const auto folder = Folder();
  if (!folder) return;
  const int dir = folder->fd;
  const std::string name = EntryName(url);
  DirLock lock(dir);
  struct stat st {};
  const std::int64_t length = StoredLength(dir, name.c_str(), st);
  if (::unlinkat(dir, name.c_str(), 0) == 0 && length > 0) {
    std::int64_t total = lock.Total();
    if (total >= 0) lock.SetTotal(total - length);
  }
}

std::unique_ptr<Writer> Writer::Create(std::shared_ptr<Cache> cache, const Meta& meta, bool deferred) {
  Meta m = meta;
  m.complete = false;
  m.length = 0;
  m.checksum = kFnvOffset;
  m.body = KeyOf(m.url) + "." + RandomSuffix();
  if (deferred) return std::unique_ptr<Writer>(new Writer(std::move(m), std::move(cache), -1, nullptr));
  auto folder = cache->Folder();
  if (!folder) return nullptr;
  int fd = OpenPart(folder->fd, PartName(m));
  // A folder removed during the run is made again.
  if (fd < 0 && errno == ENOENT && (folder = cache->Folder(true))) fd = OpenPart(folder->fd, PartName(m));
  if (fd < 0) return nullptr;
  return std::unique_ptr<Writer>(new Writer(std::move(m), std::move(cache), fd, std::move(folder)));
}

Writer::~Writer() {
  if (!m_finished) Finish(false);
}

bool Writer::CopyFrom(Entry& entry) {
  std::vector<char> buf(1 << 16);
  entry.Rewind();
  for (;;) {
    long r = entry.Read(buf.data(), buf.size());
    if (r < 0) {
      m_failed = true;
      break;
    }
    if (r == 0) break;
    Append(buf.data(), static_cast<std::size_t>(r));
  }
  entry.Rewind();
  return !m_failed;
}

bool Writer::LeaveMemory() {
  m_folder = m_cache->Folder();
  m_fd = m_folder ? OpenPart(m_folder->fd, PartName(m_meta)) : -1;
  m_inMemory = false;
  bool ok = m_fd >= 0 && WriteAll(m_fd, m_held);
  std::string().swap(m_held);
  return ok;
}

void Writer::Append(const char* data, std::size_t n) {
  if (m_failed || n == 0) return;
  if (m_inMemory && m_held.size() + n > kHeldInMemory && !LeaveMemory()) m_failed = true;
  if (m_failed) return;
  if (m_inMemory) {
    m_held.append(data, n);
  } else if (!WriteAll(m_fd, std::string_view(data, n))) {
    m_failed = true;
    return;
  }
  m_meta.length += n;
  m_meta.checksum = Fnv(m_meta.checksum, data, n);
}

void Writer::Finish(bool complete) {
  if (m_finished) return;
  m_finished = true;
  m_meta.complete = complete &&
                    (m_meta.expected < 0 || static_cast<std::uint64_t>(m_meta.expected) == m_meta.length);
  bool resumable = !m_meta.etag.empty() || !m_meta.lastModified.empty();
  bool keep = !m_failed && (m_meta.complete || (resumable && m_meta.length > 0));
  if (m_inMemory) {
    if (!keep) return;
    // A folder refused or gone: the entry is simply not kept.
    if (auto folder = m_cache->Folder()) m_cache->m_committer->Push({std::move(folder), m_meta, std::move(m_held)});
    return;
  }
  if (keep && m_fd >= 0) {
    const std::string trailer = SerializeTrailer(m_meta);
    keep = WriteAll(m_fd, trailer);
  }
  bool closedOk = m_fd < 0 || ::close(m_fd) == 0;
  m_fd = -1;
  if (!m_folder) return;
  if (!keep || !closedOk) {
    RemoveIn(m_folder->fd, PartName(m_meta));
    return;
  }
  // An entry of this URL that this process finished earlier and still holds must not land
  // after this one.
  m_cache->m_committer->WaitFor(m_meta.url);
  Publish(m_folder->fd, m_meta, m_cache->SizeLimit());
}

namespace detail {

namespace {

// Writes a held entry's part file; false, with nothing left, when it cannot be.
bool WritePart(int dir, const Held& h) {
  const std::string part = PartName(h.meta);
  const int fd = OpenPart(dir, part);
  if (fd < 0) return false;
  bool ok = WriteBoth(fd, h.body, SerializeTrailer(h.meta));
  if (::close(fd) != 0) ok = false;
  if (!ok) RemoveIn(dir, part);
  return ok;
}

// Under the directory lock: the unnamed file `fd`, written whole, is linked at the entry's name.
// Most commits make an entry that was not there, and the link alone publishes it (it never
// replaces one). Where an entry stands, or the file system links no unnamed file, the entry
// goes the way of a part file.
void LinkIn(int dir, int fd, const Held& h, std::int64_t& grown) {
  if (LinkUnnamedFile(fd, dir, EntryName(h.meta.url).c_str()) == 0) {
    grown += static_cast<std::int64_t>(h.meta.length);
    return;
  }
  const bool taken = errno == EEXIST;
  if ((taken && LinkUnnamedFile(fd, dir, PartName(h.meta).c_str()) == 0) || WritePart(dir, h))
    SwapIn(dir, h.meta, grown);
}

}  // namespace

void WriteHeld(std::vector<Held>& batch, std::uint64_t sizeLimit) {
  // Each entry's file is written first, then the whole batch is published under one lock,
  // folder by folder (a batch almost always has one). A file with no name until it is published
  // costs the folder one new name per entry, where a part file renamed costs it three changes.
  std::vector<int> unnamed(batch.size(), -1);
  std::vector<bool> written(batch.size(), false);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Held& h = batch[i];
    const int dir = h.folder->fd;
    const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
      written[i] = WritePart(dir, h);
    } else if (WriteBoth(fd, h.body, SerializeTrailer(h.meta))) {
      unnamed[i] = fd;
      written[i] = true;
    } else {
      ::close(fd);
    }
  }
  for (std::size_t first = 0; first < batch.size(); ++first) {
    if (!written[first]) continue;
    const auto folder = batch[first].folder;
    DirLock lock(folder->fd);
    std::int64_t grown = 0;
    for (std::size_t i = first; i < batch.size(); ++i) {
      if (!written[i] || batch[i].folder != folder) continue;
      if (unnamed[i] >= 0) {
        LinkIn(folder->fd, unnamed[i], batch[i], grown);
        ::close(unnamed[i]);
      } else {
        SwapIn(folder->fd, batch[i].meta, grown);
      }
      written[i] = false;
    }
    KeepTotal(folder->fd, lock, grown, sizeLimit);
  }
}

}  // namespace detail

}  // namespace cache
}  // namespace tk::inet

#include "inet/cache.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <vector>

#include "base/fd_io.h"
#include "base/hash.h"
#include "base/home_folder.h"
#include "inet/cache_commit.h"

namespace tk::inet {
namespace cache {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMagic = "trawlkit-cache 1";
// A body file that no metadata names is left by a crashed writer, or is being written right now
// by another process; only one this old is surely the former.
constexpr std::int64_t kOrphanAgeNs = 3600LL * 1000000000LL;
// Every file of the folder is opened through its descriptor, never through a link planted in
// its place, and never waits on a FIFO.
constexpr int kNoFollow = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

std::string Hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string KeyOf(std::string_view url) { return Hex(Fnv1a(url)); }

std::string RandomSuffix() {
  // One generator per thread, seeded again in a forked child: two children of one parent must
  // not draw the same names.
  thread_local std::mt19937_64 rng;
  thread_local pid_t seededFor = 0;
  if (seededFor != ::getpid()) {
    seededFor = ::getpid();
    rng.seed(std::random_device{}() ^ (static_cast<std::uint64_t>(seededFor) << 32));
  }
  return Hex(rng());
}

// Holds the cache-wide flock for a commit or an eviction. The lock file also records the folder's
// running total of stored body bytes, kept under the same lock, so that a commit learns whether
// the folder has outgrown its cap without measuring it.
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
    char buf[kTotalWidth + 1];
    if (m_fd < 0 || ::pread(m_fd, buf, sizeof buf, 0) != static_cast<ssize_t>(kTotalWidth)) return -1;
    if (buf[kTotalWidth - 1] != '\n') return -1;
    std::int64_t total = 0;
    for (std::size_t i = 0; i + 1 < kTotalWidth; ++i) {
      if (buf[i] < '0' || buf[i] > '9') return -1;
      total = total * 10 + (buf[i] - '0');
    }
    return total;
  }
  void SetTotal(std::int64_t total) const {
    if (m_fd < 0) return;
    char buf[kTotalWidth + 1];
    std::snprintf(buf, sizeof buf, "%020lld\n", static_cast<long long>(std::max<std::int64_t>(total, 0)));
    if (::pwrite(m_fd, buf, kTotalWidth, 0) != static_cast<ssize_t>(kTotalWidth)) ::ftruncate(m_fd, 0);
  }

 private:
  static constexpr std::size_t kTotalWidth = 21;  // twenty digits and a line end
  int m_fd = -1;
};

std::string SerializeMeta(const Meta& m) {
  std::string out;
  out.reserve(200 + m.url.size() + m.etag.size() + m.lastModified.size() + m.body.size() + m.headers.size());
  out.append(kMagic).append("\n");
  out.append("url ").append(m.url).append("\n");
  out.append("complete ").append(m.complete ? "1" : "0").append("\n");
  out.append("length ").append(std::to_string(m.length)).append("\n");
  out.append("expected ").append(std::to_string(m.expected)).append("\n");
  out.append("checksum ").append(Hex(m.checksum)).append("\n");
  out.append("etag ").append(m.etag).append("\n");
  out.append("last-modified ").append(m.lastModified).append("\n");
  out.append("body ").append(m.body).append("\n");
  out.append("headers ").append(std::to_string(m.headers.size())).append("\n");
  out.append(m.headers);
  return out;
}

bool ParseMeta(const std::string& text, Meta& m) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return false;
  auto field = [&](const char* name, std::string& value) {
    if (!std::getline(in, line)) return false;
    std::string prefix = std::string(name) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    value = line.substr(prefix.size());
    return true;
  };
  std::string complete, length, expected, checksum, headerSize;
  if (!field("url", m.url) || !field("complete", complete) || !field("length", length) ||
      !field("expected", expected) || !field("checksum", checksum) || !field("etag", m.etag) ||
      !field("last-modified", m.lastModified) || !field("body", m.body) ||
      !field("headers", headerSize))
    return false;
  try {
    m.complete = complete == "1";
    m.length = std::stoull(length);
    m.expected = std::stoll(expected);
    m.checksum = std::stoull(checksum, nullptr, 16);
    std::size_t size = std::stoull(headerSize);
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (rest.size() != size) return false;
    m.headers = std::move(rest);
  } catch (...) {
    return false;
  }
  // A body name is a plain file name inside the cache folder.
  if (m.body.empty() || m.body.find('/') != std::string::npos || m.body[0] == '.') return false;
  if (m.complete && m.expected >= 0 && static_cast<std::uint64_t>(m.expected) != m.length)
    return false;
  return true;
}

// A regular file of at most `max` bytes in the folder, read whole; false for anything else (a
// link, a FIFO, a device, a file too large).
bool ReadSmallFile(int dir, const std::string& name, std::uint64_t max, std::string& text) {
  int fd = ::openat(dir, name.c_str(), O_RDONLY | kNoFollow);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= max;
  ok = ok && ReadToEnd(fd, text, max) == ReadEnd::Done;
  ::close(fd);
  return ok;
}

bool ReadMetaFile(int dir, const std::string& name, Meta& m) {
  // Plain reads: every commit asks for the old metadata, and most of the time there is none.
  std::string text;
  return ReadSmallFile(dir, name, kMaxMetaBytes, text) && ParseMeta(text, m);
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
  std::int64_t used;  // the metadata's modification time, in nanoseconds
  std::string meta;   // file names inside the folder
  std::string body;
  std::uint64_t size;
  bool operator<(const Scanned& o) const { return used < o.used; }
};

// Whether a body file is named by the metadata of its key: "<key>.<random>.body".
bool Named(int dir, const std::string& body) {
  Meta m;
  std::size_t dot = body.find('.');
  return dot != std::string::npos && ReadMetaFile(dir, body.substr(0, dot) + ".meta", m) && m.body == body;
}

bool EndsWith(const std::string& name, std::string_view suffix) {
  return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
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
    if (EndsWith(name, ".body") || EndsWith(name, ".meta")) names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

// One pass over the folder: drops unreadable metadata, metadata whose body is gone and orphan
// bodies; returns the stored total and keeps the `keep` least recently used entries in `oldest`
// (a heap with the most recent of them on top), so that memory stays the same however many
// entries the folder holds.
std::uint64_t ScanOnce(int dir, std::size_t keep, std::vector<Scanned>& oldest) {
  std::uint64_t total = 0;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  for (const std::string& name : NamesIn(dir)) {
    struct stat st {};
    if (EndsWith(name, ".body")) {
      // Bodies are looked at only once old: one being written is not yet named by anything.
      if (StatIn(dir, name, st) && Nanoseconds(now) - Nanoseconds(st.st_mtim) > kOrphanAgeNs && !Named(dir, name))
        RemoveIn(dir, name);
      continue;
    }
    Meta m;
    struct stat metaStat {};
    if (!StatIn(dir, name, metaStat) || !ReadMetaFile(dir, name, m) || !StatIn(dir, m.body, st) ||
        !S_ISREG(st.st_mode)) {
      RemoveIn(dir, name);
      continue;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    total += size;
    Scanned s{Nanoseconds(metaStat.st_mtim), name, std::move(m.body), size};
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

// Under the directory lock: measures every entry, drops orphan bodies, evicts the least recently
// used entries until the total fits the cap, and returns the new total. Rare: only when the
// recorded total is missing or over the cap.
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
      RemoveIn(dir, s.meta);
      RemoveIn(dir, s.body);
      total -= s.size;
    }
    // More to evict than one pass held: the next pass finds the next oldest.
    if (total <= target || oldest.empty()) return static_cast<std::int64_t>(total);
  }
}

// Creates a body file in the folder.
int OpenBody(int dir, const std::string& name) {
  return ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Writes the metadata of an entry whose body file is complete under a temporary name, to be
// swapped in. False (and the body removed) when it cannot be written.
bool WriteMetaTemp(int dir, const Meta& meta, std::string& tmp) {
  tmp = KeyOf(meta.url) + ".meta." + RandomSuffix() + ".tmp";
  std::string text = SerializeMeta(meta);
  int fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && WriteAll(fd, text);
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (!ok) {
    RemoveIn(dir, tmp);
    RemoveIn(dir, meta.body);
  }
  return ok;
}

// Under the directory lock: the rename of the metadata over the old one publishes the entry.
// Adds to `grown` the bytes the folder gained.
void SwapIn(int dir, const Meta& meta, const std::string& tmp, std::int64_t& grown) {
  const std::string metaName = KeyOf(meta.url) + ".meta";
  Meta old;
  bool hadOld = ReadMetaFile(dir, metaName, old) && old.body != meta.body;
  if (::renameat(dir, tmp.c_str(), dir, metaName.c_str()) != 0) {
    RemoveIn(dir, tmp);
    RemoveIn(dir, meta.body);
    return;
  }
  grown += static_cast<std::int64_t>(meta.length);
  if (hadOld) {
    RemoveIn(dir, old.body);
    grown -= static_cast<std::int64_t>(old.length);
  }
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

// Publishes one entry whose body file is complete. Evicts when the cache has outgrown its cap.
void Publish(int dir, const Meta& meta, std::uint64_t sizeLimit) {
  std::string tmp;
  if (!WriteMetaTemp(dir, meta, tmp)) return;
  DirLock lock(dir);
  std::int64_t grown = 0;
  SwapIn(dir, meta, tmp, grown);
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

fs::path MetaPathIn(const fs::path& dir, std::string_view url) { return dir / (KeyOf(url) + ".meta"); }

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
  return static_cast<long>(ReadRetrying(m_fd, buf, n));
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
  const std::string metaName = MetaPathFor(url).filename().string();
  const auto folder = Folder();
  if (!folder) return nullptr;
  const int dir = folder->fd;
  Meta m;
  if (!ReadMetaFile(dir, metaName, m) || m.url != url) return nullptr;
  int fd = ::openat(dir, m.body.c_str(), O_RDONLY | kNoFollow);
  if (fd < 0) return nullptr;
  auto entry = std::make_unique<Entry>(m, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != m.length)
    return nullptr;
  // The whole stored body is checked before a byte of it is served: a damaged entry must never
  // reach a saved file.
  std::uint64_t h = kFnvOffset;
  std::vector<char> buf(1 << 16);
  for (;;) {
    long r = entry->Read(buf.data(), buf.size());
    if (r < 0) return nullptr;
    if (r == 0) break;
    h = Fnv1a(std::string_view(buf.data(), static_cast<std::size_t>(r)), h);
  }
  if (h != m.checksum || ::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  ::utimensat(dir, metaName.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);  // least recently used goes first
  return entry;
}

void Cache::Remove(std::string_view url) {
  const std::string metaName = MetaPathFor(url).filename().string();
  const auto folder = Folder();
  if (!folder) return;
  const int dir = folder->fd;
  DirLock lock(dir);
  Meta m;
  if (ReadMetaFile(dir, metaName, m) && m.url == url && ::unlinkat(dir, m.body.c_str(), 0) == 0) {
    std::int64_t total = lock.Total();
    if (total >= 0) lock.SetTotal(total - static_cast<std::int64_t>(m.length));
  }
  RemoveIn(dir, metaName);
}

std::unique_ptr<Writer> Writer::Create(std::shared_ptr<Cache> cache, const Meta& meta, bool deferred) {
  Meta m = meta;
  m.complete = false;
  m.length = 0;
  m.checksum = kFnvOffset;
  m.body = KeyOf(m.url) + "." + RandomSuffix() + ".body";
  if (deferred) return std::unique_ptr<Writer>(new Writer(std::move(m), std::move(cache), -1, nullptr));
  auto folder = cache->Folder();
  if (!folder) return nullptr;
  int fd = OpenBody(folder->fd, m.body);
  // A folder removed during the run is made again.
  if (fd < 0 && errno == ENOENT && (folder = cache->Folder(true))) fd = OpenBody(folder->fd, m.body);
  if (fd < 0) return nullptr;
  return std::unique_ptr<Writer>(new Writer(std::move(m), std::move(cache), fd, std::move(folder)));
}

Writer::~Writer() {
  if (!m_finished) Finish(false);
}

bool Writer::CopyFrom(Entry& entry) {
  std::vector<char> buf(1 << 16);
  if (::lseek(entry.fd(), 0, SEEK_SET) != 0) {
    m_failed = true;
    return false;
  }
  for (;;) {
    long r = entry.Read(buf.data(), buf.size());
    if (r < 0) {
      m_failed = true;
      break;
    }
    if (r == 0) break;
    Append(buf.data(), static_cast<std::size_t>(r));
  }
  ::lseek(entry.fd(), 0, SEEK_SET);
  return !m_failed;
}

bool Writer::LeaveMemory() {
  m_folder = m_cache->Folder();
  m_fd = m_folder ? OpenBody(m_folder->fd, m_meta.body) : -1;
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
  m_meta.checksum = Fnv1a(std::string_view(data, n), m_meta.checksum);
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
  bool closedOk = m_fd < 0 || ::close(m_fd) == 0;
  m_fd = -1;
  if (!m_folder) return;
  if (!keep || !closedOk) {
    RemoveIn(m_folder->fd, m_meta.body);
    return;
  }
  Publish(m_folder->fd, m_meta, m_cache->SizeLimit());
}

namespace detail {

void WriteHeld(std::vector<Held>& batch, std::uint64_t sizeLimit) {
  // Each entry's files are written first, then the whole batch is swapped in under one lock,
  // folder by folder (a batch almost always has one).
  std::vector<std::string> temps(batch.size());
  std::vector<bool> written(batch.size(), false);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Held& h = batch[i];
    const int dir = h.folder->fd;
    int fd = OpenBody(dir, h.meta.body);
    if (fd < 0) continue;
    bool ok = WriteAll(fd, h.body);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
      RemoveIn(dir, h.meta.body);
      continue;
    }
    written[i] = WriteMetaTemp(dir, h.meta, temps[i]);
  }
  for (std::size_t first = 0; first < batch.size(); ++first) {
    if (!written[first]) continue;
    const auto folder = batch[first].folder;
    DirLock lock(folder->fd);
    std::int64_t grown = 0;
    for (std::size_t i = first; i < batch.size(); ++i) {
      if (!written[i] || batch[i].folder != folder) continue;
      SwapIn(folder->fd, batch[i].meta, temps[i], grown);
      written[i] = false;
    }
    KeepTotal(folder->fd, lock, grown, sizeLimit);
  }
}

}  // namespace detail

}  // namespace cache
}  // namespace tk::inet

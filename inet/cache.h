#pragma once
// Trawlkit's own HTTP and FTP cache, by default in $XDG_CACHE_HOME/trawlkit/ (~/.cache/trawlkit/).
//
// An entry is one file, "<key>.entry": the stored body bytes, then a trailer with the URL, the
// stored length, a checksum of the stored bytes, the validators and the response headers, then a
// fixed-size footer that gives the sizes of both parts and a checksum of the trailer. An entry is
// written under its own fresh name, "<key>.<random>.part", as the body streams, and only its
// rename to "<key>.entry" publishes it, so a reader sees either the old entry or the new one,
// never half of one, and a crash leaves nothing that could be served. Commits and evictions take
// an flock on "lock", which makes two processes safe; readers need no lock. The lock file holds
// the folder's running total of stored body bytes, so that a commit knows when to evict without
// measuring the folder; the folder is measured only when that total is missing or over the cap.
// A file whose footer or trailer does not check out, or whose body differs from its checksum, is
// never served. Files of the earlier two-file layout ("<key>.meta" and its ".body") are never
// read: their total is not recorded in the form this layout writes, so the first commit measures
// the folder and clears them.
//
// The folder holds what later runs are served, so it must be the user's own: it is made 0700,
// and one that is not a folder owned by the user with no write bit for others (or whose lock is
// not such a plain file) is refused, and the cache is off. Every file in it is opened through the
// folder's descriptor without following links, and only regular files are read.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "inet/errors.h"

namespace tk::inet::cache {

namespace detail {
class Committer;

// An open cache folder; closed when the last user lets go.
struct FolderFd {
  explicit FolderFd(int fd) : fd(fd) {}
  ~FolderFd();
  FolderFd(const FolderFd&) = delete;
  FolderFd& operator=(const FolderFd&) = delete;
  const int fd;
};
}  // namespace detail

// The folder a session uses unless told otherwise: $XDG_CACHE_HOME/trawlkit when that is an
// absolute path, else ~/.cache/trawlkit in the home folder that HomeFolder() finds (never
// a folder shared with other users). Empty when no home is known. Read once, when the session
// opens.
std::filesystem::path DefaultDirectory();
// The same rule for given values of the two variables (nullptr when unset).
std::filesystem::path DirectoryFor(const char* xdgCacheHome, const char* home);

// An entry's trailer is a few headers long; one past this is damaged, and is not read.
constexpr std::uint64_t kMaxMetaBytes = 4u << 20;

constexpr std::uint64_t kDefaultSizeLimit = std::uint64_t{1} << 30;

struct Meta {
  std::string url;               // the entry's key text, "http://host:port/object"
  bool complete = false;         // the whole body is stored
  std::uint64_t length = 0;      // body bytes stored
  std::int64_t expected = -1;    // the full body length, -1 when unknown
  std::uint64_t checksum = 0;    // of the stored bytes
  std::string etag;
  std::string lastModified;
  std::string headers;           // the 200 response's raw headers (CR LF lines)
  std::string body;              // names this write of the entry: no two writes share it
};

// A verified entry, its body ready to be read from the start.
class Entry {
 public:
  // `held`: the whole body, when it was read already (a small entry is read in one go).
  Entry(Meta meta, int fd, std::string held = {})
      : m_meta(std::move(meta)), m_fd(fd), m_held(std::move(held)), m_inMemory(!m_held.empty()) {}
  ~Entry();
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  const Meta& meta() const { return m_meta; }
  // The entry's file; its body is the first meta().length bytes.
  int fd() const { return m_fd; }
  // Reads up to n bytes of the body from where the last read ended; 0 at its end, -1 on an error.
  long Read(char* buf, std::size_t n);
  // The next Read starts from the body's first byte again.
  void Rewind() { m_pos = 0; }
  // Reads the next part of the stored prefix that a request serves before (or instead of) the
  // network: at most `max` bytes of the `left` still to come, which it counts down. -1 with
  // `err` filled when the stored body cannot be read.
  long ReadPrefix(char* buf, std::size_t max, std::uint64_t& left, Error& err);

 private:
  Meta m_meta;
  int m_fd;
  std::string m_held;
  bool m_inMemory;
  std::uint64_t m_pos = 0;
};

class Writer;

// One cache folder with its size cap (in bytes of stored bodies; least-recently-used entries are
// removed when a new entry takes the total past it) and the thread that writes out the entries
// held in memory. Destroying it writes every entry still queued first: no finished entry is lost.
class Cache {
 public:
  explicit Cache(std::filesystem::path dir, std::uint64_t sizeLimit = kDefaultSizeLimit);
  ~Cache();
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;

  const std::filesystem::path& Directory() const { return m_dir; }
  std::uint64_t SizeLimit() const { return m_sizeLimit; }

  // Makes the folder when it is missing and checks it, once: "" when it is usable, else why the
  // cache is off. Every other call opens it on first use as well.
  std::string Open();
  // The open folder; nullptr when it is refused. `again`: the folder was removed meanwhile, and
  // is made and checked anew.
  std::shared_ptr<const detail::FolderFd> Folder(bool again = false);

  // nullptr when there is no entry for the URL or it is damaged. Marks the entry as used.
  std::unique_ptr<Entry> Lookup(std::string_view url);
  // Removes the entry for the URL, if any.
  void Remove(std::string_view url);
  // For tests and tools: the file of the URL's entry, once any write of it that this object
  // queued is done.
  std::filesystem::path MetaPathFor(std::string_view url);

 private:
  friend class Writer;
  std::filesystem::path m_dir;
  std::uint64_t m_sizeLimit;
  std::mutex m_folderMutex;
  bool m_opened = false;
  std::string m_refusal;
  std::shared_ptr<const detail::FolderFd> m_folder;
  std::unique_ptr<detail::Committer> m_committer;
};

// Writes one entry as the body streams. Destroying an unfinished writer keeps what was written
// as an incomplete entry (so that a later request can resume it).
class Writer {
 public:
  // `meta` gives url, expected, validators and headers. nullptr when the cache cannot be written.
  // `deferred`: the body is held in memory while it is small (kHeldInMemory), and such an entry is
  // written out on the cache's own thread once finished; a writer is then always returned, and a
  // cache that cannot be written simply gets no entry. The cache's Lookup, Remove and MetaPathFor
  // wait for such a write of their own URL, so this process always finds what it finished.
  static std::unique_ptr<Writer> Create(std::shared_ptr<Cache> cache, const Meta& meta,
                                        bool deferred = false);
  static constexpr std::size_t kHeldInMemory = 64 * 1024;
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Copies the stored part of an older entry first (resuming); false on a disk error.
  bool CopyFrom(Entry& entry);
  void Append(const char* data, std::size_t n);
  std::uint64_t Length() const { return m_meta.length; }
  // Publishes the entry. Complete only when `complete` and the length matches any expected one.
  // An incomplete entry without validators could never be resumed safely and is dropped.
  void Finish(bool complete);

 private:
  Writer(Meta meta, std::shared_ptr<Cache> cache, int fd, std::shared_ptr<const detail::FolderFd> folder)
      : m_meta(std::move(meta)), m_cache(std::move(cache)), m_fd(fd), m_inMemory(fd < 0), m_folder(std::move(folder)) {}
  bool LeaveMemory();
  Meta m_meta;
  std::shared_ptr<Cache> m_cache;  // kept alive until the entry is published or queued
  int m_fd;
  bool m_inMemory;     // the body so far is in m_held, not yet in a file
  std::shared_ptr<const detail::FolderFd> m_folder;  // where the entry's file is, once there is one
  std::string m_held;
  bool m_failed = false;
  bool m_finished = false;
};

// For tests and tools: the file of the URL's entry in `dir`, as a finished run left it.
std::filesystem::path MetaPathIn(const std::filesystem::path& dir, std::string_view url);

}  // namespace tk::inet::cache

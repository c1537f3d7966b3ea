#pragma once
// The cache's own thread: entries whose body fitted in memory are written to disk there, in the
// order they were finished, while the worker thread goes on with its next request. Entries are
// gathered into batches (a few dozen, or what a short while brought) so that each batch is
// published under one lock; anyone waiting for an entry has its batch written at once.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "inet/cache.h"

namespace tk::inet::cache::detail {

// A finished entry whose body is still in memory, bound for `folder`.
struct Held {
  std::shared_ptr<const FolderFd> folder;
  Meta meta;
  std::string body;
};

// Writes a batch of held entries (defined with the cache's files; run on the cache's thread).
void WriteHeld(std::vector<Held>& batch, std::uint64_t sizeLimit);

// This process's id, asked of the kernel once per process rather than on every entry: a child
// made by fork asks again.
pid_t ProcessId();

// One cache's thread, started on first use and joined when the committer goes.
class Committer {
 public:
  explicit Committer(std::uint64_t sizeLimit) : m_sizeLimit(sizeLimit) {}
  ~Committer();
  Committer(const Committer&) = delete;
  Committer& operator=(const Committer&) = delete;

  // Queues `entry` for the thread.
  void Push(Held entry);
  // Returns once every entry queued so far by this process has been written.
  void Wait();
  // Returns once no entry for `url` queued by this process is still waiting to be written: this
  // process always finds what it finished. Other entries may still be on their way.
  void WaitFor(std::string_view url);

 private:
  void Run();
  void AdoptAfterFork();

  struct Parents {
    std::thread* thread;
    std::mutex* mutex;
    std::condition_variable* wake;
    std::condition_variable* idle;
    std::deque<Held> jobs;
    std::unordered_multiset<std::string> queuedUrls;
    Parents* older;
  };
  Parents* m_parents = nullptr;

  static constexpr int kMaxPending = 64;
  // A batch is written once this many entries are queued, or once the first of them has waited
  // kGather, whichever comes first.
  static constexpr std::size_t kBatch = 32;
  static constexpr std::chrono::milliseconds kGather{100};

  const std::uint64_t m_sizeLimit;
  // Held by pointer so that a forked child can replace them without touching the originals.
  std::mutex* m_mutex = new std::mutex;
  std::condition_variable* m_wake = new std::condition_variable;
  std::condition_variable* m_idle = new std::condition_variable;
  std::deque<Held> m_jobs;
  std::unordered_multiset<std::string> m_queuedUrls;  // of the entries queued and not yet written
  std::atomic<int> m_pending{0};
  int m_waiting = 0;  // callers waiting for queued entries: the thread writes without gathering
  bool m_stop = false;
  std::thread* m_thread = nullptr;
  pid_t m_owner = 0;
};

}  // namespace tk::inet::cache::detail

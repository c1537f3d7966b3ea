#include "inet/cache_commit.h"

#include <pthread.h>
#include <unistd.h>

namespace tk::inet::cache::detail {

namespace {
std::atomic<pid_t> g_processId{0};
void ForgetProcessId() { g_processId.store(0, std::memory_order_relaxed); }
}  // namespace

pid_t ProcessId() {
  static const bool watched = [] { return ::pthread_atfork(nullptr, nullptr, &ForgetProcessId) == 0; }();
  pid_t pid = g_processId.load(std::memory_order_relaxed);
  if (pid == 0 || !watched) {
    pid = ::getpid();
    g_processId.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

Committer::~Committer() {
  // A forked child never had the thread: its copies are left alone.
  if (m_thread && m_owner != ProcessId()) return;
  if (m_parents) {
    // What a forked child took over from its parent stays reachable to the end, so that a leak
    // check in the child does not report it.
    static auto* kept = new std::vector<Parents*>;
    static std::mutex keptMutex;
    std::lock_guard lock(keptMutex);
    kept->push_back(m_parents);
  }
  if (m_thread) {
    {
      std::lock_guard lock(*m_mutex);
      m_stop = true;
    }
    m_wake->notify_one();
    m_thread->join();  // the queue is emptied first: no finished entry is lost
    delete m_thread;
  }
  delete m_idle;
  delete m_wake;
  delete m_mutex;
}

void Committer::Push(Held entry) {
  AdoptAfterFork();
  bool wake = false;
  {
    std::unique_lock lock(*m_mutex);
    // A disk slower than the network must not let the held bodies pile up in memory.
    if (m_thread) {
      if (m_pending.load() >= kMaxPending) {
        ++m_waiting;
        m_wake->notify_one();
        m_idle->wait(lock, [this] { return m_pending.load() < kMaxPending; });
        --m_waiting;
      }
    }
    m_queuedUrls.insert(entry.meta.url);
    m_jobs.push_back(std::move(entry));
    ++m_pending;
    // The thread sleeps until a first entry comes, then gathers: it needs waking for the first
    // and for a full batch only.
    wake = m_jobs.size() == 1 || m_jobs.size() >= kBatch;
    if (!m_thread) {
      m_owner = ProcessId();
      m_thread = new std::thread([this] { Run(); });
    }
  }
  if (wake) m_wake->notify_one();
}

void Committer::Wait() {
  AdoptAfterFork();
  if (m_pending.load(std::memory_order_acquire) == 0) return;
  std::unique_lock lock(*m_mutex);
  ++m_waiting;
  m_wake->notify_one();
  m_idle->wait(lock, [this] { return m_pending.load() == 0; });
  --m_waiting;
}

void Committer::WaitFor(std::string_view url) {
  AdoptAfterFork();
  if (m_pending.load(std::memory_order_acquire) == 0) return;
  std::unique_lock lock(*m_mutex);
  const std::string key(url);
  if (m_queuedUrls.count(key) == 0) return;
  ++m_waiting;
  m_wake->notify_one();
  m_idle->wait(lock, [&] { return m_queuedUrls.count(key) == 0; });
  --m_waiting;
}

void Committer::Run() {
  std::unique_lock lock(*m_mutex);
  for (;;) {
    m_wake->wait(lock, [this] { return m_stop || !m_jobs.empty(); });
    if (m_jobs.empty()) return;  // stopping, and nothing left
    m_wake->wait_for(lock, kGather, [this] { return m_stop || m_waiting > 0 || m_jobs.size() >= kBatch; });
    std::vector<Held> batch(std::make_move_iterator(m_jobs.begin()), std::make_move_iterator(m_jobs.end()));
    m_jobs.clear();
    lock.unlock();
    WriteHeld(batch, m_sizeLimit);
    lock.lock();
    for (const Held& done : batch) m_queuedUrls.erase(m_queuedUrls.find(done.meta.url));
    m_pending -= static_cast<int>(batch.size());
    m_idle->notify_all();
  }
}

// A child made by fork has the parent's queue but not its thread, and maybe a lock the thread
// held: it starts over with fresh ones and leaves the parent's jobs to the parent. The old
// objects are dropped unreleased, since they belong to a thread that does not exist here.
void Committer::AdoptAfterFork() {
  if (!m_thread || m_owner == ProcessId()) return;
  // Kept where they stay reachable, so that a leak check in the child does not report them.
  m_parents = new Parents{m_thread, m_mutex, m_wake, m_idle, std::move(m_jobs), std::move(m_queuedUrls), m_parents};
  m_jobs.clear();
  m_queuedUrls.clear();
  m_thread = nullptr;
  m_mutex = new std::mutex;
  m_wake = new std::condition_variable;
  m_idle = new std::condition_variable;
  m_pending = 0;
  m_stop = false;
}

}  // namespace tk::inet::cache::detail

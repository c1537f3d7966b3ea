#pragma once
// The download page's worker: one std::thread per run, with an "ended" flag that the GUI thread
// tests without waiting. The flag is shared with the thread's own function, so it stays valid
// for as long as either side looks at it, whatever becomes of the thread object.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace tk {

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Joins a thread that is still running: the owner must have seen it end (or made it end)
  // first, because whatever the function uses is about to go.
  ~WorkerThread();

  // Starts `body` on a new thread. A previous thread must have ended.
  void Start(std::function<void()> body);

  // True from Start until `body` has returned; never blocks. A thread that was never started
  // counts as ended.
  bool IsRunning() const { return m_ended && !m_ended->load(std::memory_order_acquire); }

  // Releases the thread once it has ended. The join only collects a thread whose function has
  // returned already, so it does not wait on the run.
  void Reap();

 private:
  std::shared_ptr<std::atomic<bool>> m_ended;
  std::thread m_thread;
};

}  // namespace tk

#include "monitor/worker_thread.h"

namespace tk {

WorkerThread::~WorkerThread() {
  if (m_thread.joinable()) m_thread.join();
}

void WorkerThread::Start(std::function<void()> body) {
  if (m_thread.joinable()) m_thread.join();
  auto ended = std::make_shared<std::atomic<bool>>(false);
  m_ended = ended;
  m_thread = std::thread([ended, body = std::move(body)] {
    body();
    ended->store(true, std::memory_order_release);
  });
}

void WorkerThread::Reap() {
  if (!IsRunning() && m_thread.joinable()) m_thread.join();
}

}  // namespace tk

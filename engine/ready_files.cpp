#include "engine/ready_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tk {
namespace {
// Enough to ride out a burst of small files while the thread catches up, few enough descriptors
// beside the connections, the open folders and the pages held open.
constexpr std::size_t kStock = 16;
}  // namespace

ReadyFiles::ReadyFiles(int folderFd) : m_folderFd(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0)) {
  if (m_folderFd < 0) {
    m_unsupported = true;
    return;
  }
  m_thread = std::thread([this] { Run(); });
}

ReadyFiles::~ReadyFiles() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
  for (const int fd : m_ready) ::close(fd);
  if (m_nearFd >= 0) ::close(m_nearFd);
  if (m_folderFd >= 0) ::close(m_folderFd);
}

int ReadyFiles::MakeUnlocked(std::unique_lock<std::mutex>& lock) {
  // Its own copy of the folder: MakeNear may close the one it replaces meanwhile.
  const int folder = ::fcntl(m_nearFd >= 0 ? m_nearFd : m_folderFd, F_DUPFD_CLOEXEC, 0);
  lock.unlock();
  // The mode a named file gets, less the umask; the file is only linked to its name once whole.
  const int fd = ::openat(folder >= 0 ? folder : m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  const int error = errno;
  if (folder >= 0) ::close(folder);
  errno = error;
  return fd;
}

void ReadyFiles::MakeNear(int folderFd) {
  if (folderFd == m_nearGiven) return;
  m_nearGiven = folderFd;
  const int near = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  std::lock_guard lock(m_mutex);
  if (m_nearFd >= 0) ::close(m_nearFd);
  m_nearFd = near;
}

int ReadyFiles::Take() {
  std::unique_lock lock(m_mutex);
  if (m_unsupported) return -1;
  if (!m_ready.empty()) {
    const int fd = m_ready.front();
    m_ready.pop_front();
    lock.unlock();
    m_wake.notify_one();
    return fd;
  }
  // The thread has fallen behind: this one is made here rather than waited for.
  const int fd = MakeUnlocked(lock);
  const int error = errno;
  if (fd < 0 && Unsupported(error)) {
    lock.lock();
    m_unsupported = true;
    lock.unlock();
  }
  m_wake.notify_one();
  errno = error;
  return fd;
}

void ReadyFiles::Run() {
  std::unique_lock lock(m_mutex);
  while (true) {
    m_wake.wait(lock, [this] { return m_stop || m_unsupported || m_ready.size() < kStock; });
    if (m_stop || m_unsupported) return;
    const int fd = MakeUnlocked(lock);
    const int error = errno;
    lock.lock();
    if (fd >= 0) {
      m_ready.push_back(fd);
      continue;
    }
    if (Unsupported(error)) m_unsupported = true;
    // Out of descriptors or inodes, say: trying on would spin. The takers make their own from
    // here on and meet the error themselves.
    return;
  }
}

}  // namespace tk

#pragma once
// Unnamed files made ahead of need, on a thread of their own. Making a file is
// most of what the kernel does for a crawl (finding a free inode can take
// longer than writing the bytes), and the crawl's own thread is the one every
// page waits for; an unnamed file made in the save folder's file system is
// named at its place only once it is whole, with one link.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tk {

class ReadyFiles {
 public:
  // `folderFd`: a folder on the file system the files are for; it is
  // duplicated, not kept.
  explicit ReadyFiles(int folderFd);
  // Stops the thread; the files not taken vanish with their descriptors.
  ~ReadyFiles();
  ReadyFiles(const ReadyFiles &) = delete;
  ReadyFiles &operator=(const ReadyFiles &) = delete;

  // An empty unnamed file, open for reading and writing, the caller's to close;
  // -1 once the file system has shown it makes no unnamed files (the caller
  // names its files from the start then).
  int Take();

 private:
  void Run();
  // One new unnamed file, or -1 with errno.
  int Make() const;

  int m_folderFd;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<int> m_ready;
  bool m_stop = false;
  bool m_unsupported = false;
  std::thread m_thread;
};

}  // namespace tk

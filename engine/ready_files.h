#pragma once
// Unnamed files made ahead of need, on a thread of their own. Making a file is most of what the
// kernel does for a crawl (finding a free inode can take longer than writing the bytes), and the
// crawl's own thread is the one every page waits for; an unnamed file is named at its place only
// once it is whole, with one link.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tk {

class ReadyFiles {
 public:
  // `folderFd`: a folder on the file system the files are for, where they are made until
  // MakeNear says otherwise. It is duplicated, not kept.
  explicit ReadyFiles(int folderFd);
  // Stops the thread; the files not taken vanish with their descriptors.
  ~ReadyFiles();
  ReadyFiles(const ReadyFiles&) = delete;
  ReadyFiles& operator=(const ReadyFiles&) = delete;

  // An empty unnamed file, open for reading and writing, the caller's to close; -1 once the file
  // system has shown it makes no unnamed files (the caller names its files from the start then).
  int Take();
  // The files made from now on are made in `folderFd` (of the same file system), where the
  // files being taken go: the file system places a new file beside its folder, as it would a
  // file made there by name. Crowded into one folder's place, they cost more to find room for.
  // Only a descriptor other than the last one given is looked at.
  void MakeNear(int folderFd);

 private:
  void Run();
  // One new unnamed file in the folder MakeNear gave last, or -1 with errno. Called with `lock`
  // held; returns with it released, so that taking and making go on meanwhile.
  int MakeUnlocked(std::unique_lock<std::mutex>& lock);
  static bool Unsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

  int m_folderFd;     // the first folder given
  int m_nearFd = -1;  // the last folder MakeNear gave, duplicated
  int m_nearGiven = -1;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<int> m_ready;
  bool m_stop = false;
  bool m_unsupported = false;
  std::thread m_thread;
};

}  // namespace tk

#pragma once
// A local file being written by a run. Writes are buffered; any failure (disk full, I/O error)
// sticks, so the caller asks once at the end whether every byte reached the disk.
#include <filesystem>
#include <string>
#include <string_view>

namespace tk {

class LocalFile {
 public:
  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Creates the file or empties an existing one.
  bool Create(const std::filesystem::path& path);
  bool IsOpen() const { return m_fd >= 0; }
  // False once any write has failed; later writes are dropped.
  bool Write(std::string_view data);
  // Flushes and closes: false when a write or the close failed.
  bool Close();
  bool Failed() const { return m_failed; }

 private:
  bool Flush();

  int m_fd = -1;
  bool m_failed = false;
  std::string m_buffer;
};

}  // namespace tk

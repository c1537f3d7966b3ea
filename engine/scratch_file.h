#pragma once
// Bytes a run puts aside and reads back later, in an unnamed temporary file: what grows with the
// site (pages held for mending, the links kept for rescans) waits there rather than in memory,
// and the system removes the file however the run ends. Appends are gathered and written 64 KiB
// at a time; should a write fail (a full disk), what follows stays in memory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tk {

class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  // An unnamed file in `folder`, else in the system's temporary folder, else (neither can take
  // one) memory.
  void Open(const std::filesystem::path& folder);
  // Forgets every byte and gives back the file.
  void clear();

  std::uint64_t size() const { return m_fileBytes + m_buffer.size(); }
  // Appends `data`; where it starts.
  std::uint64_t Append(std::string_view data);
  // The `size` bytes from `at`; false when they are not all there or a read failed.
  bool Read(std::uint64_t at, char* out, std::size_t size) const;
  // Writes over bytes appended before.
  bool Write(std::uint64_t at, std::string_view data);

 private:
  int m_fd = -1;
  std::uint64_t m_fileBytes = 0;  // in the file; what follows is in m_buffer
  bool m_failed = false;          // a write failed: the rest stays in memory
  std::string m_buffer;
};

}  // namespace tk

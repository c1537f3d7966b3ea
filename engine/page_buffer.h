#pragma once
// A page held for its scan, which reads it twice (once for the links to send ahead, once to
// write it out). Its first bytes stay in memory; the rest goes to an unnamed temporary file in the
// save folder's file system, so that memory stays bounded whatever size a server sends, also
// while pages nest (a frame's page is held while its parent's is).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tk {

inline constexpr std::size_t kPageMemoryBound = 8u << 20;    // one page
inline constexpr std::size_t kPageMemoryBudget = 32u << 20;  // all the pages of a run held at once

class PageBuffer {
 public:
  // `held` counts the memory that every page of the run holds; it stays below `budget`.
  PageBuffer(std::filesystem::path spillFolder, std::size_t& held, std::size_t bound = kPageMemoryBound,
             std::size_t budget = kPageMemoryBudget);
  ~PageBuffer();
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  // False when the temporary file cannot be made or written (a full disk).
  bool Append(std::string_view data);
  std::uint64_t Size() const { return m_memory.size() + m_spilled; }
  bool Spilled() const { return m_fd >= 0; }
  // Hands the whole page to `chunk` from its start, in pieces of at most `piece` bytes. False
  // when the temporary file could not be read back.
  bool ForEachChunk(std::size_t piece, const std::function<void(std::string_view)>& chunk);

 private:
  bool OpenSpill();
  bool FlushSpill();

  std::filesystem::path m_folder;
  std::size_t& m_held;
  std::size_t m_bound;
  std::size_t m_budget;
  std::string m_memory;
  int m_fd = -1;
  bool m_failed = false;
  std::uint64_t m_spilled = 0;  // bytes in the file, and in m_pending on their way to it
  std::string m_pending;
};

}  // namespace tk

#include "engine/page_buffer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/fd_io.h"
#include "engine/local_file.h"

namespace tk {
namespace {
constexpr std::size_t kSpillBlock = 64 * 1024;
}

PageBuffer::PageBuffer(std::filesystem::path spillFolder, std::size_t& held, std::size_t bound,
                       std::size_t budget)
    : m_folder(std::move(spillFolder)), m_held(held), m_bound(bound), m_budget(budget) {}

PageBuffer::~PageBuffer() {
  m_held -= m_memory.size();
  if (m_fd >= 0) ::close(m_fd);
}

bool PageBuffer::OpenSpill() {
  int dir = OpenFolderBeneath(m_folder, "", false);
  if (dir < 0) return false;
  // Unnamed: it never shows in the copy and goes with its descriptor, also when the run is killed.
  m_fd = ::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (m_fd < 0) {
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = ".trawlkit-page-XXXXXX";
    std::string path = (m_folder / name).string();
    m_fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (m_fd >= 0) ::unlink(path.c_str());
  }
  ::close(dir);
  return m_fd >= 0;
}

bool PageBuffer::FlushSpill() {
  if (!WriteAll(m_fd, m_pending)) {
    m_failed = true;
    return false;
  }
  m_pending.clear();
  return true;
}

bool PageBuffer::Append(std::string_view data) {
  if (m_failed) return false;
  // Memory first, while this page and the run's budget allow; once spilled, the rest follows in
  // the file, so the bytes stay in order.
  if (m_fd < 0) {
    std::size_t room = std::min(m_bound - std::min(m_bound, m_memory.size()),
                                m_budget - std::min(m_budget, m_held));
    std::size_t take = std::min(room, data.size());
    m_memory.append(data.substr(0, take));
    m_held += take;
    data.remove_prefix(take);
    if (data.empty()) return true;
    if (!OpenSpill()) {
      m_failed = true;
      return false;
    }
    m_pending.reserve(kSpillBlock);
  }
  m_pending.append(data);
  m_spilled += data.size();
  return m_pending.size() < kSpillBlock || FlushSpill();
}

bool PageBuffer::ForEachChunk(std::size_t piece, const std::function<void(std::string_view)>& chunk) {
  const std::string_view memory(m_memory);
  for (std::size_t at = 0; at < memory.size(); at += piece) chunk(memory.substr(at, piece));
  if (m_fd < 0) return true;
  if (m_failed || !FlushSpill()) return false;
  auto block = std::make_unique<char[]>(kSpillBlock);
  std::uint64_t offset = 0;
  while (offset < m_spilled) {
    const ssize_t n = PreadRetrying(m_fd, block.get(), kSpillBlock, static_cast<off_t>(offset));
    if (n <= 0) return false;
    offset += static_cast<std::uint64_t>(n);
    const std::string_view got(block.get(), static_cast<std::size_t>(n));
    for (std::size_t at = 0; at < got.size(); at += piece) chunk(got.substr(at, piece));
  }
  return true;
}

}  // namespace tk

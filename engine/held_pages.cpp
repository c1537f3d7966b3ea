#include "engine/held_pages.h"

#include "base/fd_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tk {
namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

// Reads the list back in order: the file's bytes, then those still in memory.
class Reader {
 public:
  Reader(int fd, std::uint64_t fileBytes, const std::string& tail) : m_fd(fd), m_fileBytes(fileBytes), m_tail(tail) {}

  bool Take(void* out, std::size_t size) {
    while (m_window.size() - m_at < size) {
      if (!More()) return false;
    }
    std::memcpy(out, m_window.data() + m_at, size);
    m_at += size;
    return true;
  }
  template <typename T>
  bool Get(T& value) {
    return Take(&value, sizeof value);
  }
  bool GetText(std::string& text) {
    std::uint32_t size = 0;
    if (!Get(size)) return false;
    text.resize(size);
    return size == 0 || Take(text.data(), size);
  }

 private:
  bool More() {
    m_window.erase(0, m_at);
    m_at = 0;
    if (m_read < m_fileBytes) {
      char buf[64 * 1024];
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buf, m_fileBytes - m_read));
      const ssize_t n = ::pread(m_fd, buf, want, static_cast<off_t>(m_read));
      if (n < 0 && errno == EINTR) return true;
      if (n <= 0) return false;
      m_window.append(buf, static_cast<std::size_t>(n));
      m_read += static_cast<std::uint64_t>(n);
      return true;
    }
    if (m_tailTaken) return false;
    m_window += m_tail;
    m_tailTaken = true;
    return true;
  }

  int m_fd;
  std::uint64_t m_fileBytes;
  const std::string& m_tail;
  std::uint64_t m_read = 0;
  bool m_tailTaken = false;
  std::string m_window;
  std::size_t m_at = 0;
};

}  // namespace

HeldPages::~HeldPages() { clear(); }

void HeldPages::Open(const std::filesystem::path& folder) {
  clear();
  m_fd = OpenScratchFile(folder);
}

void HeldPages::Hold(const Page& page, bool again) {
  if (again) m_latest[page.record] = m_count;
  ++m_count;
  Put(m_buffer, page.record);
  Put(m_buffer, static_cast<std::uint8_t>(page.modified.has_value()));
  Put(m_buffer, page.modified.value_or(0));
  PutText(m_buffer, page.relPath);
  PutText(m_buffer, page.temp);
  Put(m_buffer, static_cast<std::uint32_t>(page.links.size()));
  for (const Link& link : page.links) {
    Put(m_buffer, link.offset);
    Put(m_buffer, link.length);
    Put(m_buffer, link.record);
    if (link.record == kNoRecord) PutText(m_buffer, link.key);
  }
  if (m_buffer.size() >= kFlushAt) Flush();
}

bool HeldPages::Flush() {
  if (m_fd < 0 || m_failed) return false;
  std::string_view data = m_buffer;
  while (!data.empty()) {
    const ssize_t n = ::pwrite(m_fd, data.data(), data.size(), static_cast<off_t>(m_fileBytes));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A full disk: what is written stays there, the rest is kept here.
      m_failed = true;
      m_buffer.erase(0, m_buffer.size() - data.size());
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    m_fileBytes += static_cast<std::uint64_t>(n);
  }
  m_buffer.clear();
  return true;
}

bool HeldPages::ForEach(const std::function<void(const Page&)>& visit) const {
  Reader in(m_fd, m_fileBytes, m_buffer);
  Page page;
  for (std::size_t ordinal = 0; ordinal < m_count; ++ordinal) {
    std::uint8_t dated = 0;
    std::int64_t modified = 0;
    std::uint32_t count = 0;
    if (!in.Get(page.record) || !in.Get(dated) || !in.Get(modified) || !in.GetText(page.relPath) ||
        !in.GetText(page.temp) || !in.Get(count))
      return false;
    page.modified = dated ? std::optional<std::int64_t>(modified) : std::nullopt;
    page.links.resize(count);
    for (Link& link : page.links) {
      if (!in.Get(link.offset) || !in.Get(link.length) || !in.Get(link.record)) return false;
      link.key.clear();
      if (link.record == kNoRecord && !in.GetText(link.key)) return false;
    }
    auto latest = m_latest.find(page.record);
    if (latest == m_latest.end() || latest->second == ordinal) visit(page);
  }
  return true;
}

void HeldPages::clear() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_fileBytes = 0;
  m_failed = false;
  m_buffer = {};
  m_count = 0;
  m_latest.clear();
}

}  // namespace tk

#include "engine/scratch_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "base/fd_io.h"

namespace tk {
namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

}  // namespace

ScratchFile::~ScratchFile() { clear(); }

void ScratchFile::Open(const std::filesystem::path& folder) {
  clear();
  m_fd = OpenUnnamedFile(folder);
  if (m_fd < 0) {
    std::error_code ec;
    m_fd = OpenUnnamedFile(std::filesystem::temp_directory_path(ec));
  }
}

void ScratchFile::clear() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_fileBytes = 0;
  m_failed = false;
  m_buffer = {};
}

std::uint64_t ScratchFile::Append(std::string_view data) {
  const std::uint64_t at = size();
  m_buffer.append(data);
  if (m_buffer.size() >= kFlushAt && m_fd >= 0 && !m_failed) {
    if (PwriteAll(m_fd, m_buffer, static_cast<off_t>(m_fileBytes))) {
      m_fileBytes += m_buffer.size();
      m_buffer.clear();
    } else {
      m_failed = true;
    }
  }
  return at;
}

bool ScratchFile::Read(std::uint64_t at, char* out, std::size_t size) const {
  if (at + size > this->size()) return false;
  while (size > 0 && at < m_fileBytes) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_fileBytes - at));
    const ssize_t n = PreadRetrying(m_fd, out, part, static_cast<off_t>(at));
    if (n <= 0) return false;
    out += n;
    at += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  if (size > 0) std::memcpy(out, m_buffer.data() + (at - m_fileBytes), size);
  return true;
}

bool ScratchFile::Write(std::uint64_t at, std::string_view data) {
  if (at + data.size() > size()) return false;
  if (at < m_fileBytes) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(data.size(), m_fileBytes - at));
    if (!PwriteAll(m_fd, data.substr(0, part), static_cast<off_t>(at))) return false;
    data.remove_prefix(part);
    at += part;
  }
  if (!data.empty()) std::memcpy(m_buffer.data() + (at - m_fileBytes), data.data(), data.size());
  return true;
}

}  // namespace tk

#include "engine/local_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tk {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

LocalFile::~LocalFile() { Close(); }

bool LocalFile::Create(const std::filesystem::path& path) {
  Close();
  m_failed = false;
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (m_fd < 0) return false;
  m_buffer.reserve(kBufferSize);
  return true;
}

bool LocalFile::Write(std::string_view data) {
  if (m_fd < 0 || m_failed) return false;
  if (m_buffer.size() + data.size() > kBufferSize && !Flush()) return false;
  if (data.size() >= kBufferSize) {
    m_buffer.assign(data);
    return Flush();
  }
  m_buffer.append(data);
  return true;
}

bool LocalFile::Flush() {
  std::size_t done = 0;
  while (done < m_buffer.size()) {
    ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_failed = true;
      m_buffer.clear();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  m_buffer.clear();
  return true;
}

bool LocalFile::Close() {
  if (m_fd < 0) return !m_failed;
  if (!m_failed) Flush();
  if (::close(m_fd) != 0) m_failed = true;
  m_fd = -1;
  return !m_failed;
}

}  // namespace tk

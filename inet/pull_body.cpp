#include "inet/pull_body.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/fd_io.h"

namespace tk::inet::detail {
namespace {

// An unnamed file in the system's temporary folder.
int OpenTemporary() {
  const char* dir = std::getenv("TMPDIR");
  return OpenUnnamedFile(dir && *dir ? dir : "/tmp");
}

}  // namespace

PullBody::~PullBody() { DropSpill(); }

void PullBody::DropSpill() {
  if (m_spillFd >= 0) ::close(m_spillFd);
  m_spillFd = -1;
  m_spillWritten = m_spillRead = 0;
  m_spillFailed = false;
}

void PullBody::Clear() {
  m_buffer.clear();
  m_pos = 0;
  m_paused = false;
  DropSpill();
}

bool PullBody::Spill(CURL* easy) {
  if (m_spillFailed) return false;
  if (m_spillFd < 0) m_spillFd = OpenTemporary();
  if (m_spillFd < 0) return false;
  Resume(easy);
  return true;
}

std::size_t PullBody::OnData(const char* data, std::size_t n) {
  // Spilling, the bytes past a full buffer go to the file, and so do all after them.
  if (m_spillFd >= 0 && (m_spillWritten > m_spillRead || m_buffer.size() - m_pos >= kMaxBuffered)) {
    if (PwriteAll(m_spillFd, std::string_view(data, n), static_cast<off_t>(m_spillWritten))) {
      m_spillWritten += n;
      m_received += n;
      if (m_writer) m_writer->Append(data, n);
      return n;
    }
    // A full disk: the transfer waits paused as before, and the bytes come again once read.
    m_spillFailed = true;
    if (!m_paused) m_pausedAt = std::chrono::steady_clock::now();
    m_paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (m_buffer.size() - m_pos >= kMaxBuffered) {
    if (!m_paused) m_pausedAt = std::chrono::steady_clock::now();
    m_paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  m_buffer.append(data, n);
  m_received += n;
  if (m_writer) m_writer->Append(data, n);
  return n;
}

long PullBody::Read(Multi& multi, Transfer& transfer, char* buf, std::size_t max, Error& err,
                    const std::function<Error()>& failure) {
  for (;;) {
    if (std::size_t n = TakeUnread(buf, max)) return static_cast<long>(n);
    if (transfer.done) {
      if (transfer.result != CURLE_OK) {
        err = failure();
        FinishCache(false);
        return -1;
      }
      FinishCache(true);
      return 0;
    }
    Resume(transfer.easy);
    if (!multi.RunUntil([this, &transfer] { return HasUnread() || transfer.done; }, err)) return -1;
  }
}

// The buffer is emptied once read to its end, so that it never grows past one window.
std::size_t PullBody::TakeUnread(char* out, std::size_t max) {
  if (m_pos >= m_buffer.size()) {
    if (m_spillRead >= m_spillWritten) return 0;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(max, m_spillWritten - m_spillRead));
    const ssize_t got = PreadRetrying(m_spillFd, out, want, static_cast<off_t>(m_spillRead));
    if (got <= 0) return 0;
    m_spillRead += static_cast<std::size_t>(got);
    if (m_spillRead == m_spillWritten) m_spillRead = m_spillWritten = 0;  // the file starts afresh
    return static_cast<std::size_t>(got);
  }
  const std::size_t n = std::min(max, m_buffer.size() - m_pos);
  std::memcpy(out, m_buffer.data() + m_pos, n);
  m_pos += n;
  if (m_pos == m_buffer.size()) {
    m_buffer.clear();
    m_pos = 0;
  }
  return n;
}

void PullBody::Resume(CURL* easy) {
  if (!m_paused) return;
  m_paused = false;
  curl_easy_pause(easy, CURLPAUSE_CONT);
}

void PullBody::WriteTo(std::unique_ptr<cache::Writer> writer) {
  m_writer = std::move(writer);
  if (m_writer && HasUnread()) m_writer->Append(m_buffer.data() + m_pos, m_buffer.size() - m_pos);
}

void PullBody::FinishCache(bool complete) {
  if (m_writer) m_writer->Finish(complete);
  m_writer.reset();
}

}  // namespace tk::inet::detail

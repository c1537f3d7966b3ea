#include "inet/pull_body.h"

#include <algorithm>
#include <cstring>

namespace tk::inet::detail {

void PullBody::Clear() {
  m_buffer.clear();
  m_pos = 0;
  m_paused = false;
}

std::size_t PullBody::OnData(const char* data, std::size_t n) {
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
  if (m_pos >= m_buffer.size()) return 0;
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

#pragma once
// The body of one HTTP or FTP transfer, read pull-style: libcurl's write callback hands its bytes
// here, and once kMaxBuffered of them wait unread the transfer is paused; Read hands them out and
// lets the transfer go on. So a body is never held whole, and a caller that stops reading stops
// the download. The cache entry being written, if any, gets every byte as it arrives.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "inet/cache.h"
#include "inet/transfer.h"

namespace tk::inet::detail {

class PullBody {
 public:
  static constexpr std::size_t kMaxBuffered = 64 * 1024;

  PullBody() = default;
  PullBody(const PullBody&) = delete;
  PullBody& operator=(const PullBody&) = delete;
  // Destroying an unfinished body keeps its cache entry's bytes as an incomplete entry.
  ~PullBody();

  // Forgets the bytes of an earlier transfer (the cache writer stays).
  void Clear();
  // For the write callback: takes the bytes, or CURL_WRITEFUNC_PAUSE while the buffer is full.
  std::size_t OnData(const char* data, std::size_t n);
  // Up to `max` bytes: those buffered, else the transfer is let go on until more arrive. 0 at the
  // end of a finished transfer, -1 with `err` filled when it failed (`failure` says how) or the
  // session closed. The cache entry is finished with the transfer.
  long Read(Multi& multi, Transfer& transfer, char* buf, std::size_t max, Error& err,
            const std::function<Error()>& failure);
  // Un-pauses a paused transfer.
  void Resume(CURL* easy);
  // Lets the transfer run to its end unread: what does not fit the buffer waits in an unnamed
  // temporary file until read, so that the transfer's connection frees without the transfer
  // being given up. False (nothing changed) when no temporary file could be had.
  bool Spill(CURL* easy);
  // Bytes wait in the temporary file: Buffered() is not the whole body.
  bool Spilled() const { return m_spillWritten > 0; }

  // The cache entry written from here on; the bytes already buffered and unread go first.
  void WriteTo(std::unique_ptr<cache::Writer> writer);
  bool Writing() const { return m_writer != nullptr; }
  // Publishes the cache entry, if any, as complete or not, and lets it go.
  void FinishCache(bool complete);

  bool HasUnread() const { return m_pos < m_buffer.size() || m_spillRead < m_spillWritten; }
  // Whether nothing of the buffer was read yet (a buffer read to its end starts afresh).
  bool Untouched() const { return m_pos == 0; }
  const std::string& Buffered() const { return m_buffer; }
  std::uint64_t Received() const { return m_received; }
  bool Paused() const { return m_paused; }
  std::chrono::steady_clock::time_point PausedAt() const { return m_pausedAt; }

 private:
  std::size_t TakeUnread(char* out, std::size_t max);
  void DropSpill();

  std::string m_buffer;  // received, not yet read; bounded by kMaxBuffered + a chunk
  std::size_t m_pos = 0;
  std::uint64_t m_received = 0;
  bool m_paused = false;
  std::chrono::steady_clock::time_point m_pausedAt;
  std::unique_ptr<cache::Writer> m_writer;
  // Spill: the temporary file (-1: none), how far it is written and read.
  int m_spillFd = -1;
  std::uint64_t m_spillWritten = 0;
  std::uint64_t m_spillRead = 0;
  bool m_spillFailed = false;  // the file could not take more: the body pauses again
};

}  // namespace tk::inet::detail

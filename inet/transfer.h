#pragma once
// The blocking core under every HTTP and FTP call: one libcurl multi handle per connection,
// driven on the worker thread until a condition holds, and woken by SessionState::Close.
#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "inet/errors.h"
#include "inet/session_state.h"

namespace tk::inet::detail {

// One easy handle's outcome, filled in when the multi handle reports it done.
struct Transfer {
  CURL* easy = nullptr;
  bool done = false;
  CURLcode result = CURLE_OK;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

class Multi {
 public:
  explicit Multi(std::shared_ptr<SessionState> session);
  ~Multi();
  Multi(const Multi&) = delete;
  Multi& operator=(const Multi&) = delete;

  const std::shared_ptr<SessionState>& Session() const { return m_session; }

  // The transfer's easy handle gets CURLOPT_PRIVATE = transfer and joins the multi handle, once
  // the session's pacing lets a transfer start.
  void Add(Transfer& transfer);
  // Waits until `until`, or until the session closes.
  void WaitUntil(std::chrono::steady_clock::time_point until);
  // Leaves the multi handle (a transfer not done loses its connection) and frees the easy handle.
  void Remove(Transfer& transfer);
  // Leaves the multi handle and keeps the easy handle for a later transfer to the same server:
  // libcurl keeps Digest state (nonce, count) per easy handle, so a reused handle sends remembered
  // Digest credentials at once instead of asking the server for a new challenge.
  void Park(Transfer& transfer);
  // A parked easy handle, or nullptr.
  CURL* TakeParked();

  // Drives every transfer until ready() holds. False when the session is or becomes closed
  // (err = SessionClosed); a finished transfer is not an error here, callers test done/result.
  bool RunUntil(const std::function<bool()>& ready, Error& err);
  // One non-blocking round: takes in what the sockets already hold.
  void PerformOnce();
  // Transfers added and not yet done or taken out: each holds a connection, or waits for one.
  std::size_t Running() const { return m_running; }
  // Called whenever transfers have ended, from whatever call of this multi handle noticed it.
  void SetOnDone(std::function<void()> onDone) { m_onDone = std::move(onDone); }
  // Called by RunUntil before each wait for the sockets, with Running() above `minRunning`: the
  // owner of transfers that may hold connections idle (paused answers) frees one there when a
  // transfer waiting for a connection would otherwise wait for ever, and says whether it did.
  void SetOnWait(std::size_t minRunning, std::function<bool()> onWait) {
    m_onWaitAbove = minRunning;
    m_onWait = std::move(onWait);
  }
  // At most `count` connections to one server at once; transfers beyond wait for one to free.
  void LimitHostConnections(long count);

 private:
  void CollectDone();

  std::shared_ptr<SessionState> m_session;
  CURLM* m_multi = nullptr;
  std::vector<CURL*> m_parked;
  std::size_t m_running = 0;
  std::function<void()> m_onDone;
  std::size_t m_onWaitAbove = 0;
  std::function<bool()> m_onWait;
};

// Maps a finished transfer's libcurl code onto the layer's table, with libcurl's own text as the
// detail. `chunked`: the response used chunked transfer coding, so a cut-off body is a broken
// chunked stream rather than a short one.
Error ErrorFromCurl(CURLcode code, const char* errorBuffer, bool chunked = false);

// An easy handle with what every transfer shares: agent, time-outs, rate, no signals, no redirects.
// `reuse`: a parked handle to set up again instead of a new one.
CURL* NewEasy(const SessionState& session, Transfer& transfer, CURL* reuse = nullptr);

// The TLS options of an https transfer: the peer's certificate and host name verified, against
// the session's trust store when it names one.
void SetTls(CURL* easy, const TrustStore& trust);

}  // namespace tk::inet::detail

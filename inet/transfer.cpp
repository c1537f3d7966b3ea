#include "inet/transfer.h"

#include <algorithm>
#include <string>

namespace tk::inet {
namespace detail {
namespace {

// What a transfer has taken from the network so far: its headers and its body.
std::uint64_t BytesReceived(CURL* easy) {
  curl_off_t body = 0;
  long headers = 0;
  curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &body);
  curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headers);
  return static_cast<std::uint64_t>(std::max<curl_off_t>(body, 0)) + static_cast<std::uint64_t>(std::max(headers, 0L));
}

}  // namespace

Multi::Multi(std::shared_ptr<SessionState> session) : m_session(std::move(session)) {
  EnsureCurlInitialised();
  m_multi = curl_multi_init();
  m_session->Register(m_multi);
}

Multi::~Multi() {
  for (CURL* easy : m_parked) curl_easy_cleanup(easy);
  m_session->Unregister(m_multi);
  curl_multi_cleanup(m_multi);
}

void Multi::Add(Transfer& transfer) {
  // A closed session's wait ends at once; the transfer then fails in RunUntil like any other.
  if (m_session->Pacing().Active()) {
    WaitUntil(m_session->Pacing().NextStart());
    m_session->Pacing().NoteStart();
  }
  curl_easy_setopt(transfer.easy, CURLOPT_PRIVATE, &transfer);
  transfer.done = false;
  transfer.result = CURLE_OK;
  if (curl_multi_add_handle(m_multi, transfer.easy) == CURLM_OK) ++m_running;
}

void Multi::LimitHostConnections(long count) { curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, count); }


void Multi::Remove(Transfer& transfer) {
  if (!transfer.easy) return;
  if (!transfer.done) {
    m_session->Pacing().NoteEnd(BytesReceived(transfer.easy));  // given up: it ends here
    if (m_running > 0) --m_running;
  }
  curl_multi_remove_handle(m_multi, transfer.easy);
  curl_easy_cleanup(transfer.easy);
  transfer.easy = nullptr;
}

void Multi::Park(Transfer& transfer) {
  constexpr std::size_t kMaxParked = 4;
  if (!transfer.easy) return;
  if (!transfer.done && m_running > 0) --m_running;
  curl_multi_remove_handle(m_multi, transfer.easy);
  curl_easy_setopt(transfer.easy, CURLOPT_PRIVATE, nullptr);
  curl_easy_setopt(transfer.easy, CURLOPT_ERRORBUFFER, nullptr);
  if (m_parked.size() < kMaxParked)
    m_parked.push_back(transfer.easy);
  else
    curl_easy_cleanup(transfer.easy);
  transfer.easy = nullptr;
}

CURL* Multi::TakeParked() {
  if (m_parked.empty()) return nullptr;
  CURL* easy = m_parked.back();
  m_parked.pop_back();
  return easy;
}

void Multi::CollectDone() {
  int left = 0;
  bool ended = false;
  while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    Transfer* transfer = nullptr;
    curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &transfer);
    if (!transfer || transfer->done) continue;
    transfer->done = true;
    transfer->result = msg->data.result;
    if (m_running > 0) --m_running;
    ended = true;
    m_session->Pacing().NoteEnd(BytesReceived(msg->easy_handle));
  }
  if (ended && m_onDone) m_onDone();
}

void Multi::WaitUntil(std::chrono::steady_clock::time_point until) {
  using namespace std::chrono;
  for (;;) {
    const auto left = duration_cast<milliseconds>(until - steady_clock::now()).count() + 1;
    if (left <= 1 || m_session->Closed()) return;
    // Close wakes the poll; the cap only bounds how late a lost wake-up could be noticed.
    curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(std::min<long long>(left, 250)), nullptr);
  }
}

void Multi::PerformOnce() {
  int running = 0;
  curl_multi_perform(m_multi, &running);
  CollectDone();
}

bool Multi::RunUntil(const std::function<bool()>& ready, Error& err) {
  for (;;) {
    if (m_session->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return false;
    }
    if (ready()) return true;
    int running = 0;
    CURLMcode mc = curl_multi_perform(m_multi, &running);
    CollectDone();
    if (mc != CURLM_OK) {
      err = MakeError(ErrorCode::Internal, curl_multi_strerror(mc));
      return false;
    }
    if (ready()) return true;
    if (m_session->Closed()) continue;
    if (m_onWait && m_running > m_onWaitAbove && m_onWait()) continue;
    // The time-out only bounds how late a lost wake-up could be noticed; Close wakes the poll.
    curl_multi_poll(m_multi, nullptr, 0, 250, nullptr);
  }
}

Error ErrorFromCurl(CURLcode code, const char* errorBuffer, bool chunked) {
  std::string detail = (errorBuffer && *errorBuffer) ? errorBuffer : curl_easy_strerror(code);
  switch (code) {
    case CURLE_OK: return Error{};
    case CURLE_COULDNT_RESOLVE_HOST: return MakeError(ErrorCode::NameNotResolved, detail);
    case CURLE_COULDNT_RESOLVE_PROXY: return MakeError(ErrorCode::ProxyFailed, detail);
    case CURLE_COULDNT_CONNECT: return MakeError(ErrorCode::CannotConnect, detail);
    case CURLE_OPERATION_TIMEDOUT: return MakeError(ErrorCode::Timeout, detail);
    case CURLE_PARTIAL_FILE:
      return MakeError(chunked ? ErrorCode::BrokenChunkedBody : ErrorCode::BodyTooShort, detail);
    case CURLE_RECV_ERROR:
      if (chunked || detail.find("hunk") != std::string::npos)
        return MakeError(ErrorCode::BrokenChunkedBody, detail);
      return MakeError(ErrorCode::ReceiveFailed, detail);
    case CURLE_SEND_ERROR: return MakeError(ErrorCode::SendFailed, detail);
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
      return MakeError(ErrorCode::InvalidServerResponse, detail);
    case CURLE_URL_MALFORMAT: return MakeError(ErrorCode::InvalidUrl, detail);
    case CURLE_UNSUPPORTED_PROTOCOL: return MakeError(ErrorCode::UnsupportedScheme, detail);
    case CURLE_OUT_OF_MEMORY: return MakeError(ErrorCode::OutOfMemory, detail);
    case CURLE_TOO_MANY_REDIRECTS: return MakeError(ErrorCode::TooManyRedirects, detail);
    case CURLE_LOGIN_DENIED: return MakeError(ErrorCode::FtpLoginFailed, detail);
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_REMOTE_ACCESS_DENIED:
      return MakeError(ErrorCode::FtpFileNotFound, detail);
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
      return MakeError(ErrorCode::FtpDataConnection, detail);
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_QUOTE_ERROR:
      return MakeError(ErrorCode::FtpTransferFailed, detail);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return MakeError(ErrorCode::SecureChannel, detail);
    default:
      return MakeError(ErrorCode::Internal,
                       "libcurl error " + std::to_string(static_cast<int>(code)) + ": " + detail);
  }
}

CURL* NewEasy(const SessionState& session, Transfer& transfer, CURL* reuse) {
  CURL* easy = reuse ? reuse : curl_easy_init();
  transfer.easy = easy;
  transfer.errorBuffer[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, session.Agent().c_str());
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  const SessionOptions& options = session.Options();
  const long connectMs = static_cast<long>(std::max<long long>(options.connectTimeout.count(), 1));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  // "Receives nothing for N seconds": below 1 byte/s over the whole window, which libcurl counts
  // in whole seconds. A paused transfer (the caller not reading) is exempt in libcurl, so a slow
  // reader never times out.
  const long long stallSeconds = (options.stallTimeout.count() + 999) / 1000;
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::max<long long>(stallSeconds, 1)));
  // FTP: control-channel answers fall under the same stall rule as data.
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(std::max<long long>(stallSeconds, 1)));
  // The engine makes one transfer at a time while a rate is set, so each one's cap is the run's;
  // the session's pacer holds back the next start for what a short transfer took too fast.
  const auto rate = static_cast<curl_off_t>(std::max<std::int64_t>(options.limitRate, 0));
  curl_easy_setopt(easy, CURLOPT_MAX_RECV_SPEED_LARGE, rate);
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  // A parked handle is in the jar already.
  if (!reuse) session.Cookies().Join(easy);
  return easy;
}

void SetTls(CURL* easy, const TrustStore& trust) {
  // No switch turns these off: an answer from a server that cannot prove its name is no answer.
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!trust.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, trust.caFile.c_str());
  if (!trust.caPath.empty()) curl_easy_setopt(easy, CURLOPT_CAPATH, trust.caPath.c_str());
  // Through an https proxy the tunnel's own "200 Connection established" would otherwise reach
  // the header callback and pass for the server's answer.
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

}  // namespace detail
}  // namespace tk::inet

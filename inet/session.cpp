#include "inet/session_state.h"

#include <algorithm>
#include <cstdlib>

#include "base/text.h"
#include "inet/errors.h"

namespace tk::inet {
namespace detail {

void EnsureCurlInitialised() {
  // A function-local static is initialised exactly once even when threads race to it.
  static const CURLcode kInit = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)kInit;
}

void SessionState::Close() {
  m_closed.store(true, std::memory_order_release);
  std::lock_guard lock(m_mutex);
  for (CURLM* multi : m_multis) curl_multi_wakeup(multi);
}

void SessionState::Register(CURLM* multi) {
  std::lock_guard lock(m_mutex);
  m_multis.insert(multi);
}

void SessionState::Unregister(CURLM* multi) {
  std::lock_guard lock(m_mutex);
  m_multis.erase(multi);
}

std::size_t SessionState::MaxAheadInFlight(std::size_t cap) const {
  if (m_options.wait.count() > 0 || m_options.limitRate > 0 || m_options.connections <= 1) return 0;
  return std::min(cap, static_cast<std::size_t>(m_options.connections - 1));
}

std::string SessionState::Key(std::string_view scheme, std::string_view host, int port) {
  std::string key(scheme);
  key += "://";
  key += AsciiLower(host);
  return key + ":" + std::to_string(port);
}

void SessionState::RememberCredentials(std::string_view scheme, std::string_view host, int port,
                                       const Credentials& creds) {
  std::lock_guard lock(m_mutex);
  m_credentials[Key(scheme, host, port)] = creds;
}

std::optional<Credentials> SessionState::FindCredentials(std::string_view scheme, std::string_view host,
                                                         int port) const {
  std::lock_guard lock(m_mutex);
  auto it = m_credentials.find(Key(scheme, host, port));
  if (it == m_credentials.end()) return std::nullopt;
  return it->second;
}

CookieJar::CookieJar(const std::vector<std::string>& lines) {
  EnsureCurlInitialised();
  m_share = curl_share_init();
  curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &CookieJar::Lock);
  curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &CookieJar::Unlock);
  curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
  curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  if (lines.empty()) return;
  // A handle of its own puts the lines in: libcurl reads a cookies.txt line given this way as it
  // reads one in a file, "#HttpOnly_" prefix included, and reads no file itself.
  CURL* easy = curl_easy_init();
  if (!easy) return;
  Join(easy);
  for (const std::string& line : lines) curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
  curl_easy_cleanup(easy);
}

CookieJar::~CookieJar() { curl_share_cleanup(m_share); }

void CookieJar::Join(CURL* easy) const {
  curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
  // "" reads no file; it only turns the engine on.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
}

bool CookieJar::NoteSetCookie(std::string_view line) {
  // Bounded: a site that sets a new cookie with every answer would otherwise grow it for ever;
  // forgetting only makes a repeated line count once more.
  constexpr std::size_t kMaxSeen = 65536;
  std::lock_guard lock(m_seenMutex);
  if (m_seen.size() >= kMaxSeen) m_seen.clear();
  if (!m_seen.insert(std::hash<std::string_view>()(line)).second) return false;
  m_changes.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void CookieJar::Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CookieJar*>(user)->m_locks[data].lock();
}

void CookieJar::Unlock(CURL*, curl_lock_data data, void* user) { static_cast<CookieJar*>(user)->m_locks[data].unlock(); }

std::shared_ptr<SessionState> StateOf(Session& session) {
  auto* impl = dynamic_cast<SessionImpl*>(&session);
  return impl ? impl->State() : nullptr;
}

std::shared_ptr<SessionState> StateForConnect(Session& session, std::string_view host, int port,
                                              Error& err) {
  err = Error{};
  auto state = StateOf(session);
  if (!state) {
    err = MakeError(ErrorCode::Internal, "not a session of this layer");
    return nullptr;
  }
  if (state->Closed()) {
    err = MakeError(ErrorCode::SessionClosed);
    return nullptr;
  }
  if (host.empty() || port < 1 || port > 65535) {
    err = MakeError(ErrorCode::InvalidUrl, "no host or a port outside 1..65535");
    return nullptr;
  }
  return state;
}

}  // namespace detail

std::unique_ptr<Session> OpenSession(std::string_view agent, Error& err) {
  return OpenSession(agent, std::make_shared<cache::Cache>(cache::DefaultDirectory()), err);
}

std::unique_ptr<Session> OpenSession(std::string_view agent, std::shared_ptr<cache::Cache> cache,
                                     Error& err) {
  SessionOptions options;
  options.agent = std::string(agent);
  return OpenSession(options, std::move(cache), err);
}

std::unique_ptr<Session> OpenSession(const SessionOptions& options, Error& err) {
  return OpenSession(options, std::make_shared<cache::Cache>(cache::DefaultDirectory()), err);
}

std::unique_ptr<Session> OpenSession(const SessionOptions& options, std::shared_ptr<cache::Cache> cache,
                                     Error& err) {
  return OpenSession(options, std::move(cache), TrustStoreFromEnvironment(), err);
}

std::unique_ptr<Session> OpenSession(const SessionOptions& options, std::shared_ptr<cache::Cache> cache,
                                     const TrustStore& trust, Error& err) {
  detail::EnsureCurlInitialised();
  err = Error{};
  return std::make_unique<detail::SessionImpl>(
      std::make_shared<detail::SessionState>(options, std::move(cache), trust));
}

TrustStore TrustStoreFromEnvironment() {
  auto get = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  TrustStore trust;
  trust.caFile = get("CURL_CA_BUNDLE");
  if (trust.caFile.empty()) trust.caFile = get("SSL_CERT_FILE");
  trust.caPath = get("SSL_CERT_DIR");
  return trust;
}

std::optional<std::uint32_t> QueryConnectionState() {
  // Linux has no autodial connection: the answer is always a LAN connection.
  constexpr std::uint32_t kConnectionLan = 2;
  return kConnectionLan;
}

bool HangUp() {
  // Nothing to hang up; the answer says that nothing was done.
  return false;
}

}  // namespace tk::inet

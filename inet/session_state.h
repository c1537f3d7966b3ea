#pragma once
// What a session shares with its connections and requests: the agent, the cache, the cookie jar,
// the closed flag that any thread may raise, the libcurl multi handles to wake when it does, and
// the credentials learnt during the session. Connections and requests hold it by shared_ptr, so
// closing or destroying the Session object never leaves them with a dangling pointer.
#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "inet/cache.h"
#include "inet/inet.h"
#include "inet/pacer.h"

namespace tk::inet::detail {

struct Credentials {
  std::string user;
  std::string password;
  unsigned long authMask = CURLAUTH_BASIC | CURLAUTH_DIGEST;  // which schemes libcurl may use
  bool operator==(const Credentials&) const = default;
};

// The session's cookie jar: one libcurl share that every easy handle of the session joins, so
// that a cookie set on one connection (or by a request sent ahead) goes with the next request on
// any other. Kept in memory only.
class CookieJar {
 public:
  // Fills the jar with `lines` of a Netscape cookies.txt; lines libcurl cannot read are left out.
  explicit CookieJar(const std::vector<std::string>& lines);
  ~CookieJar();
  CookieJar(const CookieJar&) = delete;
  CookieJar& operator=(const CookieJar&) = delete;

  // Joins the jar and turns libcurl's cookie engine on. Once per handle: libcurl keeps a list of
  // the cookie files named, and a parked handle set up again would grow it with every request.
  void Join(CURL* easy) const;
  // Raised whenever an answer sets a cookie the session has not seen set before. A request sent
  // ahead carries the cookies of the time it was sent; once this has moved, it may not carry what
  // its turn would, and it is sent afresh (see HttpRequestImpl::SentAsNow). A Set-Cookie line
  // repeated word for word (many sites send the same one with every answer) changes nothing.
  std::uint64_t Changes() const { return m_changes.load(std::memory_order_acquire); }
  // `line`: a Set-Cookie header line as received. True when it moved Changes().
  bool NoteSetCookie(std::string_view line);

 private:
  static void Lock(CURL*, curl_lock_data, curl_lock_access, void* user);
  static void Unlock(CURL*, curl_lock_data, void* user);

  CURLSH* m_share = nullptr;
  // libcurl takes these around each use of the shared data, one per kind. Every transfer runs on
  // the worker thread today, so they are never contended; nothing depends on that, though.
  std::mutex m_locks[CURL_LOCK_DATA_LAST];
  std::atomic<std::uint64_t> m_changes{0};
  std::mutex m_seenMutex;
  std::unordered_set<std::size_t> m_seen;  // hashes of the Set-Cookie lines met
};

class SessionState {
 public:
  SessionState(SessionOptions options, std::shared_ptr<cache::Cache> cache, TrustStore trust = {})
      : m_options(std::move(options)),
        m_cache(std::move(cache)),
        m_trust(std::move(trust)),
        m_pacer(m_options.wait, m_options.limitRate),
        m_cookies(m_options.cookies) {
    // Loaded once; a copy in the options would only hold the user's cookies in memory longer.
    m_options.cookies.clear();
    m_options.cookies.shrink_to_fit();
  }
  SessionState(std::string agent, std::shared_ptr<cache::Cache> cache, TrustStore trust = {})
      : SessionState(AgentOnly(std::move(agent)), std::move(cache), std::move(trust)) {}

  const SessionOptions& Options() const { return m_options; }
  const std::string& Agent() const { return m_options.agent; }
  // The cache every request and FTP file of the session reads and writes.
  const std::shared_ptr<cache::Cache>& Cache() const { return m_cache; }
  const TrustStore& Trust() const { return m_trust; }
  // The gap kept between transfers, across every connection of the session.
  Pacer& Pacing() { return m_pacer; }
  // How many requests a connection may send ahead of their turn at once: none while the run is
  // paced (a wait, a rate), else what the bound on connections to one server leaves.
  std::size_t MaxAheadInFlight(std::size_t cap) const;
  CookieJar& Cookies() { return m_cookies; }
  const CookieJar& Cookies() const { return m_cookies; }
  bool Closed() const { return m_closed.load(std::memory_order_acquire); }
  // Any thread. Raises the flag, then wakes every multi handle so that a worker blocked in
  // curl_multi_poll sees the flag at once.
  void Close();

  // A multi handle is woken only while registered; Unregister must come before its cleanup, and
  // both take the same lock as Close, so a wake-up never reaches a freed handle.
  void Register(CURLM* multi);
  void Unregister(CURLM* multi);

  // Per scheme ("http", "https"), host and port: what a user gave for one origin goes to that
  // origin only.
  void RememberCredentials(std::string_view scheme, std::string_view host, int port, const Credentials& creds);
  std::optional<Credentials> FindCredentials(std::string_view scheme, std::string_view host, int port) const;

 private:
  static std::string Key(std::string_view scheme, std::string_view host, int port);
  static SessionOptions AgentOnly(std::string agent) {
    SessionOptions options;
    options.agent = std::move(agent);
    return options;
  }

  SessionOptions m_options;
  std::shared_ptr<cache::Cache> m_cache;
  TrustStore m_trust;
  Pacer m_pacer;
  CookieJar m_cookies;
  std::atomic<bool> m_closed{false};
  mutable std::mutex m_mutex;
  std::set<CURLM*> m_multis;
  std::map<std::string, Credentials> m_credentials;
};

class SessionImpl final : public Session {
 public:
  explicit SessionImpl(std::shared_ptr<SessionState> state) : m_state(std::move(state)) {}
  ~SessionImpl() override { m_state->Close(); }
  void Close() override { m_state->Close(); }
  bool IsClosed() const override { return m_state->Closed(); }
  std::string OpenCache() override { return m_state->Cache()->Open(); }
  const std::shared_ptr<SessionState>& State() const { return m_state; }

 private:
  std::shared_ptr<SessionState> m_state;
};

// The shared state behind a session made by OpenSession; nullptr for any other Session.
std::shared_ptr<SessionState> StateOf(Session& session);

// The checks every Connect makes before it touches the network: a session of this layer, still
// open, and a host with a port in range. nullptr with `err` filled when one fails.
std::shared_ptr<SessionState> StateForConnect(Session& session, std::string_view host, int port,
                                              Error& err);

// curl_global_init, once per process, thread-safe.
void EnsureCurlInitialised();

}  // namespace tk::inet::detail

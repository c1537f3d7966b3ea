// HTTP connections: requests on one libcurl multi handle, whose pool keeps connections alive,
// and the requests sent ahead of their turn.
#include <string>
#include <vector>

#include "inet/http_request.h"
#include "inet/inet.h"
#include "inet/transfer.h"
#include "inet/url.h"

namespace tk::inet {
namespace {

using detail::Credentials;
using detail::HttpRequestImpl;
using detail::Multi;
using detail::SessionState;

class HttpConnectionImpl final : public HttpConnection {
 public:
  HttpConnectionImpl(std::shared_ptr<SessionState> session, std::string host, int port, bool secure,
                     std::optional<Credentials> credentials)
      : m_multi(std::make_shared<Multi>(std::move(session))),
        m_host(std::move(host)),
        m_port(port),
        m_secure(secure),
        m_credentials(std::move(credentials)) {}

  const std::string& ServerName() const override { return m_host; }
  int Port() const override { return m_port; }
  bool Secure() const override { return m_secure; }

  std::unique_ptr<HttpRequest> OpenRequest(std::string_view object, std::uint32_t flags,
                                           Error& err) override {
    err = Error{};
    if (m_multi->Session()->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return nullptr;
    }
    if (auto ahead = TakeAhead(object, flags)) {
      StartAheadRequests();
      if (!ahead->OpenAhead(err)) return nullptr;
      return ahead;
    }
    StartAheadRequests();
    auto request = std::make_unique<HttpRequestImpl>(m_multi, m_host, m_port, m_secure, std::string(object),
                                                     flags, m_credentials);
    const bool opened = AheadInFlight() ? request->OpenBesideAhead(err, kAheadGrace, [this] { TurnAheadOff(); })
                                        : request->Open(err);
    if (!opened) return nullptr;
    return request;
  }

  void Prefetch(std::string_view object, std::uint32_t flags) override {
    if (m_aheadOff || m_multi->Session()->Closed()) return;
    std::string wire = WireObject(object);
    Ahead* found = nullptr;
    for (auto& ahead : m_ahead)
      if (ahead.request->WireObjectText() == wire && ahead.request->Flags() == flags) found = &ahead;
    if (m_ahead.size() >= kMaxAhead && !found) {
      // Full: a hint not yet sent gives way to this newer one, needed sooner; one sent stays.
      auto oldest = m_ahead.end();
      for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it)
        if (!it->started && (oldest == m_ahead.end() || it->order < oldest->order)) oldest = it;
      if (oldest != m_ahead.end()) m_ahead.erase(oldest);
    }
    if (found) {
      found->order = ++m_order;  // asked for again: needed sooner than the older hints
    } else if (m_ahead.size() < kMaxAhead) {
      if (!m_aheadMulti) {
        m_aheadMulti = std::make_shared<Multi>(m_multi->Session());
        m_multi->SetCompanion(m_aheadMulti);
      }
      m_ahead.push_back({std::make_unique<HttpRequestImpl>(m_aheadMulti, m_host, m_port, m_secure,
                                                           std::string(object), flags, m_credentials),
                         ++m_order, false});
    }
    // Sent when the connection next works (OpenRequest, PeekAhead): hints given together are
    // then ranked among themselves before the first of them takes a free connection.
  }

  bool PeekAhead(std::string_view object, std::uint32_t flags, std::string& contentType,
                 std::string& body) override {
    if (m_ahead.empty() || m_aheadOff) return false;
    StartAheadRequests();
    if (m_aheadMulti) m_aheadMulti->PerformOnce();
    std::string wire = WireObject(object);
    for (auto& ahead : m_ahead)
      if (ahead.started && ahead.request->WireObjectText() == wire && ahead.request->Flags() == flags)
        return ahead.request->PeekAnswer(contentType, body);
    return false;
  }

 private:
  // Hints kept, and requests sent ahead at once. A request sent ahead holds its own connection
  // until its answer is in (or, for a long body, until it is read), so the second bound is the
  // number of extra connections to the server; an answer that is in holds only its bytes.
  static constexpr std::size_t kMaxAhead = 32;
  static constexpr std::size_t kMaxAheadInFlight = 4;
  // How long a request sent ahead may still take to answer once its turn has come; past it the
  // server is taken to be one that serves a single connection at a time.
  static constexpr std::chrono::milliseconds kAheadGrace{500};

  struct Ahead {
    std::unique_ptr<HttpRequestImpl> request;
    std::uint64_t order;  // higher: hinted more recently, so needed sooner in a depth-first crawl
    bool started;
  };

  // The server does not take the extra connections well: from here on every request of this
  // connection goes in its turn, as if nothing had been sent ahead.
  void TurnAheadOff() {
    m_aheadOff = true;
    m_ahead.clear();
    // Its pool goes with the last request that uses it, and the extra connections with the pool.
    m_aheadMulti.reset();
  }

  // Requests sent ahead, or the idle connections they leave in their pool, may hold the server.
  bool AheadInFlight() const { return m_aheadMulti != nullptr; }

  void StartAheadRequests() {
    std::size_t inFlight = 0;
    for (const auto& ahead : m_ahead)
      if (ahead.started && !ahead.request->Done()) ++inFlight;
    while (inFlight < kMaxAheadInFlight) {
      auto next = m_ahead.end();
      for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it)
        if (!it->started && (next == m_ahead.end() || it->order > next->order)) next = it;
      if (next == m_ahead.end()) return;
      Error ignored;  // one that cannot start is simply sent when it is opened
      if (!next->request->StartAhead(ignored)) {
        m_ahead.erase(next);
        continue;
      }
      next->started = true;
      ++inFlight;
    }
  }

  // The request sent ahead for exactly this object and these flags, if it is still good to use.
  // A hint not yet sent is dropped, and so is a request sent with credentials that have changed
  // since, one built from a cache entry that has changed since, or a long answer paused for
  // long: all are sent afresh.
  std::unique_ptr<HttpRequestImpl> TakeAhead(std::string_view object, std::uint32_t flags) {
    if (m_ahead.empty()) return nullptr;
    std::string wire = WireObject(object);
    for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it) {
      if (it->request->WireObjectText() != wire || it->request->Flags() != flags) continue;
      Ahead ahead = std::move(*it);
      m_ahead.erase(it);
      if (!ahead.started || !ahead.request->SentAsNow() || ahead.request->PausedTooLong() ||
          !ahead.request->AheadEntryCurrent())
        return nullptr;
      if (!ahead.request->AheadAnswerUsable(kAheadGrace)) {
        TurnAheadOff();
        return nullptr;
      }
      return std::move(ahead.request);
    }
    return nullptr;
  }

  std::shared_ptr<Multi> m_multi;  // its connection pool is what keeps connections alive
  std::string m_host;
  int m_port;
  bool m_secure;
  std::optional<Credentials> m_credentials;
  // Requests sent ahead have a pool of their own, so that the connections they keep alive can be
  // closed at once, all of them, without touching the connection of the requests made in turn.
  std::shared_ptr<Multi> m_aheadMulti;
  std::vector<Ahead> m_ahead;  // hinted, not yet opened
  bool m_aheadOff = false;     // the server answered a request sent ahead badly or not at all
  std::uint64_t m_order = 0;
};

}  // namespace

std::unique_ptr<HttpConnection> ConnectHttp(Session& session, std::string_view host, int port,
                                            std::string_view user, std::string_view password,
                                            Error& err) {
  auto state = detail::StateForConnect(session, host, port, err);
  if (!state) return nullptr;
  std::optional<Credentials> creds;
  if (!user.empty()) creds = Credentials{std::string(user), std::string(password)};
  return std::make_unique<HttpConnectionImpl>(state, std::string(host), port, false, creds);
}

std::unique_ptr<HttpConnection> ConnectHttp(Session& session, std::string_view host, int port,
                                            Error& err) {
  return ConnectHttp(session, host, port, {}, {}, err);
}

std::unique_ptr<HttpConnection> ConnectHttps(Session& session, std::string_view host, int port,
                                             Error& err) {
  auto state = detail::StateForConnect(session, host, port, err);
  if (!state) return nullptr;
  return std::make_unique<HttpConnectionImpl>(state, std::string(host), port, true, std::nullopt);
}

}  // namespace tk::inet

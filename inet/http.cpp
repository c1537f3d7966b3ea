// HTTP connections: requests on one libcurl multi handle, whose pool keeps connections alive;
// the requests sent ahead of their turn (http_ahead.cpp) share it.
#include <string>
#include <vector>

#include "inet/answer_pace.h"
#include "inet/http_ahead.h"
#include "inet/http_request.h"
#include "inet/inet.h"
#include "inet/transfer.h"
#include "inet/url.h"

namespace tk::inet {
namespace {

using detail::AheadPool;
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
        m_credentials(std::move(credentials)),
        m_ahead(m_multi, m_host, m_port, m_secure, m_credentials) {}

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
    if (auto ahead = m_ahead.Take(object, flags)) {
      m_ahead.StartRequests();
      if (!ahead->OpenAhead(err)) return nullptr;
      m_pace.Note(ahead->AnswerDelayUs());
      return ahead;
    }
    m_ahead.StartRequests();
    auto request = std::make_unique<HttpRequestImpl>(m_multi, m_host, m_port, m_secure, std::string(object), flags,
                                                     m_credentials);
    const auto grace = m_ahead.Proven() ? std::nullopt : std::optional(AheadPool::kGrace);
    const bool opened = m_ahead.InFlight()
                            ? request->OpenBesideAhead(err, grace, [this] { m_ahead.TurnOff(); })
                            : request->Open(err);
    if (!opened) return nullptr;
    m_pace.Note(request->AnswerDelayUs());
    m_ahead.NoteTurnAnswered();
    return request;
  }

  void Prefetch(std::string_view object, std::uint32_t flags) override { m_ahead.Prefetch(object, flags); }
  bool AheadPays() const override { return m_pace.AheadPays(); }

  bool PeekAhead(std::string_view object, std::uint32_t flags, std::string& contentType,
                 std::string& body) override {
    return m_ahead.Peek(object, flags, contentType, body);
  }

 private:
  std::shared_ptr<Multi> m_multi;  // its connection pool is what keeps connections alive, for every request
  std::string m_host;
  int m_port;
  bool m_secure;
  std::optional<Credentials> m_credentials;
  AnswerPace m_pace;
  AheadPool m_ahead;  // destroyed first: its requests go before the connection they ran beside
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
                                             std::string_view user, std::string_view password,
                                             Error& err) {
  auto state = detail::StateForConnect(session, host, port, err);
  if (!state) return nullptr;
  std::optional<Credentials> creds;
  if (!user.empty()) creds = Credentials{std::string(user), std::string(password)};
  return std::make_unique<HttpConnectionImpl>(state, std::string(host), port, true, creds);
}

std::unique_ptr<HttpConnection> ConnectHttps(Session& session, std::string_view host, int port,
                                             Error& err) {
  return ConnectHttps(session, host, port, {}, {}, err);
}

}  // namespace tk::inet

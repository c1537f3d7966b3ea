#include "engine/inet_backend.h"

#include "inet/cache.h"
#include "inet/errors.h"

namespace tk {
namespace {

class EnvironmentBackend final : public LibraryBackend {
 public:
  EnvironmentBackend() : LibraryBackend({}) {}

 protected:
  NetworkPlaces Places() const override { return NetworkPlacesFromEnvironment(); }
};

}  // namespace

NetworkPlaces NetworkPlacesFromEnvironment() { return {inet::cache::DefaultDirectory(), inet::TrustStoreFromEnvironment()}; }

std::unique_ptr<inet::Session> LibraryBackend::OpenSession(std::string_view agent, inet::Error& err) {
  inet::SessionOptions options;
  options.agent = std::string(agent);
  return OpenSession(options, err);
}

std::unique_ptr<inet::Session> LibraryBackend::OpenSession(const inet::SessionOptions& options, inet::Error& err) {
  NetworkPlaces places = Places();
  return inet::OpenSession(options, std::make_shared<inet::cache::Cache>(std::move(places.cacheFolder)),
                           places.trust, err);
}

std::unique_ptr<inet::HttpConnection> LibraryBackend::ConnectHttp(inet::Session& session, std::string_view host,
                                                                  int port, inet::Error& err) {
  return inet::ConnectHttp(session, host, port, err);
}

std::unique_ptr<inet::HttpConnection> LibraryBackend::ConnectHttps(inet::Session& session, std::string_view host,
                                                                   int port, inet::Error& err) {
  return inet::ConnectHttps(session, host, port, err);
}

std::unique_ptr<inet::HttpConnection> LibraryBackend::ConnectHttpLogin(inet::Session& session, std::string_view host,
                                                                       int port, bool secure, std::string_view user,
                                                                       std::string_view password, inet::Error& err) {
  return secure ? inet::ConnectHttps(session, host, port, user, password, err)
                : inet::ConnectHttp(session, host, port, user, password, err);
}

std::unique_ptr<inet::FtpConnection> LibraryBackend::ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                                inet::Error& err) {
  return inet::ConnectFtp(session, host, port, err);
}

std::unique_ptr<inet::FtpConnection> LibraryBackend::ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                                std::string_view user, std::string_view password,
                                                                inet::Error& err) {
  return inet::ConnectFtp(session, host, port, user, password, err);
}

std::optional<std::uint32_t> LibraryBackend::QueryConnectionState() { return inet::QueryConnectionState(); }

bool LibraryBackend::HangUp() { return inet::HangUp(); }

std::unique_ptr<inet::HttpConnection> InetBackend::ConnectHttps(inet::Session&, std::string_view, int,
                                                                inet::Error& err) {
  err = inet::MakeError(inet::ErrorCode::UnsupportedScheme, "https");
  return nullptr;
}

std::unique_ptr<inet::FtpConnection> InetBackend::ConnectFtp(inet::Session& session, std::string_view host,
                                                             int port, std::string_view user, std::string_view,
                                                             inet::Error& err) {
  if (user.empty()) return ConnectFtp(session, host, port, err);
  err = inet::MakeError(inet::ErrorCode::FtpLoginFailed, "no login through this connection");
  return nullptr;
}

InetBackend& DefaultInetBackend() {
  static EnvironmentBackend backend;
  return backend;
}

}  // namespace tk

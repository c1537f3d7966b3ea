#include "engine/inet_backend.h"

#include "inet/errors.h"

namespace tk {
namespace {

class LibraryBackend final : public InetBackend {
 public:
  std::unique_ptr<inet::Session> OpenSession(std::string_view agent, inet::Error& err) override {
    return inet::OpenSession(agent, err);
  }
  std::unique_ptr<inet::Session> OpenSession(const inet::SessionOptions& options, inet::Error& err) override {
    return inet::OpenSession(options, err);
  }
  std::unique_ptr<inet::HttpConnection> ConnectHttp(inet::Session& session, std::string_view host, int port,
                                                    inet::Error& err) override {
    return inet::ConnectHttp(session, host, port, err);
  }
  std::unique_ptr<inet::HttpConnection> ConnectHttps(inet::Session& session, std::string_view host, int port,
                                                     inet::Error& err) override {
    return inet::ConnectHttps(session, host, port, err);
  }
  std::unique_ptr<inet::HttpConnection> ConnectHttpLogin(inet::Session& session, std::string_view host, int port,
                                                         bool secure, std::string_view user, std::string_view password,
                                                         inet::Error& err) override {
    return secure ? inet::ConnectHttps(session, host, port, user, password, err)
                  : inet::ConnectHttp(session, host, port, user, password, err);
  }
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                  inet::Error& err) override {
    return inet::ConnectFtp(session, host, port, err);
  }
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                  std::string_view user, std::string_view password,
                                                  inet::Error& err) override {
    return inet::ConnectFtp(session, host, port, user, password, err);
  }
  std::optional<std::uint32_t> QueryConnectionState() override { return inet::QueryConnectionState(); }
  bool HangUp() override { return inet::HangUp(); }
};

}  // namespace

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
  static LibraryBackend backend;
  return backend;
}

}  // namespace tk

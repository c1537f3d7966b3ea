#pragma once
// How a run reaches the network. The default goes to the internet layer; tests hand in fakes.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "inet/inet.h"

namespace tk {

class InetBackend {
 public:
  virtual ~InetBackend() = default;
  virtual std::unique_ptr<inet::Session> OpenSession(std::string_view agent, inet::Error& err) = 0;
  // With every option of the run. A backend that does not care for the options (the tests'
  // fakes) opens its session by the agent alone.
  virtual std::unique_ptr<inet::Session> OpenSession(const inet::SessionOptions& options, inet::Error& err) {
    return OpenSession(options.agent, err);
  }
  virtual std::unique_ptr<inet::HttpConnection> ConnectHttp(inet::Session& session, std::string_view host,
                                                             int port, inet::Error& err) = 0;
  // Over TLS. A backend that knows only plain HTTP leaves this as it is: every https fetch then
  // fails with an internet error.
  virtual std::unique_ptr<inet::HttpConnection> ConnectHttps(inet::Session& session, std::string_view host,
                                                              int port, inet::Error& err);
  // With the login written in the URL (user:password@host), over TLS when `secure`. A backend
  // that knows no logins (the tests' fakes) connects as it does without one.
  virtual std::unique_ptr<inet::HttpConnection> ConnectHttpLogin(inet::Session& session, std::string_view host,
                                                                  int port, bool secure, std::string_view user,
                                                                  std::string_view password, inet::Error& err) {
    (void)user;
    (void)password;
    return secure ? ConnectHttps(session, host, port, err) : ConnectHttp(session, host, port, err);
  }
  virtual std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host,
                                                          int port, inet::Error& err) = 0;
  // With the login of a URL's user:password@. A backend without logins refuses any but the
  // anonymous one (an empty user), which it hands to the call above.
  virtual std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host,
                                                          int port, std::string_view user,
                                                          std::string_view password, inet::Error& err);
  virtual std::optional<std::uint32_t> QueryConnectionState() = 0;
  virtual bool HangUp() = 0;
};

// What the internet layer keeps and trusts outside the run's own settings: the cache folder and
// the store TLS certificates are verified against. Values, so that a test hands in its own
// folders and certificate authority without touching the process's environment.
struct NetworkPlaces {
  std::filesystem::path cacheFolder;
  inet::TrustStore trust;
};

// The places the environment names for the programs: $XDG_CACHE_HOME/trawlkit (see
// inet::cache::DefaultDirectory) and the trust store of CURL_CA_BUNDLE, SSL_CERT_FILE and
// SSL_CERT_DIR.
NetworkPlaces NetworkPlacesFromEnvironment();

// The internet layer, each session with a cache in `places.cacheFolder` (default size cap) and
// TLS verified against `places.trust`.
class LibraryBackend : public InetBackend {
 public:
  explicit LibraryBackend(NetworkPlaces places) : m_places(std::move(places)) {}
  std::unique_ptr<inet::Session> OpenSession(std::string_view agent, inet::Error& err) override;
  std::unique_ptr<inet::Session> OpenSession(const inet::SessionOptions& options, inet::Error& err) override;
  std::unique_ptr<inet::HttpConnection> ConnectHttp(inet::Session& session, std::string_view host, int port,
                                                    inet::Error& err) override;
  std::unique_ptr<inet::HttpConnection> ConnectHttps(inet::Session& session, std::string_view host, int port,
                                                     inet::Error& err) override;
  std::unique_ptr<inet::HttpConnection> ConnectHttpLogin(inet::Session& session, std::string_view host, int port,
                                                         bool secure, std::string_view user, std::string_view password,
                                                         inet::Error& err) override;
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                  inet::Error& err) override;
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                  std::string_view user, std::string_view password,
                                                  inet::Error& err) override;
  std::optional<std::uint32_t> QueryConnectionState() override;
  bool HangUp() override;

 protected:
  // Asked as each session opens.
  virtual NetworkPlaces Places() const { return m_places; }

 private:
  NetworkPlaces m_places;
};

// The programs' backend: the internet layer with the places of NetworkPlacesFromEnvironment(),
// read as each session opens.
InetBackend& DefaultInetBackend();

}  // namespace tk

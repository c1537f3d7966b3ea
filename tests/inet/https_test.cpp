// HTTPS against the TLS test server on 127.0.0.1: which trust store the environment names, the
// https proxy, and HTTP/2's lower-case header names spelled as HTTP/1.1 spells them.
#include <gtest/gtest.h>

#include <map>

#include "inet/errors.h"
#include "inet/http_headers.h"
#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

using test::Body;
using test::ReadAll;

constexpr std::uint32_t kReload = kFlagReload | kFlagNoAutoRedirect | kFlagCacheFile;
constexpr const char* kStoreVariables[] = {"CURL_CA_BUNDLE", "SSL_CERT_FILE", "SSL_CERT_DIR", "https_proxy",
                                           "HTTPS_PROXY",    "no_proxy",      "NO_PROXY"};

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakeTestCertificates(tls.Path());
    server = test::HttpsTestServer::Start(tls.Path(), "good");
    for (const char* name : kStoreVariables) {
      if (const char* value = std::getenv(name)) saved[name] = value;
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (const char* name : kStoreVariables) unsetenv(name);
    for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
  }

  // One GET of `object` on a fresh session, which reads the environment as it is now.
  std::optional<std::string> Get(const std::string& host, const std::string& object, Error& err) {
    auto session = OpenSession("trawlkit-test", testCache.Get(), err);
    auto conn = ConnectHttps(*session, host, server->Port(), err);
    if (!conn) return std::nullopt;
    EXPECT_TRUE(conn->Secure());
    auto req = conn->OpenRequest(object, kReload, err);
    if (!req) return std::nullopt;
    EXPECT_EQ(req->StatusCode(), 200);
    EXPECT_NE(req->RawHeaders().find("\r\nContent-Length: "), std::string::npos) << req->RawHeaders();
    return ReadAll(*req, err);
  }

  test::TestCache testCache;
  test::TempDir tls;
  std::unique_ptr<test::HttpsTestServer> server;
  std::map<std::string, std::string> saved;  // the variables as the test found them
};

TEST_F(HttpsTest, TheTrustStoreIsTheOneTheEnvironmentNames) {
  // A folder of hashed certificates, as SSL_CERT_DIR expects it.
  std::filesystem::create_directories(tls / "dir");
  std::filesystem::copy_file(tls / "ca.pem", tls / "dir/ca.pem");
  ASSERT_EQ(std::system(("openssl rehash '" + (tls / "dir").string() + "' 2>/dev/null").c_str()), 0);
  const std::string ca = (tls / "ca.pem").string(), dir = (tls / "dir").string(), none = (tls / "none.pem").string();
  const struct {
    const char* bundle;  // CURL_CA_BUNDLE
    const char* file;    // SSL_CERT_FILE
    const char* folder;  // SSL_CERT_DIR
    bool trusted;
  } rows[] = {
      {nullptr, nullptr, nullptr, false},  // the system's store does not know the test authority
      {nullptr, ca.c_str(), nullptr, true},
      {ca.c_str(), none.c_str(), nullptr, true},  // CURL_CA_BUNDLE comes first
      {none.c_str(), ca.c_str(), nullptr, false},
      {nullptr, nullptr, dir.c_str(), true},
  };
  for (const auto& r : rows) {
    for (const char* name : kStoreVariables) unsetenv(name);
    if (r.bundle) setenv("CURL_CA_BUNDLE", r.bundle, 1);
    if (r.file) setenv("SSL_CERT_FILE", r.file, 1);
    if (r.folder) setenv("SSL_CERT_DIR", r.folder, 1);
    Error err;
    auto body = Get("127.0.0.1", "/__/bytes?n=5000", err);
    const std::string row = std::string(r.bundle ? r.bundle : "-") + " " + (r.file ? r.file : "-") + " " +
                            (r.folder ? r.folder : "-");
    if (r.trusted) {
      EXPECT_EQ(body, Body(5000)) << row << ": " << err.message;
    } else {
      EXPECT_FALSE(body) << row;
      EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SecureChannel)) << row << ": " << err.message;
    }
  }
  // "localhost" is the certificate's other name; the server counted only the trusted requests.
  setenv("SSL_CERT_FILE", ca.c_str(), 1);
  Error err;
  EXPECT_EQ(Get("localhost", "/__/bytes?n=10", err), Body(10)) << err.message;
  EXPECT_EQ(server->Stats().requests, 4);
}

TEST_F(HttpsTest, TheHttpsProxyTunnelsUnlessNoProxySaysOtherwise) {
  setenv("SSL_CERT_FILE", (tls / "ca.pem").c_str(), 1);
  // The test server's plain port stands in for the proxy: it opens the tunnel to its own TLS port.
  setenv("https_proxy", server->PlainUrl("").c_str(), 1);
  Error err;
  EXPECT_EQ(Get("localhost", "/__/bytes?n=7", err), Body(7)) << err.message;
  setenv("no_proxy", "localhost", 1);
  EXPECT_EQ(Get("localhost", "/__/bytes?n=8", err), Body(8)) << err.message;
  test::HttpStats stats = server->Stats();
  EXPECT_EQ(stats.requests, 3) << stats.json;  // one CONNECT, two GETs
  EXPECT_NE(stats.json.find("\"method\": \"CONNECT\", \"path\": \"localhost:" + std::to_string(server->Port())),
            std::string::npos)
      << stats.json;
}

TEST(HeaderNames, HttpTwosLowerCaseNamesAreSpelledAsHttpOneSpellsThem) {
  const struct {
    const char* line;
    const char* usual;
  } rows[] = {
      {"location: /a/b?x=y", "Location: /a/b?x=y"},
      {"content-type: text/html", "Content-Type: text/html"},
      {"www-authenticate: Basic realm=\"r\"", "Www-Authenticate: Basic realm=\"r\""},
      {"x-a-b:c-d", "X-A-B:c-d"},
      {"etag: \"e-1\"", "Etag: \"e-1\""},
  };
  for (const auto& r : rows) EXPECT_EQ(WithUsualNameCase(r.line), r.usual) << r.line;
}

}  // namespace
}  // namespace tk::inet

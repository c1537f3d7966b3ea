// Logins a session remembers: for the scheme, host and port they were given for, and no other.
#include <gtest/gtest.h>

#include <map>

#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

constexpr std::uint32_t kReload = kFlagReload | kFlagNoAutoRedirect | kFlagCacheFile;
constexpr const char* kVariables[] = {"CURL_CA_BUNDLE", "SSL_CERT_FILE", "SSL_CERT_DIR", "http_proxy",
                                      "HTTP_PROXY",     "no_proxy",      "NO_PROXY"};

class OriginCredentials : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakeTestCertificates(tls.Path());
    server = test::HttpsTestServer::Start(tls.Path(), "good");
    for (const char* name : kVariables) {
      if (const char* value = std::getenv(name)) saved[name] = value;
      unsetenv(name);
    }
    setenv("SSL_CERT_FILE", (tls / "ca.pem").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : kVariables) unsetenv(name);
    for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
  }

  test::TestCache testCache;
  test::TempDir tls;
  std::unique_ptr<test::HttpsTestServer> server;
  std::map<std::string, std::string> saved;
};

TEST_F(OriginCredentials, APasswordGivenForHttpsIsNeverSentOverPlainHttp) {
  Error err;
  auto session = OpenSession("trawlkit-test", testCache.Get(), err);
  const int port = server->Port();
  const std::string object = "/__/basic?user=bob&pw=s3cret";
  // Given after a 401 for https://127.0.0.1:<port>/, and remembered for it.
  auto secure = ConnectHttps(*session, "127.0.0.1", port, err);
  auto asked = secure->OpenRequest(object, kReload, err);
  ASSERT_TRUE(asked) << err.message;
  ASSERT_EQ(asked->StatusCode(), 401);
  ASSERT_TRUE(asked->ResendWithCredentials("bob", "s3cret", err)) << err.message;
  EXPECT_EQ(asked->StatusCode(), 200);
  asked.reset();
  auto again = ConnectHttps(*session, "127.0.0.1", port, err)->OpenRequest(object, kReload, err);
  ASSERT_TRUE(again) << err.message;
  EXPECT_EQ(again->StatusCode(), 200);
  again.reset();

  // http://127.0.0.1:<port>/ is another origin. The plain server stands in for it as a proxy,
  // and tells what the request carried.
  setenv("http_proxy", server->PlainUrl("").c_str(), 1);
  auto plain = ConnectHttp(*session, "127.0.0.1", port, err);
  auto request = plain->OpenRequest(object, kReload, err);
  ASSERT_TRUE(request) << err.message;
  EXPECT_EQ(request->StatusCode(), 401);
  request.reset();
  const std::string stats = server->Stats().json;
  const std::size_t at = stats.find("\"path\": \"http://127.0.0.1:" + std::to_string(port) + object + "\"");
  ASSERT_NE(at, std::string::npos) << stats;
  EXPECT_EQ(stats.substr(at, stats.find('}', at) - at).find("authorization"), std::string::npos) << stats;
}

TEST_F(OriginCredentials, ALoginInAnHttpsUrlIsSentAtOnce) {
  Error err;
  auto session = OpenSession("trawlkit-test", testCache.Get(), err);
  for (const char* route : {"/__/basic?user=bob&pw=s3cret", "/__/digest?user=bob&pw=s3cret"}) {
    SCOPED_TRACE(route);
    auto conn = ConnectHttps(*session, "127.0.0.1", server->Port(), "bob", "s3cret", err);
    ASSERT_TRUE(conn) << err.message;
    auto request = conn->OpenRequest(route, kReload, err);
    ASSERT_TRUE(request) << err.message;
    EXPECT_EQ(request->StatusCode(), 200);
    EXPECT_EQ(*test::ReadAll(*request, err), "welcome bob");
  }
}

}  // namespace
}  // namespace tk::inet

// HTTP against the real test server on 127.0.0.1: statuses, headers, bodies of every framing,
// keep-alive, errors for cut bodies, cancelling from another thread, authentication.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "inet/errors.h"
#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

using test::Body;
using test::ReadAll;

constexpr std::uint32_t kReload = kFlagReload | kFlagNoAutoRedirect | kFlagCacheFile;

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = test::HttpTestServer::Start();
    Error err;
    session = OpenSession("trawlkit-test", testCache.Get(), err);
    ASSERT_TRUE(session) << err.message;
    conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
    ASSERT_TRUE(conn) << err.message;
  }

  std::unique_ptr<HttpRequest> Get(const std::string& object, std::uint32_t flags = kReload) {
    Error err;
    auto req = conn->OpenRequest(object, flags, err);
    EXPECT_TRUE(req) << object << ": " << err.number << " " << err.message;
    return req;
  }

  test::TestCache testCache;
  std::unique_ptr<test::HttpTestServer> server;
  std::unique_ptr<Session> session;
  std::unique_ptr<HttpConnection> conn;
};

TEST_F(HttpTest, StatusHeadersAndBody) {
  auto req = Get("/__/bytes?n=5000&ct=text/html");
  ASSERT_TRUE(req);
  EXPECT_EQ(req->StatusCode(), 200);
  EXPECT_EQ(req->ContentType(), "text/html");
  EXPECT_EQ(req->ContentLength(), "5000");
  std::string raw = req->RawHeaders();
  EXPECT_EQ(raw.rfind("HTTP/1.1 200", 0), 0u) << raw;
  EXPECT_NE(raw.find("\r\nContent-Length: 5000\r\n"), std::string::npos) << raw;
  EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
  Error err;
  auto body = ReadAll(*req, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(*body, Body(5000));
  EXPECT_EQ(conn->ServerName(), "127.0.0.1");
  EXPECT_EQ(conn->Port(), server->Port());
}

TEST_F(HttpTest, ReadsAtMostTheAskedCount) {
  auto req = Get("/__/bytes?n=3000");
  ASSERT_TRUE(req);
  char buf[2048];
  Error err;
  long n = req->Read(buf, 1023, err);
  EXPECT_GT(n, 0);
  EXPECT_LE(n, 1023);
  n = req->Read(buf, 7, err);
  EXPECT_GT(n, 0);
  EXPECT_LE(n, 7);
}

TEST_F(HttpTest, EmptyBodyReadsZero) {
  auto req = Get("/__/bytes?n=0");
  ASSERT_TRUE(req);
  char buf[16];
  Error err;
  EXPECT_EQ(req->Read(buf, sizeof buf, err), 0);
  EXPECT_EQ(req->Read(buf, sizeof buf, err), 0);
}

TEST_F(HttpTest, ConsecutiveRequestsShareOneConnection) {
  for (int i = 0; i < 4; ++i) {
    auto req = Get("/__/bytes?n=" + std::to_string(1000 + i));
    ASSERT_TRUE(req);
    Error err;
    auto body = ReadAll(*req, err);
    ASSERT_TRUE(body) << err.message;
    EXPECT_EQ(body->size(), 1000u + i);
  }
  // A redirect and an error status answered, their small bodies dropped unread.
  EXPECT_EQ(Get("/__/redirect?to=/elsewhere")->StatusCode(), 302);
  EXPECT_EQ(Get("/__/status?code=404")->StatusCode(), 404);
  auto req = Get("/__/bytes?n=10");
  ASSERT_TRUE(req);
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.requests, 7);
  EXPECT_EQ(s.connections, 1) << s.json;
}

TEST_F(HttpTest, NoRedirectIsFollowed) {
  auto req = Get("/__/redirect?code=301&to=http://127.0.0.1:1/x");
  ASSERT_TRUE(req);
  EXPECT_EQ(req->StatusCode(), 301);
  EXPECT_NE(req->RawHeaders().find("\r\nLocation: http://127.0.0.1:1/x\r\n"), std::string::npos);
  EXPECT_EQ(server->Stats().requests, 1);
}

TEST_F(HttpTest, ErrorStatusesAreStatusesNotErrors) {
  auto req = Get("/__/status?code=404");
  ASSERT_TRUE(req);
  EXPECT_EQ(req->StatusCode(), 404);
  Error err;
  EXPECT_EQ(*ReadAll(*req, err), "status 404");
  EXPECT_EQ(Get("/__/status?code=500")->StatusCode(), 500);
}

TEST_F(HttpTest, ChunkedAndUnsizedBodies) {
  Error err;
  auto req = Get("/__/chunked?n=100000&chunk=777");
  ASSERT_TRUE(req);
  EXPECT_EQ(req->ContentLength(), "");
  auto body = ReadAll(*req, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(*body, Body(100000));

  req = Get("/__/nolength?n=70000");
  ASSERT_TRUE(req);
  body = ReadAll(*req, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(*body, Body(70000));

  req = Get("/__/slow?n=3000&chunk=500&delay=20");
  ASSERT_TRUE(req);
  body = ReadAll(*req, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(*body, Body(3000));
}

TEST_F(HttpTest, ShortBodyIsAnError) {
  auto req = Get("/__/drop?n=100000&after=40000");
  ASSERT_TRUE(req);
  Error err;
  auto body = ReadAll(*req, err);
  EXPECT_FALSE(body);
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::BodyTooShort)) << err.message;
  EXPECT_FALSE(err.message.empty());
}

TEST_F(HttpTest, BrokenChunkedStreamIsAnError) {
  for (const char* how : {"close", "garbage"}) {
    auto req = Get(std::string("/__/broken-chunked?n=20000&how=") + how);
    ASSERT_TRUE(req);
    Error err;
    EXPECT_FALSE(ReadAll(*req, err)) << how;
    EXPECT_EQ(err.number, static_cast<int>(ErrorCode::BrokenChunkedBody)) << how << err.message;
  }
}

TEST_F(HttpTest, LargeBodyStreamsThroughABoundedBuffer) {
  auto req = Get("/__/bytes?n=3000000");
  ASSERT_TRUE(req);
  // The caller stops reading for a while: the transfer pauses rather than buffering it all.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Error err;
  auto body = ReadAll(*req, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(body->size(), 3000000u);
  EXPECT_EQ(*body, Body(3000000));
}

TEST_F(HttpTest, SendsAgentAndNoCompressionRequest) {
  auto req = Get("/__/headers");
  ASSERT_TRUE(req);
  Error err;
  std::string text = *ReadAll(*req, err);
  EXPECT_NE(text.find("User-Agent: trawlkit-test\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Accept-Encoding"), std::string::npos) << text;
}

TEST_F(HttpTest, SpacesAndNonAsciiInTheObjectReachTheServerEncoded) {
  auto url = ParseUrl(server->Url("/__/status?code=404&x=a b"));
  ASSERT_TRUE(url);
  auto req = Get(url->object);
  ASSERT_TRUE(req);
  EXPECT_EQ(req->StatusCode(), 404);
  EXPECT_NE(server->Stats().json.find("x=a%20b"), std::string::npos);
}

TEST_F(HttpTest, CloseFromAnotherThreadInterruptsAStalledRead) {
  auto req = Get("/__/stall?n=100000&after=100&secs=20");
  ASSERT_TRUE(req);
  char buf[1024];
  Error err;
  long got = 0;
  while (got < 100) {
    long n = req->Read(buf, 1023, err);
    ASSERT_GT(n, 0) << err.message;
    got += n;
  }
  std::chrono::steady_clock::time_point closedAt;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    closedAt = std::chrono::steady_clock::now();
    session->Close();
  });
  long n = req->Read(buf, 1023, err);
  auto returnedAt = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_EQ(n, -1);
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed)) << err.message;
  EXPECT_LT(returnedAt - closedAt, std::chrono::seconds(1));
  EXPECT_TRUE(session->IsClosed());

  // Every later call fails.
  Error later;
  EXPECT_EQ(req->Read(buf, 1023, later), -1);
  EXPECT_EQ(later.number, static_cast<int>(ErrorCode::SessionClosed));
  EXPECT_FALSE(conn->OpenRequest("/__/bytes?n=1", kReload, later));
  EXPECT_EQ(later.number, static_cast<int>(ErrorCode::SessionClosed));
  EXPECT_FALSE(ConnectHttp(*session, "127.0.0.1", server->Port(), later));
}

TEST_F(HttpTest, CloseInterruptsARequestWaitingForItsAnswer) {
  Error err;
  std::chrono::steady_clock::time_point closedAt;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    closedAt = std::chrono::steady_clock::now();
    session->Close();
  });
  auto req = conn->OpenRequest("/__/hang?secs=20", kReload, err);
  auto returnedAt = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_FALSE(req);
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed)) << err.message;
  EXPECT_LT(returnedAt - closedAt, std::chrono::seconds(1));
}

TEST_F(HttpTest, ClosingTheSessionObjectKeepsConnectionsSafe) {
  auto req = Get("/__/bytes?n=100");
  session.reset();  // the run closes the session before its last objects go
  char buf[16];
  Error err;
  EXPECT_EQ(req->Read(buf, sizeof buf, err), -1);
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed));
}

TEST_F(HttpTest, StalledTransferTimesOut) {
  // The session's own stall time, not the default minute.
  SessionOptions options;
  options.agent = "trawlkit-test";
  options.stallTimeout = std::chrono::seconds(1);
  Error err;
  session = OpenSession(options, testCache.Get(), err);
  ASSERT_TRUE(session) << err.message;
  conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  ASSERT_TRUE(conn) << err.message;
  auto req = Get("/__/stall?n=1000&after=10&secs=15");
  ASSERT_TRUE(req);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadAll(*req, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::Timeout)) << err.message;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

TEST_F(HttpTest, ConnectionRefusedIsAnError) {
  Error err;
  auto dead = ConnectHttp(*session, "127.0.0.1", 1, err);
  ASSERT_TRUE(dead);
  EXPECT_FALSE(dead->OpenRequest("/", kReload, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::CannotConnect)) << err.message;
  auto nowhere = ConnectHttp(*session, "no-such-host.invalid", 80, err);
  ASSERT_TRUE(nowhere);
  EXPECT_FALSE(nowhere->OpenRequest("/", kReload, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::NameNotResolved)) << err.message;
}

void ExpectAuthFlow(HttpTest& t, test::HttpTestServer& server, HttpConnection& conn,
                    const std::string& object, const char* scheme) {
  Error err;
  auto req = conn.OpenRequest(object, kReload, err);
  ASSERT_TRUE(req) << err.message;
  EXPECT_EQ(req->StatusCode(), 401);
  EXPECT_NE(req->RawHeaders().find(std::string("WWW-Authenticate: ") + scheme), std::string::npos);

  // Wrong credentials: still 401, and the caller may try again.
  ASSERT_TRUE(req->ResendWithCredentials("alice", "wrong", err)) << err.message;
  EXPECT_EQ(req->StatusCode(), 401);
  ASSERT_TRUE(req->ResendWithCredentials("alice", "s3cret", err)) << err.message;
  EXPECT_EQ(req->StatusCode(), 200);
  EXPECT_EQ(*ReadAll(*req, err), "welcome alice");

  req.reset();

  // Remembered for the host and port: the next request needs no question, and the credentials
  // go out with it at once (no 401 round trip).
  server.Reset();
  auto again = conn.OpenRequest(object, kReload, err);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->StatusCode(), 200);
  EXPECT_EQ(*ReadAll(*again, err), "welcome alice");
  test::HttpStats s = server.Stats();
  EXPECT_EQ(s.requests, 1) << s.json;
  EXPECT_EQ(s.json.find("\"status\": 401"), std::string::npos) << s.json;
  (void)t;
}

TEST_F(HttpTest, BasicAuthenticationResendAndRemember) {
  ExpectAuthFlow(*this, *server, *conn, "/__/basic?user=alice&pw=s3cret", "Basic");
  // Basic goes out at once on later requests, even on a new connection object.
  server->Reset();
  Error err;
  auto conn2 = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  auto req = conn2->OpenRequest("/__/basic?user=alice&pw=s3cret", kReload, err);
  ASSERT_TRUE(req);
  EXPECT_EQ(req->StatusCode(), 200);
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.requests, 1) << s.json;
  EXPECT_NE(s.json.find("\"authorization\": \"Basic "), std::string::npos);
}

TEST_F(HttpTest, DigestAuthenticationResendAndRemember) {
  ExpectAuthFlow(*this, *server, *conn, "/__/digest?user=alice&pw=s3cret", "Digest");
}

TEST_F(HttpTest, CredentialsAreKeptPerHostAndPort) {
  Error err;
  auto req = Get("/__/basic?user=alice&pw=s3cret");
  ASSERT_TRUE(req->ResendWithCredentials("alice", "s3cret", err));
  EXPECT_EQ(req->StatusCode(), 200);
  auto other = test::HttpTestServer::Start();
  auto conn2 = ConnectHttp(*session, "127.0.0.1", other->Port(), err);
  auto req2 = conn2->OpenRequest("/__/basic?user=alice&pw=s3cret", kReload, err);
  ASSERT_TRUE(req2);
  EXPECT_EQ(req2->StatusCode(), 401);
}

TEST_F(HttpTest, CredentialsFromTheUrl) {
  auto url = ParseUrl(server->Url("/__/basic?user=bob&pw=pw%3A1").replace(7, 0, "bob:pw%3A1@"));
  ASSERT_TRUE(url);
  ASSERT_EQ(url->user, "bob");
  ASSERT_EQ(url->password, "pw:1");
  Error err;
  auto c = ConnectHttp(*session, url->host, url->port, url->user, url->password, err);
  ASSERT_TRUE(c);
  auto req = c->OpenRequest(url->object, kReload, err);
  ASSERT_TRUE(req) << err.message;
  EXPECT_EQ(req->StatusCode(), 200);
  EXPECT_EQ(*ReadAll(*req, err), "welcome bob");

  auto durl = ParseUrl(server->Url("/__/digest?user=bob&pw=pw").replace(7, 0, "bob:pw@"));
  c = ConnectHttp(*session, durl->host, durl->port, durl->user, durl->password, err);
  req = c->OpenRequest(durl->object, kReload, err);
  ASSERT_TRUE(req) << err.message;
  EXPECT_EQ(req->StatusCode(), 200);
}

TEST_F(HttpTest, ProxyFromTheEnvironment) {
  // The test server stands in for the proxy: it answers the absolute-form request itself, so no
  // traffic leaves the machine.
  setenv("http_proxy", server->Origin().c_str(), 1);
  Error err;
  auto viaProxy = ConnectHttp(*session, "proxied.invalid", 80, err);
  auto req = viaProxy->OpenRequest("/__/bytes?n=7", kReload, err);
  unsetenv("http_proxy");
  ASSERT_TRUE(req) << err.message;
  EXPECT_EQ(req->StatusCode(), 200);
  EXPECT_EQ(*ReadAll(*req, err), Body(7));
  EXPECT_NE(server->Stats().json.find("\"path\": \"http://proxied.invalid/__/bytes?n=7\""),
            std::string::npos);
}

}  // namespace
}  // namespace tk::inet

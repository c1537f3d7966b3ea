// Requests sent ahead of their turn: taken up by OpenRequest as if sent then, each sent once,
// revalidations as well as reloads, dropped safely when never opened, and sent again when the
// credentials or the cache entry they were built from changed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "inet/answer_pace.h"
#include "inet/errors.h"
#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

using test::Body;
using test::ReadAll;

constexpr std::uint32_t kReload = kFlagReload | kFlagNoAutoRedirect | kFlagCacheFile;
constexpr std::uint32_t kUseCache = kFlagNoAutoRedirect | kFlagCacheFile;

class HttpAheadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = test::HttpTestServer::Start();
    Error err;
    session = OpenSession("trawlkit-test", testCache.Get(), err);
    ASSERT_TRUE(session) << err.message;
    conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
    ASSERT_TRUE(conn) << err.message;
  }

  // Opens the object and reads the whole body; "" with a failure when anything goes wrong.
  std::string Fetch(const std::string& object, int expectedStatus = 200) {
    Error err;
    auto req = conn->OpenRequest(object, kReload, err);
    EXPECT_TRUE(req) << object << ": " << err.message;
    if (!req) return {};
    EXPECT_EQ(req->StatusCode(), expectedStatus) << object;
    auto body = ReadAll(*req, err);
    EXPECT_TRUE(body) << object << ": " << err.message;
    return body.value_or("");
  }

  int RequestsFor(const std::string& object) const {
    std::string json = server->Stats().json;
    std::string needle = "\"path\": \"" + object + "\"";
    int count = 0;
    for (std::size_t at = json.find(needle); at != std::string::npos; at = json.find(needle, at + 1)) ++count;
    return count;
  }

  test::TestCache testCache;
  std::unique_ptr<test::HttpTestServer> server;
  std::unique_ptr<Session> session;
  std::unique_ptr<HttpConnection> conn;
};

// Sending ahead stops only where a window of answers came sooner than looking ahead costs, and
// starts again once a window comes late; one odd answer, or one between the two bounds, changes
// nothing.
TEST(AnswerPace, WindowsOfQuickAnswersStopTheLookAheadAndSlowOnesStartItAgain) {
  const struct Row {
    const char* what;
    std::int64_t most;     // the delay of most of the window's answers
    std::int64_t others;   // the rest of them, one fewer than half
    bool aheadPays;        // after the window
  } rows[] = {
      {"between the bounds at first", 200, 200, true},
      {"quick, with slow outliers", 40, 90000, false},
      {"between the bounds", 200, 200, false},
      {"slow, with quick outliers", 20000, 10, true},
      {"just under the quick bound", AnswerPace::kQuickUs - 1, AnswerPace::kQuickUs - 1, false},
      {"on the slow bound", AnswerPace::kSlowUs, AnswerPace::kSlowUs, false},
      {"just over it", AnswerPace::kSlowUs + 1, AnswerPace::kSlowUs + 1, true},
  };
  AnswerPace pace;
  EXPECT_TRUE(pace.AheadPays());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (std::size_t i = 0; i < AnswerPace::kWindow; ++i) {
      pace.Note(-1);  // unknown: left out, never a window's share
      pace.Note(i % 2 && i < AnswerPace::kWindow - 2 ? row.others : row.most);
    }
    EXPECT_EQ(pace.AheadPays(), row.aheadPays);
  }
}

// A server a couple of milliseconds away keeps its requests going ahead: the delays measured are
// the server's, not zero.
TEST_F(HttpAheadTest, AnswersThatTakeMillisecondsKeepTheLookAhead) {
  for (std::size_t i = 0; i < 2 * AnswerPace::kWindow; ++i) Fetch("/__/late?ms=2&n=10");
  EXPECT_TRUE(conn->AheadPays());
}

TEST_F(HttpAheadTest, RequestsSentAheadAreTakenUpInAnyOrderAndSentOnce) {
  const std::string small = "/__/bytes?n=3000&seed=a";
  const std::string large = "/__/bytes?n=300000&seed=b";  // far more than is held ahead
  const std::string missing = "/__/status?code=404";
  const std::string moved = "/__/redirect?to=/elsewhere";
  const std::string chunked = "/__/chunked?n=5000&chunk=700";
  for (const auto& object : {small, large, missing, moved, chunked}) conn->Prefetch(object, kReload);
  conn->Prefetch(small, kReload);  // a repeated hint sends nothing more
  EXPECT_EQ(Fetch(large), Body(300000, "b"));
  EXPECT_EQ(Fetch(chunked), Body(5000));
  Error err;
  auto redirect = conn->OpenRequest(moved, kReload, err);
  ASSERT_TRUE(redirect) << err.message;
  EXPECT_EQ(redirect->StatusCode(), 302);
  EXPECT_NE(redirect->RawHeaders().find("Location: /elsewhere\r\n"), std::string::npos);
  redirect.reset();
  Fetch(missing, 404);
  EXPECT_EQ(Fetch(small), Body(3000, "a"));
  // Asked for again after it was taken up: a new request, as without hints.
  EXPECT_EQ(Fetch(small), Body(3000, "a"));
  EXPECT_EQ(server->Stats().requests, 6) << server->Stats().json;
  EXPECT_EQ(RequestsFor(small), 2);
}

// Revalidations go ahead like plain requests: each is the conditional request of the cache entry
// as it stands, its 304 serves the cached body, and it is sent once.
TEST_F(HttpAheadTest, RevalidationsSentAheadGet304AndServeTheCachedBody) {
  std::vector<std::string> objects;
  for (int i = 0; i < 5; ++i)
    objects.push_back("/__/bytes?n=3000&seed=r" + std::to_string(i) + "&etag=%22r" + std::to_string(i) + "%22");
  Error err;
  for (const auto& object : objects) {
    auto req = conn->OpenRequest(object, kUseCache, err);
    ASSERT_TRUE(req) << err.message;
    ASSERT_TRUE(ReadAll(*req, err)) << err.message;
  }
  server->Reset();
  for (std::size_t i = 1; i < objects.size(); ++i) conn->Prefetch(objects[i], kUseCache);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    auto req = conn->OpenRequest(objects[i], kUseCache, err);
    ASSERT_TRUE(req) << err.message;
    EXPECT_EQ(req->StatusCode(), 200);
    auto body = ReadAll(*req, err);
    ASSERT_TRUE(body) << err.message;
    EXPECT_EQ(*body, Body(3000, "r" + std::to_string(i)));
  }
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.requests, 5) << s.json;
  EXPECT_GE(s.connections, 1) << "nothing was sent ahead: " << s.json;  // the one in turn was counted before
  EXPECT_EQ(s.json.find("\"status\": 200"), std::string::npos) << "a revalidation got the body: " << s.json;
}

// A cache entry replaced between the hint and the turn: the answer sent ahead speaks of the old
// entry, so the request goes again from the new one and serves the new body.
TEST(HttpAheadCache, AnEntryChangedBetweenHintAndTurnIsNotServedFromTheStaleHint) {
  test::TestCache testCache;
  test::TempDir site;
  test::WriteFile(site / "page.html", "first version");
  auto server = test::HttpTestServer::Start(site.Path());
  Error err;
  auto session = OpenSession("trawlkit-test", testCache.Get(), err);
  ASSERT_TRUE(session) << err.message;
  auto conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  ASSERT_TRUE(conn) << err.message;
  auto fetch = [&](std::uint32_t flags) {
    auto req = conn->OpenRequest("/page.html", flags, err);
    EXPECT_TRUE(req) << err.message;
    if (!req) return std::string();
    return ReadAll(*req, err).value_or("");
  };
  ASSERT_EQ(fetch(kUseCache), "first version");
  conn->Prefetch("/page.html", kUseCache);
  // The answer sent ahead (a 304 for the first version) is in before the file changes.
  std::string type, held;
  for (int i = 0; i < 200 && !conn->PeekAhead("/page.html", kUseCache, type, held); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(held, "first version");
  test::WriteFile(site / "page.html", "the second, longer version");
  ASSERT_EQ(fetch(kReload), "the second, longer version");  // the cache now holds it
  EXPECT_EQ(fetch(kUseCache), "the second, longer version");
  EXPECT_EQ(server->Stats().requests, 4) << server->Stats().json;
}

TEST_F(HttpAheadTest, ManyHintsKeepABoundedNumberOfConnections) {
  for (int i = 0; i < 40; ++i) conn->Prefetch("/__/bytes?n=500&seed=s" + std::to_string(i), kReload);
  for (int i = 0; i < 40; ++i) {
    std::string seed = "s" + std::to_string(i);
    ASSERT_EQ(Fetch("/__/bytes?n=500&seed=" + seed), Body(500, seed)) << i;
  }
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.requests, 40) << s.json;
  // The connection in turn, four ahead and the stats query's own make six; the server notices a
  // closed connection a little late on a loaded machine, so only a bound far from 40 is asked.
  EXPECT_LE(s.mostOpen, 12) << s.json;
}

TEST_F(HttpAheadTest, HintsNeverOpenedAreDroppedWithTheirConnection) {
  conn->Prefetch("/__/bytes?n=2000", kReload);
  conn->Prefetch("/__/hang?secs=30", kReload);  // must not hold up the connection's end
  conn->Prefetch("/__/slow?n=100000&chunk=1000&delay=50", kReload);
  conn.reset();
  Error err;
  conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  ASSERT_TRUE(conn) << err.message;
  EXPECT_EQ(Fetch("/__/bytes?n=20"), Body(20));
}

TEST_F(HttpAheadTest, ARequestSentBeforeCredentialsWereLearntIsSentAgainWithThem) {
  const std::string object = "/__/basic?user=alice&pw=s3cret";
  // Nothing goes ahead before the connection's own requests have had an answer.
  Fetch("/__/bytes?n=10");
  conn->Prefetch(object, kReload);
  Error err;
  auto first = conn->OpenRequest(object + "&n=1", kReload, err);
  ASSERT_TRUE(first) << err.message;
  ASSERT_EQ(first->StatusCode(), 401);
  ASSERT_TRUE(first->ResendWithCredentials("alice", "s3cret", err)) << err.message;
  ASSERT_EQ(first->StatusCode(), 200);
  first.reset();
  EXPECT_EQ(Fetch(object), "welcome alice");
  EXPECT_EQ(RequestsFor(object), 2) << server->Stats().json;
}

TEST_F(HttpAheadTest, AClosedSessionSendsNothingAhead) {
  session->Close();
  conn->Prefetch("/__/bytes?n=10", kReload);
  Error err;
  EXPECT_FALSE(conn->OpenRequest("/__/bytes?n=10", kReload, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed));
  EXPECT_EQ(server->Stats().requests, 0);
}

// Servers that limit their clients: one that serves a single connection at a time never answers
// the extra connection, one that refuses them answers 503. Either way every object must still
// come back whole with its own status, the request in turn taking the place of the one ahead.
TEST(HttpAheadLimits, ServersThatServeOneConnectionStillAnswerEveryRequest) {
  test::TestCache testCache;
  // A stalled request would fail after this instead of hanging the test for a minute.
  SessionOptions options;
  options.agent = "trawlkit-test";
  options.connectTimeout = std::chrono::seconds(10);
  options.stallTimeout = std::chrono::seconds(5);
  for (const std::string mode : {"queue", "refuse"}) {
    SCOPED_TRACE(mode);
    auto server = test::HttpTestServer::Start({}, mode);
    Error err;
    auto session = OpenSession(options, testCache.Get(), err);
    ASSERT_TRUE(session) << err.message;
    auto conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
    ASSERT_TRUE(conn) << err.message;
    std::vector<std::string> objects;
    for (int i = 0; i < 6; ++i) objects.push_back("/__/bytes?n=2000&seed=s" + std::to_string(i));
    for (std::size_t i = 1; i < objects.size(); ++i) conn->Prefetch(objects[i], kReload);
    for (std::size_t i = 0; i < objects.size(); ++i) {
      auto req = conn->OpenRequest(objects[i], kReload, err);
      ASSERT_TRUE(req) << objects[i] << ": " << err.message;
      EXPECT_EQ(req->StatusCode(), 200) << objects[i];
      auto body = ReadAll(*req, err);
      ASSERT_TRUE(body) << objects[i] << ": " << err.message;
      EXPECT_EQ(*body, Body(2000, "s" + std::to_string(i)));
      // Hints given after the server showed its limit send nothing more ahead.
      if (i + 1 < objects.size()) conn->Prefetch(objects[i + 1], kReload);
    }
  }
}

// In a depth-first crawl the answers sent ahead for the siblings of each page on the way down
// wait for their turn long after they came in; a long one is paused with its connection held. The
// request in turn (a style sheet imported by the page being scanned, say) must still get one:
// with every connection held by such answers, one of them runs on to its end, its bytes kept aside,
// so that the server still sees each request once and every body comes whole and in order.
TEST_F(HttpAheadTest, LongAnswersWaitingAheadLeaveAConnectionForTheRequestInTurn) {
  auto large = [](int i) { return "/__/bytes?n=300000&seed=L" + std::to_string(i); };
  EXPECT_EQ(Fetch("/__/bytes?n=10"), Body(10));
  conn->Prefetch(large(0), kReload);
  EXPECT_TRUE(Fetch(large(0)) == Body(300000, "L0"));  // the server has served a request sent ahead
  for (int i = 1; i <= 8; ++i) conn->Prefetch(large(i), kReload);
  // Were every connection held, a request would wait for ever: the watchdog ends the wait.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) session->Close();
  });
  EXPECT_EQ(Fetch("/__/bytes?n=700&seed=turn"), Body(700, "turn"));
  for (int i = 1; i <= 8; ++i) EXPECT_TRUE(Fetch(large(i)) == Body(300000, "L" + std::to_string(i))) << i;
  done = true;
  watchdog.join();
  EXPECT_EQ(server->Stats().requests, 11) << server->Stats().json;
  EXPECT_EQ(server->Stats().connections, 5) << "not every connection was used: " << server->Stats().json;
}

}  // namespace
}  // namespace tk::inet

namespace tk::inet {
namespace {

// Once the server has answered a request on an extra connection, it plainly serves several at
// once: from then on every connection allowed carries requests (the one in turn joins those sent
// ahead), never more, and an answer slower than the grace given an unknown server is waited for,
// never sent again, so the server sees each request once however slow it is.
TEST(HttpAheadConnections, EveryConnectionAllowedIsBusyNoMoreAndASlowAnswerIsNotSentTwice) {
  for (const int connections : {5, 3}) {
    SCOPED_TRACE(connections);
    test::TestCache testCache;
    auto server = test::HttpTestServer::Start();
    SessionOptions options;
    options.agent = "trawlkit-test";
    options.connections = connections;
    Error err;
    auto session = OpenSession(options, testCache.Get(), err);
    ASSERT_TRUE(session) << err.message;
    auto conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
    ASSERT_TRUE(conn) << err.message;
    std::vector<std::string> objects;
    for (int i = 0; i < 24; ++i) {
      // The first answers at once; one in the middle takes far longer than the grace.
      const int ms = i == 0 ? 0 : i == 12 ? 1200 : 300;
      objects.push_back("/__/late?ms=" + std::to_string(ms) + "&n=700&seed=s" + std::to_string(i));
    }
    // Given the nearest last, as the crawl gives them.
    for (std::size_t i = objects.size(); i-- > 1;) conn->Prefetch(objects[i], kReload);
    for (std::size_t i = 0; i < objects.size(); ++i) {
      auto req = conn->OpenRequest(objects[i], kReload, err);
      ASSERT_TRUE(req) << objects[i] << ": " << err.message;
      EXPECT_EQ(req->StatusCode(), 200) << objects[i];
      auto body = ReadAll(*req, err);
      ASSERT_TRUE(body) << objects[i] << ": " << err.message;
      EXPECT_EQ(*body, Body(700, "s" + std::to_string(i)));
    }
    test::HttpStats s = server->Stats();
    EXPECT_EQ(s.requests, static_cast<int>(objects.size())) << s.json;
    EXPECT_EQ(s.mostBusy, connections) << s.json;
    // The connection closed when the one in turn joins the others may be noticed by the server
    // a moment after the one that takes its place; and the stats query has its own.
    EXPECT_LE(s.mostOpen, connections + 2) << s.json;
  }
}

}  // namespace
}  // namespace tk::inet

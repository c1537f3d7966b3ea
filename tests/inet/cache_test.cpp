// The cache behind requests without the reload flag: resume with Range + If-Range, revalidation
// with 304, refresh with reload, damaged entries never served, the size cap.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <thread>

#include "inet/cache.h"
#include "inet/errors.h"
#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/test_servers.h"
#include "support/cache_test_util.h"
#include "support/inet_test_util.h"

namespace tk::inet {
namespace {

using test::Body;
using test::ReadAll;

constexpr std::uint32_t kUseCache = kFlagNoAutoRedirect | kFlagCacheFile;
constexpr std::uint32_t kReload = kFlagReload | kUseCache;

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = test::HttpTestServer::Start();
    Error err;
    session = OpenSession("trawlkit-test", testCache.Get(), err);
    conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
    ASSERT_TRUE(conn);
  }

  std::optional<std::string> Fetch(const std::string& object, std::uint32_t flags, Error& err,
                                   int* status = nullptr, std::string* headers = nullptr) {
    auto req = conn->OpenRequest(object, flags, err);
    if (!req) return std::nullopt;
    if (status) *status = req->StatusCode();
    if (headers) *headers = req->RawHeaders();
    return ReadAll(*req, err);
  }

  std::string KeyOf(const std::string& object) const {
    return "http://127.0.0.1:" + std::to_string(server->Port()) + object;
  }

  // The file of an entry: its body comes first.
  std::filesystem::path BodyFile(const std::string& object) const { return testCache->MetaPathFor(KeyOf(object)); }

  test::TestCache testCache;
  std::unique_ptr<test::HttpTestServer> server;
  std::unique_ptr<Session> session;
  std::unique_ptr<HttpConnection> conn;
};

TEST(CacheFolder, FollowsXdgCacheHomeElseHome) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* folder;
  };
  const Case cases[] = {
      {"/x/cache", "/home/u", "/x/cache/trawlkit"},
      {"relative", "/home/u", "/home/u/.cache/trawlkit"},  // only an absolute path counts
      {"", "/home/u", "/home/u/.cache/trawlkit"},
      {nullptr, "/home/u", "/home/u/.cache/trawlkit"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cache::DirectoryFor(c.xdg, c.home), c.folder)
        << (c.xdg ? c.xdg : "-") << " " << (c.home ? c.home : "-");
}

TEST_F(CacheTest, InterruptedTransferResumesWhereItStopped) {
  const std::string object = "/__/flaky?n=300000&cut=120000&id=r1&etag=%22v1%22";
  Error err;
  EXPECT_FALSE(Fetch(object, kUseCache, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::BodyTooShort));
  server->Reset();

  int status = 0;
  std::string headers;
  auto body = Fetch(object, kUseCache, err, &status, &headers);
  ASSERT_TRUE(body) << err.message;
  EXPECT_EQ(status, 200);
  EXPECT_NE(headers.find("Content-Length: 300000\r\n"), std::string::npos) << headers;
  EXPECT_EQ(body->size(), 300000u);
  EXPECT_TRUE(*body == Body(300000));

  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.requests, 1);
  EXPECT_EQ(s.bodyBytes, 180000) << s.json;
  EXPECT_NE(s.json.find("\"range\": \"bytes=120000-\""), std::string::npos) << s.json;
  EXPECT_NE(s.json.find("\"if-range\": \"\\\"v1\\\"\""), std::string::npos) << s.json;

  // Now complete: the third request is a revalidation, answered 304.
  server->Reset();
  body = Fetch(object, kUseCache, err, &status);
  ASSERT_TRUE(body);
  EXPECT_EQ(status, 200);
  EXPECT_TRUE(*body == Body(300000));
  s = server->Stats();
  EXPECT_EQ(s.bodyBytes, 0);
  EXPECT_NE(s.json.find("\"status\": 304"), std::string::npos) << s.json;
}

TEST_F(CacheTest, ResumeWithLastModifiedOnly) {
  const std::string object = "/__/flaky?n=50000&cut=20000&id=lm&lm=1";
  Error err;
  EXPECT_FALSE(Fetch(object, kUseCache, err));
  server->Reset();
  auto body = Fetch(object, kUseCache, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_TRUE(*body == Body(50000));
  EXPECT_EQ(server->Stats().bodyBytes, 30000);
}

TEST_F(CacheTest, AResumeAnsweredFromANewerVersionIsFetchedWhole) {
  // The server answers the Range with 206 whatever the If-Range says, from a version whose
  // validator differs: the stored head and the new tail must not be spliced.
  const char* objects[] = {
      "/__/splice?n=60000&cut=20000&id=etag&etag=%22v1%22&etag2=%22v2%22",
      "/__/splice?n=60000&cut=20000&id=lm&lm=1",
      "/__/splice?n=60000&cut=20000&id=weak&etag=W/%22v1%22&etag2=W/%22v1%22",
  };
  for (const std::string object : objects) {
    SCOPED_TRACE(object);
    Error err;
    EXPECT_FALSE(Fetch(object, kUseCache, err));
    auto body = Fetch(object, kUseCache, err);
    ASSERT_TRUE(body) << err.message;
    EXPECT_TRUE(*body == Body(60000, "y"));
  }
}

TEST_F(CacheTest, CancelledReadLeavesAResumableEntry) {
  const std::string object = "/__/bytes?n=400000&etag=%22c%22";
  Error err;
  {
    auto req = conn->OpenRequest(object, kUseCache, err);
    ASSERT_TRUE(req);
    char buf[1024];
    for (int i = 0; i < 50; ++i) ASSERT_GT(req->Read(buf, 1023, err), 0);
  }  // released part-way, as a cancelled run does
  server->Reset();
  auto body = Fetch(object, kUseCache, err);
  ASSERT_TRUE(body) << err.message;
  EXPECT_TRUE(*body == Body(400000));
  // The first answer may still be counted after the reset (the server notices the hang-up late),
  // so the resumed request is checked in the log: it asked from where the stored part ends, and
  // only the rest came.
  test::HttpStats s = server->Stats();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(s.json, m, std::regex("\"range\": \"bytes=(\\d+)-\"")))
      << s.json;
  long long from = std::stoll(m[1]);
  EXPECT_GE(from, 50 * 1023);
  ASSERT_TRUE(std::regex_search(s.json, m, std::regex("\"status\": 206, \"body_bytes\": (\\d+)")));
  EXPECT_EQ(from + std::stoll(m[1]), 400000);
}

TEST_F(CacheTest, ReloadFetchesTheWholeBodyAndRefreshesTheEntry) {
  const std::string object = "/__/bytes?n=8000&etag=%22r%22";
  Error err;
  ASSERT_TRUE(Fetch(object, kUseCache, err));
  server->Reset();
  auto body = Fetch(object, kReload, err);
  ASSERT_TRUE(body);
  EXPECT_TRUE(*body == Body(8000));
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.bodyBytes, 8000);
  EXPECT_EQ(s.json.find("if-none-match"), std::string::npos) << s.json;
  EXPECT_TRUE(testCache->Lookup(KeyOf(object)));
}

TEST_F(CacheTest, ChangedResourceReplacesTheEntry) {
  const std::string object = "/__/bytes?n=100&etag=%22a%22&seed=one";
  Error err;
  ASSERT_TRUE(Fetch(object, kUseCache, err));
  // The resource changes on the server: the stored validator no longer matches (another
  // process stored a version tagged "z"), the server answers 200 with the whole body, and that
  // body replaces the entry.
  cache::Meta meta;
  meta.url = KeyOf(object);
  meta.etag = "\"z\"";
  auto writer = cache::Writer::Create(testCache.Get(), meta);
  ASSERT_TRUE(writer);
  writer->Append("old version", 11);
  writer->Finish(true);
  server->Reset();
  int status = 0;
  auto body = Fetch(object, kUseCache, err, &status);
  ASSERT_TRUE(body);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(*body, Body(100, "one"));
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.bodyBytes, 100);
  EXPECT_NE(s.json.find("\"if-none-match\": \"\\\"z\\\"\""), std::string::npos) << s.json;
  auto entry = testCache->Lookup(KeyOf(object));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->meta().etag, "\"a\"");
  EXPECT_EQ(entry->meta().length, 100u);
}

TEST_F(CacheTest, DamagedEntryIsNeverServed) {
  const std::string object = "/__/bytes?n=20000&etag=%22d%22";
  Error err;
  ASSERT_TRUE(Fetch(object, kUseCache, err));
  std::filesystem::path body = BodyFile(object);
  ASSERT_FALSE(body.empty());
  std::string bytes = test::ReadFile(body);
  ASSERT_GT(bytes.size(), 20000u);  // the body, then its trailer
  bytes[12345] ^= 0x20;
  test::WriteFile(body, bytes);
  EXPECT_FALSE(testCache->Lookup(KeyOf(object)));

  server->Reset();
  auto again = Fetch(object, kUseCache, err);
  ASSERT_TRUE(again);
  EXPECT_TRUE(*again == Body(20000));
  test::HttpStats s = server->Stats();
  EXPECT_EQ(s.bodyBytes, 20000);
  EXPECT_EQ(s.json.find("if-none-match"), std::string::npos) << s.json;
}

TEST_F(CacheTest, TruncatedEntryIsNeverServed) {
  const std::string object = "/__/bytes?n=20000&etag=%22t%22";
  Error err;
  ASSERT_TRUE(Fetch(object, kUseCache, err));
  std::filesystem::resize_file(BodyFile(object), 10000);
  EXPECT_FALSE(testCache->Lookup(KeyOf(object)));
  server->Reset();
  auto again = Fetch(object, kUseCache, err);
  ASSERT_TRUE(again);
  EXPECT_TRUE(*again == Body(20000));
  EXPECT_EQ(server->Stats().bodyBytes, 20000);
}

TEST_F(CacheTest, GarbledMetadataIsIgnored) {
  const std::string object = "/__/bytes?n=500&etag=%22g%22";
  Error err;
  ASSERT_TRUE(Fetch(object, kUseCache, err));
  test::WriteFile(testCache->MetaPathFor(KeyOf(object)), "trawlkit-cache 2\nurl nonsense\n");
  EXPECT_FALSE(testCache->Lookup(KeyOf(object)));
  server->Reset();
  auto again = Fetch(object, kUseCache, err);
  ASSERT_TRUE(again);
  EXPECT_EQ(server->Stats().bodyBytes, 500);
}

TEST_F(CacheTest, ResponsesWithoutValidatorsOrWithoutCacheFlagAreNotStored) {
  Error err;
  ASSERT_TRUE(Fetch("/__/bytes?n=100", kUseCache, err));
  EXPECT_FALSE(std::filesystem::exists(testCache->MetaPathFor(KeyOf("/__/bytes?n=100"))));
  ASSERT_TRUE(Fetch("/__/bytes?n=100&etag=%22n%22", kFlagNoAutoRedirect, err));
  EXPECT_FALSE(std::filesystem::exists(testCache->MetaPathFor(KeyOf("/__/bytes?n=100&etag=%22n%22"))));
  ASSERT_TRUE(Fetch("/__/status?code=404", kUseCache, err));
  EXPECT_FALSE(std::filesystem::exists(testCache->MetaPathFor(KeyOf("/__/status?code=404"))));
}

TEST_F(CacheTest, SizeCapEvictsLeastRecentlyUsed) {
  // A session of its own on the same folder, with a small cap.
  auto small = std::make_shared<cache::Cache>(testCache.CacheDir(), 25000);
  Error err;
  conn.reset();
  session = OpenSession("trawlkit-test", small, err);
  conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  ASSERT_TRUE(conn) << err.message;
  const std::string a = "/__/bytes?n=10000&etag=%22a%22";
  const std::string b = "/__/bytes?n=10000&etag=%22b%22";
  const std::string c = "/__/bytes?n=10000&etag=%22c%22";
  ASSERT_TRUE(Fetch(a, kUseCache, err));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Fetch(b, kUseCache, err));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Fetch(a, kUseCache, err));  // a is used again: b is now the oldest
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Fetch(c, kUseCache, err));
  EXPECT_TRUE(small->Lookup(KeyOf(c)));  // c's commit, and the eviction it caused, are done
  EXPECT_TRUE(small->Lookup(KeyOf(a)));
  EXPECT_FALSE(small->Lookup(KeyOf(b)));
}

TEST_F(CacheTest, TwoWritersOfOneUrlLeaveOneGoodEntry) {
  // Two processes' writers interleaved on one URL; whichever commits last wins, whole.
  cache::Meta meta;
  meta.url = "http://example.invalid:80/two";
  meta.etag = "\"w\"";
  meta.expected = 6;
  auto w1 = cache::Writer::Create(testCache.Get(), meta);
  auto w2 = cache::Writer::Create(testCache.Get(), meta);
  ASSERT_TRUE(w1 && w2);
  w1->Append("aaa", 3);
  w2->Append("bbbbbb", 6);
  w1->Append("aaa", 3);
  w2->Finish(true);
  w1->Finish(true);
  auto entry = testCache->Lookup(meta.url);
  ASSERT_TRUE(entry);
  char buf[16];
  EXPECT_EQ(entry->Read(buf, sizeof buf), 6);
  EXPECT_EQ(std::string(buf, 6), "aaaaaa");
  EXPECT_EQ(test::FilesIn(testCache.CacheDir()), (std::vector<std::string>{test::EntryFileName(meta.url), "lock"}));
}

}  // namespace
}  // namespace tk::inet

namespace tk::inet {
namespace {

// Two processes write entries for one URL as fast as they can while this one reads: every
// entry served is whole (one writer's bytes only, of that writer's length), never a mix.
TEST(CacheProcesses, ConcurrentWritersAndReadersNeverSeeHalfAnEntry) {
  test::TestCache testCache;
  const std::string url = "http://example.invalid:80/shared";
  auto writeLoop = [&](char fill, std::size_t length) {
    for (int i = 0; i < 60; ++i) {
      cache::Meta meta;
      meta.url = url;
      meta.etag = std::string("\"") + fill + "\"";
      meta.expected = static_cast<std::int64_t>(length);
      auto w = cache::Writer::Create(testCache.Get(), meta);
      if (!w) _exit(2);
      std::string chunk(length / 4, fill);
      for (int k = 0; k < 4; ++k) w->Append(chunk.data(), chunk.size());
      w->Finish(true);
    }
  };
  pid_t children[2];
  const char fills[2] = {'a', 'b'};
  const std::size_t lengths[2] = {40000, 80000};
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      writeLoop(fills[c], lengths[c]);
      _exit(0);
    }
  }
  int served = 0;
  for (int i = 0; i < 200; ++i) {
    auto entry = testCache->Lookup(url);
    if (!entry) continue;
    std::string data(static_cast<std::size_t>(entry->meta().length), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
      long n = entry->Read(data.data() + got, data.size() - got);
      ASSERT_GT(n, 0);
      got += static_cast<std::size_t>(n);
    }
    ASSERT_TRUE(data.size() == 40000 || data.size() == 80000) << data.size();
    char fill = data.size() == 40000 ? 'a' : 'b';
    ASSERT_EQ(data.find_first_not_of(fill), std::string::npos);
    ++served;
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_TRUE(testCache->Lookup(url));
  // One file is left: every part file was either renamed to the entry or removed.
  EXPECT_EQ(test::FilesIn(testCache.CacheDir()), (std::vector<std::string>{test::EntryFileName(url), "lock"}));
  (void)served;
}

}  // namespace
}  // namespace tk::inet

// FTP against Debian's pyftpdlib on 127.0.0.1: anonymous login, active and passive mode,
// listings with patterns (MLSD and LIST), binary reads, resume with REST.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "inet/cache.h"
#include "inet/errors.h"
#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

using test::Body;
using test::ReadAll;

constexpr std::uint32_t kFileReload = kFlagReload | kFlagBinaryTransfer | kFlagCacheFile;
constexpr std::uint32_t kFileCache = kFlagBinaryTransfer | kFlagCacheFile;

class FtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::create_directories(root / "pub" / "sub");
    fs::create_directories(root / "empty");
    test::WriteFile(root / "pub" / "a.txt", "alpha");
    test::WriteFile(root / "pub" / "ab.txt", "alpha beta");
    test::WriteFile(root / "pub" / "b.txt", "beta");
    test::WriteFile(root / "pub" / "name with space.txt", "spaced");
    test::WriteFile(root / "pub" / "big.bin", Body(300000, "ftp"));
    test::WriteFile(root / "pub" / "sub" / "d.txt", "delta");
    Error err;
    session = OpenSession("trawlkit-test", testCache.Get(), err);
  }

  std::unique_ptr<FtpConnection> Connect(const test::FtpServerOptions& options = {}) {
    server = test::FtpTestServer::Start(root.Path(), options);
    Error err;
    auto conn = ConnectFtp(*session, "127.0.0.1", server->Port(), err);
    EXPECT_TRUE(conn) << err.number << " " << err.message;
    return conn;
  }

  std::vector<std::string> Names(const std::vector<FtpEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Log() const { return test::ReadFile(logFile); }

  test::TestCache testCache;
  test::TempDir root;
  test::TempDir scratch;
  std::filesystem::path logFile = scratch / "ftp.log";
  std::unique_ptr<test::FtpTestServer> server;
  std::unique_ptr<Session> session;
};

TEST_F(FtpTest, ListsWithPatterns) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  EXPECT_EQ(conn->ServerName(), "127.0.0.1");
  EXPECT_EQ(conn->Port(), server->Port());
  std::vector<FtpEntry> entries;
  Error err;
  ASSERT_TRUE(conn->List("/pub/*.txt", entries, err)) << err.message;
  EXPECT_EQ(Names(entries),
            (std::vector<std::string>{"a.txt", "ab.txt", "b.txt", "name with space.txt"}));
  for (const auto& e : entries) {
    EXPECT_FALSE(e.directory);
    if (e.name == "ab.txt") {
      EXPECT_EQ(e.size, 10u);
      EXPECT_EQ(e.path, "/pub/ab.txt");
      // The port names the server as much as the host does.
      EXPECT_EQ(e.url, "ftp://127.0.0.1:" + std::to_string(server->Port()) + "/pub/ab.txt");
    }
    if (e.name == "name with space.txt") {
      EXPECT_EQ(e.path, "/pub/name%20with%20space.txt");
    }
  }

  ASSERT_TRUE(conn->List("/pub/a.txt*", entries, err));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt"}));

  ASSERT_TRUE(conn->List("/pub/*", entries, err));
  EXPECT_EQ(entries.size(), 6u);
  auto sub = std::find_if(entries.begin(), entries.end(), [](auto& e) { return e.name == "sub"; });
  ASSERT_NE(sub, entries.end());
  EXPECT_TRUE(sub->directory);

  ASSERT_TRUE(conn->List("/pub/sub/*", entries, err));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"d.txt"}));
  EXPECT_EQ(entries[0].path, "/pub/sub/d.txt");
}

TEST_F(FtpTest, EmptyResultsAreNotErrors) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  std::vector<FtpEntry> entries{FtpEntry{}};
  Error err;
  EXPECT_TRUE(conn->List("/pub/", entries, err));  // a trailing "/" lists nothing
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(conn->List("/pub/sub/", entries, err));
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(conn->List("/empty/*", entries, err)) << err.message;
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(conn->List("/pub/*.nothing", entries, err));
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(conn->List("/missing/*", entries, err)) << err.message;
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(err);
}

TEST_F(FtpTest, ListParsesListWhenTheServerHasNoMlsd) {
  test::FtpServerOptions options;
  options.mlsd = false;
  auto conn = Connect(options);
  ASSERT_TRUE(conn);
  std::vector<FtpEntry> entries;
  Error err;
  ASSERT_TRUE(conn->List("/pub/*", entries, err)) << err.message;
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt", "ab.txt", "b.txt", "big.bin",
                                                      "name with space.txt", "sub"}));
  for (const auto& e : entries) {
    if (e.name == "big.bin") {
      EXPECT_EQ(e.size, 300000u);
    }
    EXPECT_EQ(e.directory, e.name == "sub");
  }
  ASSERT_TRUE(conn->List("/empty/*", entries, err)) << err.message;
  EXPECT_TRUE(entries.empty());
}

TEST_F(FtpTest, ReadsBinaryFilesInChunks) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  Error err;
  auto file = conn->OpenFile("/pub/big.bin", kFileReload, err);
  ASSERT_TRUE(file) << err.message;
  std::string data;
  char buf[1024];
  for (;;) {
    long n = file->Read(buf, 1023, err);
    ASSERT_GE(n, 0) << err.message;
    ASSERT_LE(n, 1023);
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_TRUE(data == Body(300000, "ftp"));

  file = conn->OpenFile("/pub/name%20with%20space.txt", kFileReload, err);
  ASSERT_TRUE(file) << err.message;
  EXPECT_EQ(*ReadAll(*file, err), "spaced");
}

TEST_F(FtpTest, MissingFileIsAnError) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  Error err;
  EXPECT_FALSE(conn->OpenFile("/pub/nope.txt", kFileReload, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::FtpFileNotFound)) << err.message;
  EXPECT_FALSE(conn->OpenFile("/pub/nope.txt", kFileCache, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::FtpFileNotFound)) << err.message;
}

TEST_F(FtpTest, ActiveModeFirstOnOneControlConnection) {
  test::FtpServerOptions options;
  options.passive = false;
  options.log = logFile;
  auto conn = Connect(options);
  ASSERT_TRUE(conn);
  std::vector<FtpEntry> entries;
  Error err;
  ASSERT_TRUE(conn->List("/pub/*.txt", entries, err)) << err.message;
  auto file = conn->OpenFile("/pub/a.txt", kFileReload, err);
  ASSERT_TRUE(file) << err.message;
  EXPECT_EQ(*ReadAll(*file, err), "alpha");
  file = conn->OpenFile("/pub/b.txt", kFileReload, err);
  ASSERT_TRUE(file) << err.message;
  EXPECT_EQ(*ReadAll(*file, err), "beta");
  file.reset();
  std::string log = Log();
  EXPECT_EQ(log.find("PASV"), std::string::npos) << log;
  EXPECT_EQ(log.find("EPSV"), std::string::npos) << log;
  EXPECT_NE(log.find("USER anonymous"), std::string::npos) << log;
  // One login: the control connection is reused.
  EXPECT_EQ(log.find("2 "), std::string::npos) << log;
}

TEST_F(FtpTest, FallsBackToPassiveWhenActiveFails) {
  test::FtpServerOptions options;
  options.active = false;
  options.log = logFile;
  auto conn = Connect(options);
  ASSERT_TRUE(conn);
  std::vector<FtpEntry> entries;
  Error err;
  ASSERT_TRUE(conn->List("/pub/*.txt", entries, err)) << err.number << err.message;
  EXPECT_EQ(entries.size(), 4u);
  auto file = conn->OpenFile("/pub/ab.txt", kFileReload, err);
  ASSERT_TRUE(file) << err.message;
  EXPECT_EQ(*ReadAll(*file, err), "alpha beta");
  std::string log = Log();
  EXPECT_TRUE(log.find("EPRT") != std::string::npos || log.find("PORT") != std::string::npos);
  EXPECT_TRUE(log.find("EPSV") != std::string::npos || log.find("PASV") != std::string::npos);
}

// A server that takes PORT but cannot reach the client answers the transfer with 425 (vsftpd
// behind a firewall). That is a failed data connection like a refused PORT: passive mode from
// then on, and the same entries and bytes as from a server that can connect back, with or
// without MLSD.
TEST_F(FtpTest, FallsBackToPassiveWhenTheServerCannotConnectBack) {
  for (bool mlsd : {true, false}) {
    SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
    test::FtpServerOptions options;
    options.connectBack = false;
    options.mlsd = mlsd;
    std::filesystem::remove(logFile);
    options.log = logFile;
    auto conn = Connect(options);
    ASSERT_TRUE(conn);
    std::vector<FtpEntry> entries;
    Error err;
    ASSERT_TRUE(conn->List("/pub/a*", entries, err)) << err.number << err.message;
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt", "ab.txt"}));
    auto file = conn->OpenFile("/pub/ab.txt", kFileReload, err);
    ASSERT_TRUE(file) << err.message;
    EXPECT_EQ(*ReadAll(*file, err), "alpha beta");
    ASSERT_TRUE(conn->ListFolder("/pub/sub/", entries, err)) << err.number << err.message;
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"d.txt"}));
    std::string log = Log();
    EXPECT_TRUE(log.find("EPSV") != std::string::npos || log.find("PASV") != std::string::npos) << log;
  }
}

// A folder is listed whole, subfolders included; one that is not there, or is a file, is an
// error that carries the server's own reason, as is a missing file.
TEST_F(FtpTest, FoldersAndRefusalsWithTheServersReason) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  std::vector<FtpEntry> entries;
  Error err;
  ASSERT_TRUE(conn->ListFolder("/pub/", entries, err)) << err.message;
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt", "ab.txt", "b.txt", "big.bin",
                                                      "name with space.txt", "sub"}));
  ASSERT_TRUE(conn->ListFolder("/empty/", entries, err)) << err.message;
  EXPECT_TRUE(entries.empty());
  struct Row {
    const char* what;
    std::function<bool()> call;
  };
  const Row rows[] = {
      {"missing folder", [&] { return conn->ListFolder("/missing/", entries, err); }},
      {"a file as a folder", [&] { return conn->ListFolder("/pub/a.txt/", entries, err); }},
      {"missing file", [&] { return conn->OpenFile("/pub/nope.txt", kFileReload, err) != nullptr; }},
      {"missing file, cached", [&] { return conn->OpenFile("/pub/nope.txt", kFileCache, err) != nullptr; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    err = Error{};
    EXPECT_FALSE(row.call());
    EXPECT_EQ(err.number, static_cast<int>(ErrorCode::FtpFileNotFound));
    EXPECT_NE(err.message.find(": 550 "), std::string::npos) << err.message;
    EXPECT_EQ(err.message.find("errno"), std::string::npos) << err.message;
  }
}

TEST_F(FtpTest, LoginWithCredentialsAndRefusedLogin) {
  server = test::FtpTestServer::Start(root.Path());
  Error err;
  auto conn = ConnectFtp(*session, "127.0.0.1", server->Port(), "tkuser", "tkpass", err);
  ASSERT_TRUE(conn) << err.message;
  auto file = conn->OpenFile("/pub/a.txt", kFileReload, err);
  ASSERT_TRUE(file);
  EXPECT_EQ(*ReadAll(*file, err), "alpha");
  EXPECT_FALSE(ConnectFtp(*session, "127.0.0.1", server->Port(), "tkuser", "wrong", err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::FtpLoginFailed)) << err.message;
  EXPECT_FALSE(ConnectFtp(*session, "127.0.0.1", 1, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::CannotConnect)) << err.message;
}

TEST_F(FtpTest, PartialFileResumesWithRest) {
  test::FtpServerOptions options;
  options.log = logFile;
  auto conn = Connect(options);
  ASSERT_TRUE(conn);
  Error err;
  {
    auto file = conn->OpenFile("/pub/big.bin", kFileCache, err);
    ASSERT_TRUE(file) << err.message;
    char buf[1024];
    for (int i = 0; i < 40; ++i) ASSERT_GT(file->Read(buf, 1023, err), 0);
  }  // dropped part-way, as a cancel does
  auto file = conn->OpenFile("/pub/big.bin", kFileCache, err);
  ASSERT_TRUE(file) << err.message;
  auto data = ReadAll(*file, err);
  ASSERT_TRUE(data) << err.message;
  EXPECT_TRUE(*data == Body(300000, "ftp"));
  file.reset();
  std::string log = Log();
  EXPECT_NE(log.find("REST "), std::string::npos) << log;

  // Complete now: the next open reads the cache, and the server sends no file.
  file = conn->OpenFile("/pub/big.bin", kFileCache, err);
  ASSERT_TRUE(file);
  data = ReadAll(*file, err);
  ASSERT_TRUE(data);
  EXPECT_TRUE(*data == Body(300000, "ftp"));
  file.reset();
  log = Log();
  auto lastRetr = log.rfind("RETR");
  auto lastMdtm = log.rfind("MDTM");
  EXPECT_LT(lastRetr, lastMdtm) << log;

  // With reload the whole file comes from the server again.
  file = conn->OpenFile("/pub/big.bin", kFileReload, err);
  ASSERT_TRUE(file);
  EXPECT_TRUE(*ReadAll(*file, err) == Body(300000, "ftp"));
  file.reset();
  log = Log();
  EXPECT_GT(log.rfind("RETR"), lastMdtm);
}

TEST_F(FtpTest, ChangedFileIsNotTakenFromTheCache) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  Error err;
  auto file = conn->OpenFile("/pub/a.txt", kFileCache, err);
  ASSERT_TRUE(file);
  EXPECT_EQ(*ReadAll(*file, err), "alpha");
  file.reset();
  test::WriteFile(root / "pub" / "a.txt", "ALPHA!");
  std::filesystem::last_write_time(root / "pub" / "a.txt",
                                   std::filesystem::file_time_type::clock::now() +
                                       std::chrono::hours(1));
  file = conn->OpenFile("/pub/a.txt", kFileCache, err);
  ASSERT_TRUE(file);
  EXPECT_EQ(*ReadAll(*file, err), "ALPHA!");
}

TEST_F(FtpTest, ClosedSessionFailsEveryCall) {
  auto conn = Connect();
  ASSERT_TRUE(conn);
  Error err;
  auto file = conn->OpenFile("/pub/big.bin", kFileReload, err);
  ASSERT_TRUE(file);
  session->Close();
  char buf[16];
  EXPECT_EQ(file->Read(buf, sizeof buf, err), -1);
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed));
  std::vector<FtpEntry> entries;
  EXPECT_FALSE(conn->List("/pub/*", entries, err));
  EXPECT_EQ(err.number, static_cast<int>(ErrorCode::SessionClosed));
  EXPECT_FALSE(conn->OpenFile("/pub/a.txt", kFileReload, err));
}

}  // namespace
}  // namespace tk::inet

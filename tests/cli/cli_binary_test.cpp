// The trawlkit-cli program itself: signals, streams and exit statuses as a shell sees them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"
#include "support/test_servers.h"

extern char** environ;

namespace tk::test {
namespace {

// Whether a file of the save folder is a transfer under way, not yet in its place.
bool IsTemporary(const std::filesystem::path& path) { return path.filename().string().rfind(".trawlkit-", 0) == 0; }

std::size_t TemporaryFiles(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n += IsTemporary(e.path()) ? 1 : 0;
  return n;
}

class Program {
 public:
  // `shellLine`: run through /bin/sh with this line before the program ("ulimit -f 64;").
  explicit Program(std::vector<std::string> args, const std::filesystem::path& outDir, const std::string& shellLine = "") {
    args.insert(args.begin(), TRAWLKIT_CLI_PATH);
    if (!shellLine.empty()) args.insert(args.begin(), {"/bin/sh", "-c", shellLine + " exec \"$0\" \"$@\""});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (outDir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (outDir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (m_pid > 0 && !m_status) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  bool Started() const { return m_pid > 0; }
  void Signal(int sig) { kill(m_pid, sig); }
  // The exit status, or -1 when the program has not ended within the time.
  int Wait(std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return *m_status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

class CliProgram : public ::testing::Test {
 protected:
  CliProgram() {
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("HOME", home.Path().c_str(), 1);
  }
  TempDir home;
  TempDir save;
};

TEST_F(CliProgram, ChecksAndTheirExitStatus) {
  Program noUrl({"-d", (save / "x").string()}, home.Path());
  ASSERT_TRUE(noUrl.Started());
  EXPECT_EQ(noUrl.Wait(std::chrono::seconds(20)), 2);
  EXPECT_EQ(ReadFile(home / "stderr"), "スタートページリスト(URL)を追加してください！\n");
  Program version({"--version"}, home.Path());
  EXPECT_EQ(version.Wait(std::chrono::seconds(20)), 0);
  EXPECT_EQ(ReadFile(home / "stdout"), "trawlkit-cli " TRAWLKIT_VERSION "\n");
}

TEST_F(CliProgram, SigtermWindsTheRunDownAndStillWritesTheSummary) {
  auto server = HttpTestServer::Start();
  std::string url = server->Url("/__/slow?n=400000&chunk=200&delay=20");
  Program run({"-u", url, "-d", save.Path().string(), "--no-cache"}, home.Path());
  ASSERT_TRUE(run.Started());
  // Bounded wait for the first bytes on disk, which go to a temporary file beside the page's place.
  for (int i = 0; i < 500 && TemporaryFiles(save.Path()) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(TemporaryFiles(save.Path()), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(std::chrono::seconds(20)), 3);
  std::string out = ReadFile(home / "stdout");
  EXPECT_NE(out.find("Summary:\r\n"), std::string::npos);
  EXPECT_NE(out.find(":End downloading\r\n"), std::string::npos);
  EXPECT_EQ(out.find("(OK:"), std::string::npos);
  EXPECT_EQ(out, ReadFile(save / "Trawlkit.txt"));
  // Not a terminal: no progress line. The cut transfer leaves nothing of itself.
  EXPECT_EQ(ReadFile(home / "stderr"), "0 files: 0 new, 0 changed, 0 unchanged, 0 failed\n");
  EXPECT_FALSE(std::filesystem::exists(save / "slow.htm"));
  EXPECT_EQ(TemporaryFiles(save.Path()), 0u);
}

// Under a file size limit a file that outgrows it fails with its NG line, and the run goes on to
// the next one and to its summary, instead of the signal ending the program.
TEST_F(CliProgram, AFileSizeLimitFailsTheFileNotTheRun) {
  auto server = HttpTestServer::Start();
  const std::string big = server->Url("/__/bytes?n=200000");
  const std::string small = server->Url("/__/bytes/small.txt?n=1000");
  Program run({"-u", big, "-u", small, "-d", save.Path().string(), "--no-cache"}, home.Path(), "ulimit -f 64;");
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.Wait(std::chrono::seconds(30)), 1) << ReadFile(home / "stderr");
  const std::string out = ReadFile(home / "stdout");
  EXPECT_NE(out.find(big + "(NG:Failed in saving to[bytes.htm])\r\n" + small + "(OK:Saved as[small.txt])\r\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(":End downloading\r\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(save / "bytes.htm"));
  EXPECT_EQ(TemporaryFiles(save.Path()), 0u);
  EXPECT_EQ(ReadFile(home / "stderr"), "2 files: 1 new, 0 changed, 0 unchanged, 1 failed\nopen: " +
                                           (save / "small.txt").string() + "\n");
}

TEST_F(CliProgram, CopiesALocalHttpsSiteThatTheTrustedAuthorityVouchesFor) {
  MakeTestCertificates(home / "tls");
  TempDir site;
  WriteFile(site / "index.html", "<html><a href=a.html>a</a></html>");
  WriteFile(site / "a.html", "<html>a</html>");
  auto server = HttpsTestServer::Start(home / "tls", "good", site.Path());
  // CURL_CA_BUNDLE would come first; a machine may well set it to the system's store.
  unsetenv("CURL_CA_BUNDLE");
  setenv("SSL_CERT_FILE", (home / "tls/ca.pem").c_str(), 1);
  Program refused({"-u", server->Url("/"), "-d", save.Path().string()}, home.Path());
  EXPECT_EQ(refused.Wait(std::chrono::seconds(20)), 2);
  EXPECT_EQ(ReadFile(home / "stderr"), "有効なURL(HTTP/FTP)ファイルを入力してください！\n");
  Program run({"--https", "-u", server->Url("/"), "-d", save.Path().string(), "-l", "1"}, home.Path());
  EXPECT_EQ(run.Wait(std::chrono::seconds(60)), 0) << ReadFile(home / "stderr");
  unsetenv("SSL_CERT_FILE");
  const std::string out = ReadFile(home / "stdout");
  EXPECT_NE(out.find(server->Url("/(OK:Saved as[~TrawlDlFile_0.htm])\r\n") +
                     server->Url("/a.html(OK:Saved as[a.html])\r\n")),
            std::string::npos)
      << out;
  EXPECT_EQ(ReadFile(save / "~TrawlDlFile_0.htm"), "<html><a href=a.html>a</a></html>");
  EXPECT_EQ(ReadFile(save / "a.html"), "<html>a</html>");
}

}  // namespace
}  // namespace tk::test

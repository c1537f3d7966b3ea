// The trawlkit-cli program itself: signals, streams and exit statuses as a shell sees them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "support/program.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {

// Whether a file of the save folder is a transfer under way, not yet in its place.
bool IsTemporary(const std::filesystem::path& path) { return path.filename().string().rfind(".trawlkit-", 0) == 0; }

std::size_t TemporaryFiles(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n += IsTemporary(e.path()) ? 1 : 0;
  return n;
}

// How many files in `dir` the program `pid` has open and has written bytes to without their
// being in their places yet: temporary files beside them, or files with no name (made ahead).
std::size_t FilesBeingWritten(pid_t pid, const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::size_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const fs::path target = fs::read_symlink(e.path(), ec);
    if (ec || target.parent_path() != dir) continue;
    const bool unnamed = target.filename().string().ends_with(" (deleted)");
    if ((unnamed || IsTemporary(target)) && fs::is_regular_file(e.path(), ec) && fs::file_size(e.path(), ec) > 0 && !ec)
      ++n;
  }
  return n;
}

class CliProgram : public ::testing::Test {
 protected:
  // trawlkit-cli with `args`, its output in `outDir`, its home, cache and settings in `home`.
  // Standard input from `in`; standard error to `errTo` when given (a terminal), else to a file.
  // `shellLine`: run through /bin/sh with this line before the program ("ulimit -f 64;").
  ProgramStart Cli(std::vector<std::string> args, const std::filesystem::path& outDir,
                   const std::filesystem::path& in = "/dev/null", const std::string& errTo = "",
                   const std::string& shellLine = "") const {
    args.insert(args.begin(), TRAWLKIT_CLI_PATH);
    if (!shellLine.empty()) args.insert(args.begin(), {"/bin/sh", "-c", shellLine + " exec \"$0\" \"$@\""});
    return {args, outDir, in, errTo, EnvironmentWith(env)};
  }

  TempDir home;
  TempDir save;
  std::vector<std::string> env = {"XDG_CACHE_HOME=" + (home / "cache").string(),
                                  "XDG_CONFIG_HOME=" + (home / "config").string(), "HOME=" + home.Path().string()};
};

TEST_F(CliProgram, ChecksAndTheirExitStatus) {
  Program noUrl(Cli({"-d", (save / "x").string()}, home.Path()));
  ASSERT_TRUE(noUrl.Started());
  EXPECT_EQ(noUrl.Wait(std::chrono::seconds(20)), 2);
  EXPECT_EQ(ReadFile(home / "stderr"),
            "trawlkit-cli: no start URL: give one with -u URL or -i FILE, or a .tkp project that has some\n");
  Program bare(Cli({"www.example.com/docs/"}, home.Path()));
  EXPECT_EQ(bare.Wait(std::chrono::seconds(20)), 2);
  EXPECT_EQ(ReadFile(home / "stderr"), "trawlkit-cli: 'www.example.com/docs/' is neither a URL (use -u) nor a .tkp "
                                       "project\nTry 'trawlkit-cli --help'.\n");
  Program version(Cli({"--version"}, home.Path()));
  EXPECT_EQ(version.Wait(std::chrono::seconds(20)), 0);
  const std::string shown = ReadFile(home / "stdout");
  EXPECT_EQ(shown.rfind("trawlkit-cli " TRAWLKIT_VERSION "\nlibcurl ", 0), 0u) << shown;
  EXPECT_NE(shown.find(", TLS: "), std::string::npos) << shown;
}

TEST_F(CliProgram, StartUrlsFromStandardInput) {
  WriteFile(home / "list", "# mirrors\n127.0.0.1:9/a/\n\nftp.example.org/pub/\n");
  Program run(Cli({"-qi", "-", "-d", save.Path().string(), "--dry-run"}, home.Path(), home / "list"));
  EXPECT_EQ(run.Wait(std::chrono::seconds(20)), 0) << ReadFile(home / "stderr");
  EXPECT_NE(ReadFile(home / "stdout").find("\nhttp://127.0.0.1:9/a/\nftp://ftp.example.org/pub/\n"), std::string::npos)
      << ReadFile(home / "stdout");
}

// The progress line lives on the terminal only: drawn there, and erased before the last lines.
TEST_F(CliProgram, TheProgressLineOnAPseudoTerminalAndNothingOfItInAFile) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  winsize size{};
  size.ws_col = 70;
  size.ws_row = 24;
  ioctl(master, TIOCSWINSZ, &size);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  auto server = HttpTestServer::Start();
  Program run(Cli({"-u", server->Url("/__/slow?n=100000&chunk=2000&delay=20"), "-d", save.Path().string(), "--no-cache"},
                  home.Path(), "/dev/null", ptsname(master)));
  ASSERT_TRUE(run.Started());
  std::string screen;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = -1;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{master, POLLIN, 0};
    poll(&p, 1, 50);
    ssize_t n = 0;
    while ((n = read(master, buffer, sizeof buffer)) > 0) screen.append(buffer, static_cast<std::size_t>(n));
    if (status < 0) status = run.Wait(std::chrono::seconds(0));
    // Once the program has ended, what it wrote is read to the end (EIO when the terminal closed).
    if (status >= 0 && n <= 0 && errno != EAGAIN) break;
  }
  close(master);
  EXPECT_EQ(status, 0) << screen;
  const std::string erase = "\r\x1b[K";
  const std::size_t last = screen.rfind(erase);
  ASSERT_NE(last, std::string::npos) << screen;
  EXPECT_NE(screen.find("0 files, "), std::string::npos) << screen;
  EXPECT_NE(screen.find("  slow.htm "), std::string::npos) << screen;
  // After the last erase, only whole lines: the run's last lines on a clean line.
  const std::string tail = screen.substr(last + erase.size());
  EXPECT_NE(tail.find("open: " + (save / "slow.htm").string() + "\r\n"), std::string::npos) << screen;
  EXPECT_TRUE(tail.ends_with("\r\n")) << tail;
  for (std::size_t at = screen.find(erase); at != last; at = screen.find(erase, at + 1)) {
    const std::size_t next = screen.find(erase, at + 1);
    EXPECT_LT(next - at - erase.size(), 70u) << screen.substr(at, next - at);
  }
  const std::string out = ReadFile(home / "stdout");
  EXPECT_EQ(out.find('\x1b'), std::string::npos);
  EXPECT_NE(out.find("(OK:Saved as[slow.htm])"), std::string::npos) << out;
}

TEST_F(CliProgram, SigtermWindsTheRunDownAndStillWritesTheSummary) {
  auto server = HttpTestServer::Start();
  std::string url = server->Url("/__/slow?n=400000&chunk=200&delay=20");
  Program run(Cli({"-u", url, "-d", save.Path().string(), "--no-cache"}, home.Path()));
  ASSERT_TRUE(run.Started());
  // Bounded wait for the first bytes on disk, which go to a file not yet in the page's place.
  for (int i = 0; i < 500 && FilesBeingWritten(run.Pid(), save.Path()) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(FilesBeingWritten(run.Pid(), save.Path()), 1u);
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
  Program run(Cli({"-u", big, "-u", small, "-d", save.Path().string(), "--no-cache"}, home.Path(), "/dev/null", "",
                  "ulimit -f 64;"));
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
  env.push_back("CURL_CA_BUNDLE");
  env.push_back("SSL_CERT_FILE=" + (home / "tls/ca.pem").string());
  Program refused(Cli({"-u", server->Url("/"), "-d", save.Path().string()}, home.Path()));
  EXPECT_EQ(refused.Wait(std::chrono::seconds(20)), 2);
  EXPECT_EQ(ReadFile(home / "stderr"), "trawlkit-cli: " + server->Url("/") + " needs --https\n");
  Program run(Cli({"--https", "-u", server->Url("/"), "-d", save.Path().string(), "-l", "1"}, home.Path()));
  EXPECT_EQ(run.Wait(std::chrono::seconds(60)), 0) << ReadFile(home / "stderr");
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

// trawlkit-cli run in-process: options, the checks before a run, the run, exit statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "cli/netrc.h"
#include "support/cli_fixture.h"

namespace tk::cli {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST_F(Cli, HelpVersionAndUnknownOptions) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out.str().find("Usage: trawlkit-cli [options] [PROJECT.tkp]"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), 0);
  // The libraries it runs with: a TLS problem is often an old one.
  EXPECT_EQ(out.str().rfind("trawlkit-cli " TRAWLKIT_VERSION "\nlibcurl ", 0), 0u) << out.str();
  EXPECT_NE(out.str().find(", TLS: "), std::string::npos) << out.str();
  EXPECT_EQ(Run({"--bogus"}), 2);
  EXPECT_NE(err.str().find("unknown option: --bogus"), std::string::npos);
  EXPECT_EQ(Run({"-u"}), 2);
  EXPECT_NE(err.str().find("option needs a value: -u"), std::string::npos);
  EXPECT_EQ(Run({"a.tkp", "b.tkp"}), 2);
}

TEST_F(Cli, DryRunShowsTheProjectWithItsOverrides) {
  ProjectSettings project;
  project.StartUrls = {"http://one/", "ftp://two/x"};
  project.SaveDir = Save();
  project.LinkLayers = 2;
  std::string file = (save / "job.tkp").string();
  ASSERT_TRUE(SaveProject(project, file));
  EXPECT_EQ(Run({file, "--url", "http://three/", "-u", "http://four/", "--all-sites", "--server-tree", "--no-cache",
                 "--confirm", "-x", ".GIF.Jpg", "-l", "10", "--dry-run"}),
            0);
  EXPECT_EQ(out.str(), "dry run: nothing is fetched\n12:34:56:Start downloading\r\nExcluding file types:.gif.jpg\r\nSaving to directory:" + Save() +
                           "/\r\nLinks to browse:Start pages & 10layers\r\nDownload pages at:All stes\r\n"
                           "Files saved:In same directory structure as server\r\nUsing cashe:No\r\n"
                           "Confirm before overwrite:Yes\r\n" + std::string(kDefaultMoreSettings) +
                           "http://one/\nftp://two/x\nhttp://three/\nhttp://four/\n" + WouldMake(Save()));
  EXPECT_TRUE(net.requests.empty());
  EXPECT_FALSE(std::filesystem::exists(Save()));
}

TEST_F(Cli, TheHttpsSwitchTakesHttpsUrlsAndIsKeptInTheProject) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out.str().find("\n      --https "), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\n      --no-https "), std::string::npos) << out.str();

  EXPECT_EQ(Run({"-u", "https://h/", "--https", "-d", Save(), "--dry-run"}), 0) << err.str();
  std::string on = Header(Save());
  on.replace(on.find("Using HTTPS:No"), 14, "Using HTTPS:Yes");
  EXPECT_EQ(out.str(), on + "https://h/\n" + WouldMake(Save()));
  // The project carries the switch; the command line has the last word.
  const std::string file = (save / "job.tkp").string();
  ProjectSettings project;
  project.StartUrls = {"https://h/"};
  project.Https = 1;
  ASSERT_TRUE(SaveProject(project, file));
  EXPECT_EQ(Run({file, "-d", Save(), "--dry-run"}), 0);
  EXPECT_NE(out.str().find("Using HTTPS:Yes\r\n"), std::string::npos) << out.str();
  EXPECT_EQ(Run({file, "--no-https", "-d", Save(), "--dry-run"}), 0);
  EXPECT_NE(out.str().find("Using HTTPS:No\r\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\r\nhttps://h/\n"), std::string::npos) << out.str();
  EXPECT_TRUE(net.requests.empty());
}

// A folder is taken as the shell means it, typed or stored by a project that earlier builds ran:
// "~" is the home folder, a relative folder starts at the current folder, as the wizard takes it.
// One that names no folder here is refused before anything is made or fetched.
TEST_F(Cli, SaveFoldersAsALinuxUserTypesThem) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Row {
    std::string dir, shown;
  } rows[] = {
      {"~/dl", home.Path().string() + "/dl/"},
      {"~", home.Path().string() + "/"},
      {"rel/dl", cwd + "/rel/dl/"},
      {"/abs/dl", "/abs/dl/"},
  };
  const std::string file = (save / "old.tkp").string();
  for (const Row& r : rows) {
    EXPECT_EQ(Run({"-u", "http://h/", "-d", r.dir, "--dry-run"}), 0) << r.dir;
    EXPECT_NE(out.str().find("\r\nSaving to directory:" + r.shown + "\r\n"), std::string::npos) << out.str();
    EXPECT_EQ(Run({"-u", "http://h/", "-d" + r.dir, "--dry-run"}), 0) << r.dir;
    EXPECT_NE(out.str().find("\r\nSaving to directory:" + r.shown + "\r\n"), std::string::npos) << out.str();
    WriteFile(file, "[SETTING]\r\nSaveDir=" + r.dir + "\r\n[URL]\r\nURL0=\"http://h/\"\r\n");
    EXPECT_EQ(Run({file, "--dry-run"}), 0) << r.dir << err.str();
    EXPECT_NE(out.str().find("\r\nSaving to directory:" + r.shown + "\r\n"), std::string::npos) << out.str();
  }
  // A run into the project's "~/dl" saves there, and --save-project stores the whole folder.
  net.Page("h:80/", "x");
  WriteFile(file, "[SETTING]\r\nSaveDir=~/dl\r\n[URL]\r\nURL0=\"http://h/\"\r\n");
  EXPECT_EQ(Run({file, "--save-project", file}), 0) << err.str();
  EXPECT_TRUE(std::filesystem::exists(home / "dl" / "~TrawlDlFile_0.htm"));
  ProjectSettings saved;
  LoadProject(saved, file);
  EXPECT_EQ(saved.SaveDir, home.Path().string() + "/dl");

  WriteFile(file, "[SETTING]\r\nSaveDir=C:\\Web\\\r\n[URL]\r\nURL0=\"http://h/\"\r\n");
  const std::string windows = "trawlkit-cli: the project's save folder 'C:\\Web\\' is a Windows folder, which names no "
                              "folder here; give one with -d DIR\n";
  for (const std::vector<std::string>& args : {std::vector<std::string>{file}, std::vector<std::string>{file, "--dry-run"}}) {
    EXPECT_EQ(Run(args), 2) << args.back();
    EXPECT_EQ(err.str(), windows);
  }
  EXPECT_EQ(Run({file, "-d", Save(), "--dry-run"}), 0) << "-d has the last word";
  // The page, after the server's robots.txt.
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/robots.txt", "GET h:80/"}));
  EXPECT_FALSE(std::filesystem::exists("C:\\Web"));
}

TEST_F(Cli, AnEmptySaveFolderIsTodaysFolderUnderHome) {
  std::string today = home.Path().string() + "/TrawlFiles/20261207";
  ASSERT_EQ(Run({"-u", "http://h/", "--dry-run"}), 0);
  EXPECT_EQ(out.str(), Header(today) + "http://h/\n" + WouldMake(today));
  std::filesystem::create_directories(today);
  std::filesystem::create_directories(today + "(1)");
  ASSERT_EQ(Run({"-u", "http://h/", "--dry-run"}), 0);
  EXPECT_EQ(out.str(), Header(today + "(2)") + "http://h/\n" + WouldMake(today + "(2)"));
  net.Page("h:80/", "x");
  ASSERT_EQ(Run({"-u", "http://h/"}), 0);
  EXPECT_TRUE(std::filesystem::exists(today + "(2)/~TrawlDlFile_0.htm"));
}

TEST_F(Cli, StandardOutputIsTheLogBoxAndTheExitStatusTheOutcome) {
  net.Page("h:80/a.htm", "abc");
  EXPECT_EQ(Run({"-u", "http://h/a.htm", "-u", "https://h/b", "-d", Save()}), 2);  // checked first
  EXPECT_EQ(Run({"-u", "http://h/a.htm", "-d", Save()}), 0);
  std::string log = ReadFile(save / "out" / "Trawlkit.txt");
  EXPECT_EQ(out.str(), log);
  EXPECT_NE(log.find("http://h/a.htm(OK:Saved as[a.htm])\r\n"), std::string::npos);
  // Not a terminal: no progress line, only what the run did to the copy and where it starts.
  EXPECT_EQ(err.str(), "1 file: 1 new, 0 changed, 0 unchanged, 0 failed\nopen: " + (save / "out" / "a.htm").string() + "\n");

  ProjectSettings project;
  project.StartUrls = {"https://secure/", "http://h/missing.htm"};
  std::string file = (save / "job.tkp").string();
  ASSERT_TRUE(SaveProject(project, file));
  EXPECT_EQ(Run({file, "-d", Save()}), 1);
  EXPECT_NE(out.str().find("https://secure/(NG:Service not supported)\r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(save / "out" / "Trawlkit.txt").find("Service not supported"), std::string::npos);

  EXPECT_EQ(Run({"-q", "-u", "http://h/a.htm", "-d", Save()}), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "1 file: 0 new, 0 changed, 1 unchanged, 0 failed\nopen: " + (save / "out" / "a.htm").string() + "\n");
}

// A run log that cannot be written is said on standard error, also with -q, and fails the run.
TEST_F(Cli, ARunLogThatCannotBeWrittenEndsWithStatusOne) {
  net.Page("h:80/a.htm", "abc");
  std::filesystem::create_directories(save / "out" / "Trawlkit.txt");  // a folder in its place
  EXPECT_EQ(Run({"-q", "-u", "http://h/a.htm", "-d", Save()}), 1);
  EXPECT_EQ(err.str(), "trawlkit-cli: The run log cannot be written (it cannot be opened): " +
                           (save / "out" / "Trawlkit.txt").string() +
                           "\n1 file: 1 new, 0 changed, 0 unchanged, 0 failed\nopen: " + (save / "out" / "a.htm").string() +
                           "\n");
  EXPECT_EQ(ReadFile(save / "out" / "a.htm"), "abc");
}

TEST_F(Cli, TheRunEndsSayingWhichFileTheCopyStartsFrom) {
  net.Page("h:80/", "<html><a href=a.htm>a</a></html>", "text/html");
  net.Page("h:80/a.htm", "abc");
  // The first start page that was saved; the one that failed has no copy to open.
  EXPECT_EQ(Run({"-u", "http://h/missing.htm", "-u", "http://h/", "-u", "http://h/a.htm", "-d", Save(), "-q"}), 1);
  EXPECT_EQ(err.str(), "3 files: 2 new, 0 changed, 0 unchanged, 1 failed\nopen: " +
                           (save / "out" / "~TrawlDlFile_0.htm").string() + "\n");
  EXPECT_EQ(Run({"-u", "http://h/missing.htm", "-d", Save()}), 1);
  EXPECT_EQ(err.str(), "1 file: 0 new, 0 changed, 0 unchanged, 1 failed\n");
}

TEST_F(Cli, AnNgLineThatChangesNoCounterStillEndsWithStatusOne) {
  net.ftp["f:21"] = {{"/other.bin", "x"}};
  net.Redirect("h:80/to-ftp", "ftp://down/x");
  ProjectSettings project;
  project.StartUrls = {"https://secure/"};
  const std::string file = (save / "job.tkp").string();
  ASSERT_TRUE(SaveProject(project, file));
  // An FTP line counts an error like every other NG line; one for a scheme not taken does not.
  const std::string counted = "\t                   1                   1                   0";
  const std::string uncounted = "\t                   0                   0                   0";
  struct Row {
    std::vector<std::string> args;
    bool ftpDown;
    std::string line;
    std::string counts;
    bool noSession = false;
  } rows[] = {
      {{"-u", "ftp://down/x"}, true, "ftp://down/x(NG:", counted},
      {{"-u", "ftp://f/missing.bin"}, false, "ftp://f/missing.bin(NG:Not found)\r\n", counted},
      {{"-u", "http://h/to-ftp"}, true, "http://h/to-ftp(NG:", counted},
      {{file}, false, "https://secure/(NG:Service not supported)\r\n", uncounted},
      {{"-u", "http://h/a.htm"}, false, "Failed in createing internet session:", uncounted, true},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.line);
    net.failFtpConnect = row.ftpDown;
    net.failSession = row.noSession;
    row.args.insert(row.args.end(), {"-d", Save()});
    EXPECT_EQ(Run(row.args), 1);
    EXPECT_NE(out.str().find(row.line), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(row.counts), std::string::npos) << out.str();
  }
}

TEST_F(Cli, ACtrlCWhileAProjectLoadsEndsThereWithStatusThree) {
  ProjectSettings project;
  project.StartUrls = {"http://h/a.htm"};
  const std::string file = (save / "job.tkp").string();
  ASSERT_TRUE(SaveProject(project, file));
  cancel = true;
  EXPECT_EQ(Run({file, "-d", Save()}), 3);
  EXPECT_EQ(out.str(), "");
  EXPECT_FALSE(std::filesystem::exists(Save()));
}

TEST_F(Cli, ACancelledRunEndsWithItsSummaryAndStatusThree) {
  net.Page("h:80/a.htm", "abc");
  cancel = true;
  EXPECT_EQ(Run({"-u", "http://h/a.htm", "-d", Save()}), 3);
  EXPECT_NE(out.str().find("Summary:\r\n"), std::string::npos);
  EXPECT_NE(out.str().find(":End downloading\r\n"), std::string::npos);
  EXPECT_TRUE(net.requests.empty());
}

TEST_F(Cli, SaveProjectWritesTheSettingsBeforeTheRun) {
  net.Page("h:80/a.htm", "abc");
  std::string file = (save / "saved.tkp").string();
  ASSERT_EQ(Run({"-u", "http://h/a.htm", "-d", Save(), "-l", "4", "--save-project", file}), 0);
  ProjectSettings loaded;
  LoadProject(loaded, file);
  EXPECT_EQ(loaded.StartUrls, (std::vector<std::string>{"http://h/a.htm"}));
  EXPECT_EQ(loaded.LinkLayers, 4);
  EXPECT_EQ(loaded.SaveDir.rfind(Save(), 0), 0u);
}

TEST_F(Cli, OverwriteQuestionOnTheTerminalOrSkipWithoutOne) {
  std::filesystem::create_directories(Save());
  for (const char* n : {"1", "2", "3"}) {
    WriteFile(save / "out" / (std::string(n) + ".txt"), "old");
    net.Page(std::string("h:80/") + n + ".txt", "new", "text/plain");
  }
  std::vector<std::string> args = {"-u", "http://h/1.txt", "-u", "http://h/2.txt", "-u", "http://h/3.txt",
                                   "-d", Save(), "--confirm"};
  EXPECT_EQ(Run(args), 0);
  EXPECT_EQ(ReadFile(save / "out" / "1.txt"), "old");
  EXPECT_NE(out.str().find("http://h/3.txt(SKIPPED:No overwrite)"), std::string::npos);
  // Said once, not once a file, as cron mails it.
  EXPECT_EQ(err.str(), "trawlkit-cli: no terminal to ask before overwriting: existing files are kept\n"
                       "3 files: 0 new, 0 changed, 3 unchanged, 0 failed\nopen: " +
                           (save / "out" / "1.txt").string() + "\n");

  // "y" is no answer the prompt offers: the question comes again.
  std::istringstream answers("y\ns\na\n");
  context.in = &answers;
  EXPECT_EQ(Run(args), 0);
  EXPECT_EQ(ReadFile(save / "out" / "1.txt"), "old");
  EXPECT_EQ(ReadFile(save / "out" / "2.txt"), "new");
  const std::string question = "1.txt\n既に存在しています。上書きしますか？";
  EXPECT_NE(err.str().find(question, err.str().find(question) + 1), std::string::npos) << err.str();
  EXPECT_EQ(ReadFile(save / "out" / "3.txt"), "new");
  EXPECT_NE(err.str().find("1.txt\n既に存在しています。上書きしますか？"), std::string::npos);
  EXPECT_EQ(err.str().find("3.txt\n"), std::string::npos);  // overwrite all asks no more
}

TEST_F(Cli, PasswordsComeFromNetrcThenTheTerminal) {
  net.Page("h:80/a.htm", "secret");
  net.http["h:80/a.htm"].user = "me";
  net.http["h:80/a.htm"].password = "pw";
  std::vector<std::string> args = {"-u", "http://h/a.htm", "-d", Save()};
  EXPECT_EQ(Run(args), 1);
  EXPECT_NE(out.str().find("http://h/a.htm(NG:Cancelled by user)"), std::string::npos);

  std::istringstream typed("me\npw\n");
  context.in = &typed;
  EXPECT_EQ(Run(args), 0);
  EXPECT_NE(err.str().find("ユーザー名: "), std::string::npos);

  context.in = nullptr;
  WriteFile(home / ".netrc", "machine other login x password y\nmachine H login me password pw\n");
  EXPECT_EQ(Run(args), 0);
  // A refused netrc entry is not offered again: without a terminal the request is cancelled.
  WriteFile(home / ".netrc", "default login me password wrong\n");
  EXPECT_EQ(Run(args), 1);
}

TEST_F(Cli, ACacheFolderRefusedIsSaidOnStandardError) {
  net.Page("h:80/a.htm", "abc");
  net.cacheRefusal = "/x/trawlkit is not a folder of this user alone";
  EXPECT_EQ(Run({"-u", "http://h/a.htm", "-d", Save(), "-q"}), 0);
  EXPECT_EQ(err.str(), "trawlkit-cli: Cache off for this run:/x/trawlkit is not a folder of this user alone\n"
                       "1 file: 1 new, 0 changed, 0 unchanged, 0 failed\nopen: " +
                           (save.Path() / "out" / "a.htm").string() + "\n");
  EXPECT_NE(ReadFile(save / "out" / "Trawlkit.txt").find("Cache off for this run:/x/trawlkit"), std::string::npos);
}

TEST(Netrc, OnlyAPlainFileWithinTheBoundIsRead) {
  TempDir dir;
  WriteFile(dir / "plain", "machine h login u password p\n");
  EXPECT_EQ(ReadNetrcFile(dir / "plain"), "machine h login u password p\n");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadNetrcFile(dir / "fifo"), "");  // returns at once: no writer is waited for
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  EXPECT_EQ(ReadNetrcFile(dir / "zero"), "");
  WriteFile(dir / "big", "machine h login u password p\n");
  std::filesystem::resize_file(dir / "big", kMaxNetrcBytes + 1);
  EXPECT_EQ(ReadNetrcFile(dir / "big"), "");
  EXPECT_EQ(ReadNetrcFile(dir / "missing"), "");
}

TEST(Netrc, MachineDefaultAndMacros) {
  const char* text =
      "macdef init\ncd /pub\n\n"
      "machine a.example login ua password pa\n"
      "default login anon password guest\n"
      "machine B.example\n  login ub\n  account x\n  password pb\n"
      "machine b.example login second password no\n";
  auto a = NetrcLookup(text, "A.EXAMPLE");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->User, "ua");
  EXPECT_EQ(a->Password, "pa");
  auto b = NetrcLookup(text, "b.example");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->User, "ub");
  EXPECT_EQ(b->Password, "pb");
  auto other = NetrcLookup(text, "c.example");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->User, "anon");
  EXPECT_FALSE(NetrcLookup("machine x login y password z", "w"));
  EXPECT_FALSE(NetrcLookup("", "w"));
}

}  // namespace
}  // namespace tk::cli

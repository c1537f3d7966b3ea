// trawlkit-cli's options as a wget user types them: spellings into settings, refusals into
// messages that name the input and the way out, and every setting through a project and back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "cli/apply_options.h"
#include "cli/cli_options.h"
#include "support/cli_fixture.h"

namespace tk::cli {
namespace {

using test::ReadFile;
using test::WriteFile;

// What one row expects of the settings, as text so that a failure shows both sides.
using Field = std::function<std::string(const ProjectSettings&)>;

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += item + "|";
  return text;
}

const Field kWait = [](const ProjectSettings& s) { return std::to_string(s.WaitSeconds); };
const Field kRate = [](const ProjectSettings& s) { return std::to_string(s.LimitRate); };
const Field kConnections = [](const ProjectSettings& s) { return std::to_string(s.Connections); };
const Field kAgent = [](const ProjectSettings& s) { return s.UserAgent; };
const Field kInclude = [](const ProjectSettings& s) { return Join(s.IncludeUrls); };
const Field kExclude = [](const ProjectSettings& s) { return Join(s.ExcludeUrls); };
const Field kMaxSize = [](const ProjectSettings& s) { return std::to_string(s.MaxSize); };
const Field kLayers = [](const ProjectSettings& s) {
  return std::to_string(s.LinkLayers) + (s.UnlimitedLayers ? " unlimited" : "");
};
const Field kTimeout = [](const ProjectSettings& s) { return std::to_string(s.TimeoutSeconds); };
const Field kTries = [](const ProjectSettings& s) { return std::to_string(s.Tries); };
const Field kRobots = [](const ProjectSettings& s) { return std::to_string(s.Robots); };
const Field kTypes = [](const ProjectSettings& s) { return s.ExcludeType; };
const Field kUrls = [](const ProjectSettings& s) { return Join(s.StartUrls); };
const Field kSiteAndFlat = [](const ProjectSettings& s) {
  return std::to_string(s.SameSiteOnly) + std::to_string(s.SaveFlat);
};

class CliOptionsTest : public Cli {
 protected:
  // The settings the options give, on top of the defaults; the message when refused.
  std::optional<std::string> Apply(const std::vector<std::string>& args, ProjectSettings& settings) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) return error;
    return ApplyOptions(options, settings, context);
  }
};

TEST_F(CliOptionsTest, SpellingsIntoSettings) {
  const std::string list = (save / "list.txt").string();
  WriteFile(list, "\xEF\xBB\xBF# start pages\r\nhttp://a/\r\n\r\n   www.b.example/docs/  \r\n  # not this\r\nftp.c.example/pub/\n");
  std::istringstream stdinText("http://from-stdin/\n#x\n");
  context.input = &stdinText;
  struct Row {
    std::vector<std::string> args;
    Field field;
    std::string expected;
  } rows[] = {
      {{"-w", "0.5"}, kWait, "0.500000"},
      {{"--wait=2"}, kWait, "2.000000"},
      {{"-w1.5"}, kWait, "1.500000"},
      {{"--limit-rate", "200k"}, kRate, "204800"},
      {{"--limit-rate=1.5M"}, kRate, "1572864"},
      {{"--limit-rate", "300"}, kRate, "300"},
      {{"--limit-rate", "0"}, kRate, "0"},
      {{"--connections", "1"}, kConnections, "1"},
      {{"--connections=5"}, kConnections, "5"},
      {{"-U", "Mozilla/5.0 (X11; Linux)"}, kAgent, "Mozilla/5.0 (X11; Linux)"},
      {{"--user-agent=bot/1"}, kAgent, "bot/1"},
      {{"-Ubot"}, kAgent, "bot"},
      {{"--include-urls", "/docs/*", "--include-urls=/api/*"}, kInclude, "/docs/*|/api/*|"},
      {{"--exclude-urls", "*.zip"}, kExclude, "*.zip|"},
      {{"--max-size", "10m"}, kMaxSize, "10485760"},
      {{"--max-size=2G"}, kMaxSize, "2147483648"},
      {{"--max-size", "500k"}, kMaxSize, "512000"},
      {{"--max-size", "100"}, kMaxSize, "100"},
      {{"-l", "inf"}, kLayers, "10 unlimited"},
      {{"-linf"}, kLayers, "10 unlimited"},
      {{"--layers=INF"}, kLayers, "10 unlimited"},
      {{"-l", "inf", "-l2"}, kLayers, "2"},
      {{"-ql1"}, kLayers, "1"},
      {{"-T", "5"}, kTimeout, "5.000000"},
      {{"--timeout=0.5"}, kTimeout, "0.500000"},
      {{"-t", "1"}, kTries, "1"},
      {{"--tries=10"}, kTries, "10"},
      {{"-t100"}, kTries, "100"},
      {{"--no-robots"}, kRobots, "0"},
      {{"--no-robots", "--robots"}, kRobots, "1"},
      {{"--all-sites", "--server-tree"}, kSiteAndFlat, "00"},
      {{"-x", "mp4"}, kTypes, ".mp4"},
      {{"-x", "mp4,webm"}, kTypes, ".mp4.webm"},
      {{"-x", "mp4 webm"}, kTypes, ".mp4.webm"},
      {{"-x", ".GIF.Jpg"}, kTypes, ".gif.jpg"},
      {{"-x", "*.MP4", "-x", " .webm, ogv"}, kTypes, ".mp4.webm.ogv"},
      {{"-xmp4"}, kTypes, ".mp4"},
      {{"-x", ""}, kTypes, ""},
      // URLs: without a scheme as a browser takes them, after the project's, in command-line order.
      {{"-u", "www.example.com/docs/"}, kUrls, "http://x/|http://www.example.com/docs/|"},
      {{"-u", "ftp.gnu.org/pub/"}, kUrls, "http://x/|ftp://ftp.gnu.org/pub/|"},
      {{"-u", "me@FTP.example.org/a"}, kUrls, "http://x/|ftp://me@FTP.example.org/a|"},
      {{"-u", "localhost:8080/x"}, kUrls, "http://x/|http://localhost:8080/x|"},
      {{"-u", " example.com/\t"}, kUrls, "http://x/|http://example.com/|"},
      {{"-u", "ftp/x"}, kUrls, "http://x/|http://ftp/x|"},
      {{"-uHTTP://h/"}, kUrls, "http://x/|HTTP://h/|"},
      {{"--https", "-u", "https://h/"}, kUrls, "http://x/|https://h/|"},
      {{"-u", "http://1/", "-i", list, "--url=http://2/", "-i", "-"}, kUrls,
       "http://x/|http://1/|http://a/|http://www.b.example/docs/|ftp://ftp.c.example/pub/|http://2/|"
       "http://from-stdin/|"},
  };
  for (const Row& r : rows) {
    ProjectSettings settings;
    settings.StartUrls = {"http://x/"};
    const auto refused = Apply(r.args, settings);
    EXPECT_FALSE(refused) << r.args.front() << ": " << *refused;
    EXPECT_EQ(r.field(settings), r.expected) << r.args.front() << " " << r.args.back();
  }
}

// "-i <(grep ... urls.txt)": the shell names a pipe, which is read to its end like standard input.
TEST_F(CliOptionsTest, AListFromAPipeIsReadLikeStandardInput) {
  const std::filesystem::path fifo = save / "list.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&fifo] {
    // Opens once the reader has; bounded, so a reader that never comes fails the test, never hangs it.
    for (int i = 0; i < 500; ++i) {
      const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        EXPECT_EQ(write(fd, "example.com/\n", 13), 13);
        close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  ProjectSettings settings;
  const auto refused = Apply({"-i", fifo.string()}, settings);
  writer.join();
  EXPECT_FALSE(refused) << *refused;
  EXPECT_EQ(settings.StartUrls, (std::vector<std::string>{"http://example.com/"}));
}

TEST_F(CliOptionsTest, EachRefusalNamesTheInputAndTheWayOutWithStatusTwo) {
  const std::string list = (save / "list.txt").string();
  WriteFile(list, "http://fine/\nhttps://secure.example/\n");
  const std::string missing = (save / "none.txt").string();
  const std::string help = "\nTry 'trawlkit-cli --help'.\n";
  struct Row {
    std::vector<std::string> args;
    std::string message;
  } rows[] = {
      {{"-d", Save()}, "trawlkit-cli: no start URL: give one with -u URL or -i FILE, or a .tkp project that has some\n"},
      {{"-u", "https://h/"}, "trawlkit-cli: https://h/ needs --https\n"},
      {{"--https", "--no-https", "-u", "https://h/"}, "trawlkit-cli: https://h/ needs --https\n"},
      {{"-u", "https://me:secret@h/"}, "trawlkit-cli: https://me:***@h/ needs --https\n"},
      {{"-u", "not a url"}, "trawlkit-cli: 'not a url' is not an HTTP or FTP URL\n"},
      {{"-u", "gopher://h/"}, "trawlkit-cli: 'gopher://h/' is not an HTTP or FTP URL\n"},
      {{"-u", "mailto:me@h"}, "trawlkit-cli: 'mailto:me@h' is not an HTTP or FTP URL\n"},
      {{"www.example.com"}, "trawlkit-cli: 'www.example.com' is neither a URL (use -u) nor a .tkp project" + help},
      {{"notes.txt"}, "trawlkit-cli: 'notes.txt' is neither a URL (use -u) nor a .tkp project" + help},
      {{"a.tkp", "b.tkp"}, "trawlkit-cli: only one project file may be given: b.tkp" + help},
      {{"missing.tkp"}, "trawlkit-cli: missing.tkp: no such project file (--save-project makes one from the options)\n"},
      {{"--bogus"}, "trawlkit-cli: unknown option: --bogus" + help},
      {{"-qz"}, "trawlkit-cli: unknown option: -z (in -qz)" + help},
      {{"--dry-run=yes"}, "trawlkit-cli: option takes no value: --dry-run=yes" + help},
      {{"-u", "http://h/", "-w"}, "trawlkit-cli: option needs a value: -w" + help},
      {{"-u", "http://h/", "--tries"}, "trawlkit-cli: option needs a value: --tries" + help},
      {{"-u", "http://h/", "-l", "11"}, "trawlkit-cli: --layers '11': give 0 to 10 layers, or inf for no limit\n"},
      {{"-u", "http://h/", "-l-1"}, "trawlkit-cli: --layers '-1': give 0 to 10 layers, or inf for no limit\n"},
      {{"-u", "http://h/", "-l", "two"}, "trawlkit-cli: --layers 'two': give 0 to 10 layers, or inf for no limit\n"},
      {{"-u", "http://h/", "-w", "-1"}, "trawlkit-cli: --wait '-1': give seconds from 0 to 86400, e.g. 0.5\n"},
      {{"-u", "http://h/", "-w", "nan"}, "trawlkit-cli: --wait 'nan': give seconds from 0 to 86400, e.g. 0.5\n"},
      {{"-u", "http://h/", "-w", "1e3"}, "trawlkit-cli: --wait '1e3': give seconds from 0 to 86400, e.g. 0.5\n"},
      {{"-u", "http://h/", "-w", "90000"}, "trawlkit-cli: --wait '90000': give seconds from 0 to 86400, e.g. 0.5\n"},
      {{"-u", "http://h/", "-T", "0"}, "trawlkit-cli: --timeout '0': give seconds above 0 and up to 86400, e.g. 30\n"},
      {{"-u", "http://h/", "--limit-rate", "5x"},
       "trawlkit-cli: --limit-rate '5x': give bytes per second, or a number with k or m, e.g. 200k\n"},
      {{"-u", "http://h/", "--limit-rate", "1g"},
       "trawlkit-cli: --limit-rate '1g': give bytes per second, or a number with k or m, e.g. 200k\n"},
      {{"-u", "http://h/", "--max-size", "k"},
       "trawlkit-cli: --max-size 'k': give bytes, or a number with k, m or g, e.g. 500k\n"},
      {{"-u", "http://h/", "--max-size", "1t"},
       "trawlkit-cli: --max-size '1t': give bytes, or a number with k, m or g, e.g. 500k\n"},
      {{"-u", "http://h/", "--connections", "6"}, "trawlkit-cli: --connections '6': give a whole number from 1 to 5\n"},
      {{"-u", "http://h/", "--connections", "0"}, "trawlkit-cli: --connections '0': give a whole number from 1 to 5\n"},
      {{"-u", "http://h/", "-t", "0"}, "trawlkit-cli: --tries '0': give a whole number from 1 to 100\n"},
      {{"-u", "http://h/", "-t", "1.5"}, "trawlkit-cli: --tries '1.5': give a whole number from 1 to 100\n"},
      {{"-u", "http://h/", "-U", "a\r\nX-Evil: 1"},
       "trawlkit-cli: --user-agent 'a%0D%0AX-Evil: 1': a control character cannot be sent in a request\n"},
      {{"-u", "http://h/", "--load-cookies", missing},
       "trawlkit-cli: --load-cookies '" + missing + "': no such file (give a cookies.txt as a browser exports it)\n"},
      {{"-u", "http://h/", "--include-urls="},
       "trawlkit-cli: --include-urls: an empty pattern matches nothing; give one such as '/docs/*'\n"},
      {{"-i", missing}, "trawlkit-cli: --input-file " + missing + ": No such file or directory\n"},
      {{"-i", save.Path().string()}, "trawlkit-cli: --input-file " + save.Path().string() + ": not a regular file\n"},
      {{"-i", list}, "trawlkit-cli: " + list + ": https://secure.example/ needs --https\n"},
      {{"-u", "http://h/", "--save-project", "job.txt"},
       "trawlkit-cli: --save-project 'job.txt': a project's name ends in .tkp\n"},
      {{"-u", "http://h/", "-d", "C:\\Web\\"},
       "trawlkit-cli: --dir 'C:\\Web\\': a Windows folder names no folder here; give one of this machine\n"},
      // What a terminal would take for a command is shown, not obeyed.
      {{"-u", "\x1b]0;owned\x07"}, "trawlkit-cli: '%1B]0;owned%07' is not an HTTP or FTP URL\n"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Run(r.args), 2) << r.message;
    EXPECT_EQ(err.str(), r.message);
    EXPECT_EQ(out.str(), "");
  }
  WriteFile(save / "file", "x");
  EXPECT_EQ(Run({"-u", "http://h/", "-d", (save / "file" / "sub").string()}), 2);
  EXPECT_EQ(err.str(), "trawlkit-cli: cannot make the save folder " + (save / "file" / "sub").string() +
                           ": Not a directory; give another with -d DIR\n");
  EXPECT_TRUE(net.requests.empty());
  EXPECT_FALSE(std::filesystem::exists(Save()));
}

// Every setting a user gives on the command line is kept by --save-project, and a later run of
// that project uses it; an older build still reads the layer count it knows.
TEST_F(CliOptionsTest, EveryNewSettingRoundTripsThroughAProject) {
  net.Page("h:80/", "x");
  const std::string cookies = (save / "cookies.txt").string();
  WriteFile(cookies, "# Netscape HTTP Cookie File\n");
  const std::string file = (save / "all.tkp").string();
  ASSERT_EQ(Run({"-u", "http://h/", "-d", Save(), "--no-robots", "-w", "0.25", "--limit-rate", "64k",
                 "--connections", "2", "-U", "Bot/2 (+http://bot.example/)", "--load-cookies", cookies,
                 "--include-urls", "/docs/*", "--include-urls", "/api/*?v=1", "--exclude-urls", "*.zip",
                 "--max-size", "3m", "-l", "inf", "-T", "7.5", "-t", "5", "-x", "mp4", "--save-project", file}),
            0)
      << err.str();
  ProjectSettings loaded;
  LoadProject(loaded, file);
  EXPECT_EQ(loaded.Robots, 0);
  EXPECT_EQ(loaded.WaitSeconds, 0.25);
  EXPECT_EQ(loaded.LimitRate, 65536);
  EXPECT_EQ(loaded.Connections, 2);
  EXPECT_EQ(loaded.UserAgent, "Bot/2 (+http://bot.example/)");
  EXPECT_EQ(loaded.LoadCookies, cookies);
  EXPECT_EQ(loaded.IncludeUrls, (std::vector<std::string>{"/docs/*", "/api/*?v=1"}));
  EXPECT_EQ(loaded.ExcludeUrls, (std::vector<std::string>{"*.zip"}));
  EXPECT_EQ(loaded.MaxSize, 3 * 1024 * 1024);
  EXPECT_EQ(loaded.UnlimitedLayers, 1);
  EXPECT_EQ(loaded.LinkLayers, 10);
  EXPECT_EQ(loaded.TimeoutSeconds, 7.5);
  EXPECT_EQ(loaded.Tries, 5);
  EXPECT_EQ(loaded.ExcludeType, ".mp4");
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("\nLink=10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nLinkUnlimited=1\n"), std::string::npos) << text;

  // The project alone gives the same settings; the dry run shows every one of them.
  ASSERT_EQ(Run({file, "--dry-run"}), 0) << err.str();
  for (const std::string& line : std::vector<std::string>{"Layers without limit:Yes\r\n", "Honour robots.txt:No\r\n", "Wait between requests:0.25 s\r\n",
        "Rate limit:65536 bytes/s\r\n", "Connections per server:2\r\n", "User agent:Bot/2 (+http://bot.example/)\r\n",
        "Cookies from:" + cookies + "\r\n", "Include URLs:/docs/* /api/*?v=1\r\n", "Exclude URLs:*.zip\r\n",
        "Largest file:3145728 bytes\r\n", "Time-out:7.5 s\r\n", "Tries:5\r\n", "Excluding file types:.mp4\r\n"})
    EXPECT_NE(out.str().find(line), std::string::npos) << line << out.str();
  // The command line has the last word; its URL patterns add to the project's.
  ASSERT_EQ(Run({file, "--robots", "-l", "3", "--include-urls", "/more/*", "--dry-run"}), 0);
  EXPECT_NE(out.str().find("Honour robots.txt:Yes\r\nWait"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Links to browse:Start pages & 3layers\r\n"), std::string::npos);
  EXPECT_NE(out.str().find("Layers without limit:No\r\n"), std::string::npos);
  EXPECT_NE(out.str().find("Include URLs:/docs/* /api/*?v=1 /more/*\r\n"), std::string::npos);

  // A project written before these settings existed loads with the defaults.
  const std::string old = (save / "old.tkp").string();
  WriteFile(old, "[SETTING]\r\nSaveDir=" + Save() + "\r\nExcludeType=\r\nPage=1\r\nCashe=1\r\nSave=1\r\nConfirm=0\r\n"
                 "Link=0\r\n[URL]\r\nURL0=\"http://h/\"\r\n");
  ASSERT_EQ(Run({old, "--dry-run"}), 0) << err.str();
  EXPECT_EQ(out.str(), Header(Save()) + "http://h/\n" + "would save the files and the run log Trawlkit.txt in " +
                           Save() + "/\n");
}

TEST_F(CliOptionsTest, ADryRunSaysWhatItWouldSaveWhere) {
  const std::string here = std::filesystem::current_path().string();
  ASSERT_EQ(Run({"-u", "http://me:secret@h/", "-d", Save(), "--save-project", "~/jobs/site.tkp", "--dry-run"}), 0);
  EXPECT_EQ(out.str(), Header(Save()) + "http://me@h/\n" + WouldMake(Save()) +
                           "would save the settings to the project " + home.Path().string() + "/jobs/site.tkp\n");
  EXPECT_FALSE(std::filesystem::exists(home / "jobs"));
  EXPECT_FALSE(std::filesystem::exists(Save()));
  ASSERT_EQ(Run({"-u", "http://h/", "-d", save.Path().string(), "--save-project=rel.tkp", "--dry-run"}), 0);
  EXPECT_NE(out.str().find("would save the files and the run log Trawlkit.txt in " + save.Path().string() +
                           "/\nwould save the settings to the project " + here + "/rel.tkp\n"),
            std::string::npos)
      << out.str();
  EXPECT_FALSE(std::filesystem::exists(here + "/rel.tkp"));
}

// A project is data from anywhere: its values are shown encoded, as URLs already are, in a dry
// run and in a run, and the run still saves where the project says.
TEST_F(CliOptionsTest, EscapeSequencesInAProjectNeverReachTheTerminal) {
  net.Page("h:80/", "x");
  const std::string folder = (save / "a\x1b]0;owned\x07z").string();
  const std::string file = (save / "hostile.tkp").string();
  WriteFile(file, "[SETTING]\r\nSaveDir=" + folder + "\r\nExcludeType=.gif\x1b[2J\xc2\x9b" "31m\r\nUserAgent=ua\x1b[5m\r\n"
                  "[INCLUDE]\r\nInclude0=/\x1b[1A*\r\n[URL]\r\nURL0=\"http://h/\"\r\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{file, "--dry-run"}, std::vector<std::string>{file}}) {
    const int status = Run(args);
    EXPECT_EQ(status, 0) << err.str();
    for (const std::string& text : {out.str(), err.str()}) {
      EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
      EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
      EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
    }
    EXPECT_NE(out.str().find("Excluding file types:.gif%1B[2J%C2%9B31m\r\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Saving to directory:" + save.Path().string() + "/a%1B]0;owned%07z/\r\n"), std::string::npos);
  }
  EXPECT_NE(out.str().find("http://h/(OK:Saved as[~TrawlDlFile_0.htm])"), std::string::npos) << out.str();
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "~TrawlDlFile_0.htm"));
}

// The help is what man pages and completions are written from: every option it names is one the
// command line takes, and it fits a terminal of 80 columns.
TEST(CliHelp, EveryOptionItNamesIsTakenAndEveryLineFits) {
  std::istringstream help(CliUsage());
  int named = 0;
  for (std::string line; std::getline(help, line);) {
    EXPECT_LT(line.size(), 80u) << line;
    const std::size_t first = line.find_first_not_of(' ');
    if ((first != 2 && first != 6) || line[first] != '-') continue;
    const std::size_t at = line.find("--");
    ASSERT_NE(at, std::string::npos) << line;
    const std::string name = line.substr(at, line.find(' ', at) - at);
    const bool valued = line[at + name.size() + 1] != ' ';
    CliOptions options;
    std::string error;
    std::vector<std::string> args{name};
    if (valued) args.push_back("1");
    EXPECT_TRUE(ParseCliOptions(args, options, error)) << line << ": " << error;
    ++named;
  }
  EXPECT_EQ(named, 32);
}

}  // namespace
}  // namespace tk::cli

// Runs against a hostile server or a save folder with things planted in it: nothing is written
// outside the save folder, and nothing is logged as saved that is not.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>

#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

namespace fs = std::filesystem;

// Every entry under `root` with what it holds: a file's bytes, a symlink's target, "<dir>".
std::map<std::string, std::string> Listing(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).generic_string();
    if (e.is_symlink()) out[rel] = "-> " + fs::read_symlink(e.path()).string();
    else if (e.is_directory()) out[rel] = "<dir>";
    else out[rel] = ReadFile(e.path());
  }
  return out;
}

// One run in a fresh save folder beside a sentinel folder that nothing may touch, with
// robots.txt and further tries as a user's run has them.
struct HostileRun : CrawlRun {
  TempDir outside;

  HostileRun() {
    settings.Robots = ProjectSettings{}.Robots;
    settings.Tries = ProjectSettings{}.Tries;
    handBackSettings = false;
    WriteFile(outside / "victim", "precious");
    fs::create_directories(outside / "dir");
  }
  // What the log box received between the settings block and the summary.
  std::string Run() {
    CrawlRun::Run();
    return Lines(host.box);
  }
};

TEST(PlantedLinks, ASymlinkBelowTheSaveFolderIsNeverWrittenThrough) {
  struct Row {
    const char* what;
    std::function<void(HostileRun&)> plant;
    std::string startUrl;
    std::string lines;  // the run's lines
    long errors;
  };
  const Row rows[] = {
      {"a file's place links to a file outside",
       [](HostileRun& r) { fs::create_symlink(r.outside / "victim", r.save / "a.htm"); }, "http://h/a.htm",
       "http://h/a.htm(NG:Failed in saving to[a.htm])\r\n", 1},
      {"a dangling link at a file's place",
       [](HostileRun& r) { fs::create_symlink(r.outside / "new.htm", r.save / "a.htm"); }, "http://h/a.htm",
       "http://h/a.htm(NG:Failed in saving to[a.htm])\r\n", 1},
      {"the overwrite question is not asked about a link",
       [](HostileRun& r) {
         r.settings.ConfirmOverwrite = 1;
         r.host.overwriteAnswers = {OverwriteAnswer::Overwrite};
         fs::create_symlink(r.outside / "victim", r.save / "a.htm");
       },
       "http://h/a.htm", "http://h/a.htm(NG:Failed in saving to[a.htm])\r\n", 1},
      {"the host folder links outside",
       [](HostileRun& r) {
         r.settings.SaveFlat = 0;
         fs::create_symlink(r.outside / "dir", r.save / "h");
       },
       "http://h/sub/a.htm", "http://h/sub/a.htm(NG:Failed in saving to[h/sub/a.htm])\r\n", 1},
      {"a folder deeper down links outside",
       [](HostileRun& r) {
         r.settings.SaveFlat = 0;
         fs::create_directories(r.save / "h");
         fs::create_symlink(r.outside / "dir", r.save / "h/sub");
       },
       "http://h/sub/a.htm", "http://h/sub/a.htm(NG:Failed in saving to[h/sub/a.htm])\r\n", 1},
      {"an FTP file's place links outside",
       [](HostileRun& r) { fs::create_symlink(r.outside / "victim", r.save / "f.bin"); }, "ftp://f/f.bin",
       "ftp://f/f.bin(NG:Failed in saving to[f.bin])\r\n", 1},
      {"the run log links outside: the run goes on without it",
       [](HostileRun& r) { fs::create_symlink(r.outside / "victim", r.save / "Trawlkit.txt"); }, "http://h/b.htm",
       "http://h/b.htm(OK:Saved as[b.htm])\r\n", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    HostileRun r;
    r.net.Page("h:80/a.htm", "<html>a</html>");
    r.net.Page("h:80/sub/a.htm", "<html>a</html>");
    r.net.Page("h:80/b.htm", "<html>b</html>");
    r.net.ftp["f:21"] = {{"/f.bin", "overwritten"}};
    r.host.startUrls = {row.startUrl};
    row.plant(r);
    auto before = Listing(r.outside.Path());
    EXPECT_EQ(r.Run(), row.lines);
    EXPECT_EQ(r.counters.Errors, row.errors);
    EXPECT_EQ(Listing(r.outside.Path()), before);
    EXPECT_TRUE(r.host.overwriteAsked.empty());
    if (row.errors) {
      EXPECT_TRUE(r.startCopy.empty()) << r.startCopy;
    }
  }
}

TEST(PlantedLinks, TheSaveFolderItselfMayBeASymlink) {
  HostileRun r;
  fs::create_directories(r.outside / "real");
  fs::create_symlink(r.outside / "real", r.save / "chosen");
  r.settings.SaveDir = (r.save / "chosen").string();
  r.settings.SaveFlat = 0;
  r.net.Page("h:80/d/a.htm", "<html>a</html>");
  r.host.startUrls = {"http://h/d/a.htm"};
  EXPECT_EQ(r.Run(), "http://h/d/a.htm(OK:Saved as[h/d/a.htm])\r\n");
  EXPECT_EQ(ReadFile(r.outside / "real/h/d/a.htm"), "<html>a</html>");
  EXPECT_NE(ReadFile(r.outside / "real/Trawlkit.txt").find("http://h/d/a.htm(OK:Saved as[h/d/a.htm])"),
            std::string::npos);
}

TEST(HostileServer, NestingOfPagesBeingScannedIsBoundedAndALongChainCopiedWhole) {
  // Frames and style sheets are followed at any layer; a chain of thousands scanned one inside
  // another would overflow the stack. The scans nest 64 deep at the most, the links of the
  // innermost are fetched once the start page's tree is done, and the whole chain is copied.
  struct Row {
    const char* what;
    std::string type;
    std::string (*body)(int next);
  };
  const Row rows[] = {
      {"frames", "text/html",
       [](int next) { return "<html><iframe src=p" + std::to_string(next) + ".htm></iframe></html>"; }},
      {"style sheets", "text/css", [](int next) { return "@import url(p" + std::to_string(next) + ".htm);"; }},
  };
  constexpr int kChain = 3000;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    HostileRun r;
    r.settings.LinkLayers = 0;
    for (int i = 0; i < kChain; ++i)
      r.net.Page("h:80/p" + std::to_string(i) + ".htm", i + 1 < kChain ? row.body(i + 1) : "end", row.type);
    r.host.startUrls = {"http://h/p0.htm"};
    std::string expected;
    for (int i = 0; i < kChain; ++i)
      expected += "http://h/p" + std::to_string(i) + ".htm(OK:Saved as[p" + std::to_string(i) + ".htm])\r\n";
    EXPECT_EQ(r.Run(), expected);
    // The link from the innermost page of a nest to the first of the next is local all the same.
    for (int i : {0, 63, 64, 65, 2998}) EXPECT_EQ(ReadFile(r.save / ("p" + std::to_string(i) + ".htm")), row.body(i + 1));
    EXPECT_EQ(r.counters.Errors, 0);
  }
}

TEST(HostileServer, NoControlByteReachesTheLogOrTheTerminal) {
  HostileRun r;
  r.settings.SaveFlat = 0;
  r.settings.SameSiteOnly = 0;
  // ESC, BEL and BS in a link's path and query, a C1 CSI, a forged line break, a redirect whose
  // Location holds them, an FTP name with an ESC in it.
  r.net.Page("h:80/index.htm",
             "<html><a href=\"t\x1b[2J.htm?\x1b]0;pwned\x07\">1</a><a href=\"q.htm?a\xc2\x9b" "31mred\x08\">2</a>"
             "<a href=\"r.htm?x\r\nhttp://h/fake(OK:Saved as[x])\">3</a><a href=/moved>4</a>"
             "<a href=\"ftp://f/pub/*\">5</a></html>");
  // The BEL at the link's very end is trimmed as a blank when the request is made.
  r.net.Page("h:80/t%1B[2J.htm?%1B]0;pwned", "t");
  r.net.Redirect("h:80/moved", "ftp://\x1b[31m/x");
  r.net.ftp["f:21"] = {{"/pub/e\x1b[1m.txt", "e"}};
  r.host.startUrls = {"http://h/index.htm"};
  const std::string lines = r.Run();
  const std::string log = ReadFile(r.save / "Trawlkit.txt");
  for (const std::string* text : std::initializer_list<const std::string*>{&r.host.box, &log}) {
    for (std::size_t i = 0; i < text->size(); ++i) {
      const auto c = static_cast<unsigned char>((*text)[i]);
      const bool lineEnd = (c == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') ||
                           (c == '\n' && i > 0 && (*text)[i - 1] == '\r');
      EXPECT_TRUE(c >= 0x20 || c == '\t' || lineEnd) << "byte " << int(c) << " at " << i << " in\n" << *text;
      EXPECT_FALSE(c == 0x7f || (c == 0xc2 && i + 1 < text->size() && static_cast<unsigned char>((*text)[i + 1]) < 0xa0));
    }
  }
  EXPECT_NE(lines.find("http://h/t%1B[2J.htm?%1B]0;pwned%07(OK:Saved as[h/t%1b[2j.htm])\r\n"), std::string::npos)
      << lines;
  EXPECT_EQ(lines.find("\nhttp://h/fake("), std::string::npos) << lines;
  EXPECT_NE(lines.find("http://h/moved(NG:The redirected URL could not be parsed(ftp://%1B[31m/x))\r\n"),
            std::string::npos);
}

TEST(HostileServer, APageBeyondTheMemoryBoundIsSavedByteForByte) {
  // 10 MiB: the part past 8 MiB is held in a temporary file. Its image is rewritten and its
  // hyperlink, left absolute while its target was not saved, is mended at the end by offset:
  // with every link relative in one folder, the copy is the page exactly.
  HostileRun r;
  std::string filler;
  while (filler.size() < (5u << 20)) filler += "<p>" + std::to_string(filler.size()) + " lorem ipsum</p>\n";
  const std::string page = "<html>" + filler + "<img src=i.gif>" + filler + "<a href=c.htm>c</a></html>";
  r.net.Page("h:80/index.htm", "<html><a href=big.htm>big</a><a href=c.htm>c</a></html>");
  r.net.Page("h:80/big.htm", page);
  r.net.Page("h:80/c.htm", "<html>c</html>");
  r.net.Page("h:80/i.gif", "GIF", "image/gif");
  r.host.startUrls = {"http://h/index.htm"};
  EXPECT_EQ(r.Run(),
            "http://h/index.htm(OK:Saved as[index.htm])\r\nhttp://h/big.htm(OK:Saved as[big.htm])\r\n"
            "http://h/i.gif(OK:Saved as[i.gif])\r\nhttp://h/c.htm(OK:Saved as[c.htm])\r\n");
  EXPECT_TRUE(ReadFile(r.save / "big.htm") == page);
  // Nothing is left behind in the save folder.
  EXPECT_EQ(Listing(r.save.Path()).size(), 5u);
}

}  // namespace
}  // namespace tk::test

// A copy run over again: kept files still lead on, files are replaced whole or not at all, an
// update touches only what changed and dates files as the server does, the run log is never
// written through another name of it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/http_date.h"
#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

namespace fs = std::filesystem;

std::string Html(const std::string& inner) { return "<html>" + inner + "</html>"; }

constexpr std::int64_t kOldDate = 1000000000;  // 2001-09-09, a date no run gives a file
constexpr const char* kServerDate = "Sun, 06 Nov 1994 08:49:37 GMT";
constexpr std::int64_t kServerTime = 784111777;

std::int64_t Modified(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtim.tv_sec) : -1;
}

void SetModified(const fs::path& path, std::int64_t when) {
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

class CopyUpdate : public CrawlFixture {
 protected:
  // Every file of the copy dated kOldDate, so that a file rewritten by the next run shows.
  void AgeTheCopy() {
    for (const std::string& f : SavedFiles()) SetModified(save / f, kOldDate);
  }
  // Files whose name shows they were left half-written, or whose date shows a rewrite.
  std::set<std::string> Temporaries() const {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(save.Path()))
      if (e.path().filename().string().find(".part") != std::string::npos) out.insert(e.path().filename().string());
    return out;
  }
  std::set<std::string> Rewritten() const {
    std::set<std::string> out;
    for (const std::string& f : SavedFiles())
      if (Modified(save / f) != kOldDate) out.insert(f);
    return out;
  }
  std::string RunAgain() {
    fs::remove(save / "Trawlkit.txt");
    host.overwriteAsked.clear();
    net.requests.clear();
    return Run();
  }
};

// A copy with pages deleted is made whole again by a run that keeps every existing file: the
// kept pages are fetched and scanned, their files left as they were.
TEST_F(CopyUpdate, SkippedPagesStillLeadToTheFilesBelowThem) {
  settings.LinkLayers = 2;
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<frameset><frame src=menu.htm></frameset><a href=a.htm>a</a>"));
  net.Page("h:80/menu.htm", Html("<a href=a.htm>a</a><img src=m.gif>"));
  net.Page("h:80/a.htm", Html("<a href=b.htm>b</a><img src=a.gif>"));
  net.Page("h:80/b.htm", Html("<img src=b.gif>"));
  for (const char* k : {"h:80/m.gif", "h:80/a.gif", "h:80/b.gif"}) net.Page(k, "GIF", "image/gif");
  RunAgain();
  const std::set<std::string> whole = SavedFiles();
  ASSERT_EQ(whole.size(), 7u);
  // Gone from the copy: a page below a kept page, a frame of a kept frame set, an image.
  for (const char* gone : {"b.htm", "menu.htm", "a.gif"}) fs::remove(save / gone);
  AgeTheCopy();
  settings.ConfirmOverwrite = 1;  // every question unanswered: skipped, as Escape does
  std::string log = RunAgain();
  EXPECT_EQ(SavedFiles(), whole);
  EXPECT_EQ(Rewritten(), (std::set<std::string>{"b.htm", "menu.htm", "a.gif"}));
  EXPECT_EQ(host.overwriteAsked, (std::vector<std::string>{"index.htm", "a.htm", "m.gif", "b.gif"}));
  // a.htm is met first through the frame, on the last layer; b.htm comes when the start page
  // reaches a.htm one layer higher.
  EXPECT_EQ(log.substr(header.size(), log.find("Summary:") - header.size()),
            "http://h/index.htm(SKIPPED:No overwrite)\r\n"
            "http://h/menu.htm(OK:Saved as[menu.htm])\r\n"
            "http://h/a.htm(SKIPPED:No overwrite)\r\n"
            "http://h/a.gif(OK:Saved as[a.gif])\r\n"
            "http://h/m.gif(SKIPPED:No overwrite)\r\n"
            "http://h/b.htm(OK:Saved as[b.htm])\r\n"
            "http://h/b.gif(SKIPPED:No overwrite)\r\n")
      << log;
  EXPECT_EQ(counters.FilesSkipped, 4);
  // The restored pages link to the kept files locally.
  EXPECT_EQ(Saved("menu.htm"), Html("<a href=a.htm>a</a><img src=m.gif>"));
  EXPECT_EQ(changes, "7 files: 3 new, 0 changed, 4 unchanged, 0 failed");
  EXPECT_EQ(startCopy, save / "index.htm");  // a kept start page is the copy's start
}

// A page kept on the last layer, reached again one layer up, is followed again from there.
TEST_F(CopyUpdate, APageKeptOnTheLastLayerIsFollowedAgainFromAHigherOne) {
  settings.LinkLayers = 2;
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<a href=x.htm>x</a><a href=y.htm>y</a>"));
  net.Page("h:80/x.htm", Html("<a href=y.htm>y</a>"));
  net.Page("h:80/y.htm", Html("<a href=z.htm>z</a>"));
  net.Page("h:80/z.htm", Html("z"));
  RunAgain();
  ASSERT_EQ(SavedFiles().size(), 4u);
  fs::remove(save / "z.htm");
  settings.ConfirmOverwrite = -1;  // skip all, from the start
  RunAgain();
  EXPECT_TRUE(host.overwriteAsked.empty());
  EXPECT_EQ(Saved("z.htm"), Html("z"));
  EXPECT_EQ(std::count(net.requests.begin(), net.requests.end(), "GET h:80/y.htm"), 1);
}

// A transfer cut short (by the server or a cancel) leaves no part of itself and leaves the
// earlier copy as it was; the pages link to the server instead.
TEST_F(CopyUpdate, ACutTransferLeavesTheEarlierCopyWhole) {
  settings.LinkLayers = 1;
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<img src=cut.bin><img src=new.bin><img src=slow.bin>"));
  net.Page("h:80/cut.bin", std::string(300000, 'c'), "application/octet-stream");
  net.http["h:80/cut.bin"].cutShort = true;
  net.Page("h:80/new.bin", std::string(300000, 'n'), "application/octet-stream");
  net.http["h:80/new.bin"].cutShort = true;
  net.Page("h:80/slow.bin", std::string(300000, 's'), "application/octet-stream");
  WriteFile(save / "cut.bin", "earlier copy");
  WriteFile(save / "slow.bin", "earlier copy");
  // Cancelled in the middle of slow.bin's body.
  host.onBeginFile = [&](const std::string& url) {
    if (url == "http://h/slow.bin") host.cancelAfterChunks = host.chunks.size() + 50;
  };
  std::string log = Run();
  EXPECT_EQ(log.substr(header.size(), log.find("Summary:") - header.size()),
            "http://h/index.htm(OK:Saved as[index.htm])\r\n"
            "http://h/cut.bin(NG:The connection with the server was reset(12030))\r\n"
            "http://h/new.bin(NG:The connection with the server was reset(12030))\r\n");
  EXPECT_EQ(Saved("cut.bin"), "earlier copy");
  EXPECT_EQ(Saved("slow.bin"), "earlier copy");
  EXPECT_FALSE(fs::exists(save / "new.bin"));
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_EQ(Saved("index.htm"), Html("<img src=http://h/cut.bin><img src=http://h/new.bin><img src=http://h/slow.bin>"));
  EXPECT_EQ(counters.Errors, 2);
}

// The same site fetched again: nothing changed is rewritten; what changed is, and says so.
TEST_F(CopyUpdate, AnUpdateRewritesOnlyWhatChanged) {
  settings.LinkLayers = 1;
  host.startUrls = {"http://h/index.htm"};
  // a.htm is on the last layer: its link back is mended at the end, and must still compare equal.
  net.Page("h:80/index.htm", Html("<a href=a.htm>a</a><img src=i.gif><img src=later.gif>"));
  net.Page("h:80/a.htm", Html("<a href=b.htm>b</a><a href=index.htm>up</a>"));
  net.Page("h:80/b.htm", Html("b"));
  net.Page("h:80/i.gif", "GIF1", "image/gif");
  net.http["h:80/later.gif"].status = 404;  // not there yet
  host.startUrls.push_back("http://h/b.htm");
  RunAgain();
  EXPECT_EQ(changes, "5 files: 4 new, 0 changed, 0 unchanged, 1 failed");
  EXPECT_EQ(Saved("a.htm"), Html("<a href=b.htm>b</a><a href=index.htm>up</a>"));
  AgeTheCopy();
  RunAgain();
  EXPECT_EQ(Rewritten(), std::set<std::string>{});
  EXPECT_EQ(changes, "5 files: 0 new, 0 changed, 4 unchanged, 1 failed");
  // The image changes; the page whose link now finds a file saved for the first time changes too.
  net.Page("h:80/i.gif", "GIF2", "image/gif");
  net.Page("h:80/later.gif", "NEW", "image/gif");
  RunAgain();
  EXPECT_EQ(Rewritten(), (std::set<std::string>{"index.htm", "i.gif", "later.gif"}));
  EXPECT_EQ(changes, "5 files: 1 new, 2 changed, 2 unchanged, 0 failed");
  EXPECT_EQ(Saved("index.htm"), Html("<a href=a.htm>a</a><img src=i.gif><img src=later.gif>"));
  EXPECT_TRUE(Temporaries().empty());
}

// Saved files carry the server's Last-Modified; without one, the time they were saved.
TEST_F(CopyUpdate, SavedFilesTakeTheServersDate) {
  host.startUrls = {"http://h/index.htm", "http://h/plain.txt", "http://h/bad.txt", "ftp://f/f.bin"};
  net.Page("h:80/index.htm", Html("<a href=a.htm>a</a>"));
  net.Page("h:80/a.htm", Html("<a href=index.htm>up</a><a href=b.htm>b</a>"));
  net.Page("h:80/plain.txt", "plain", "text/plain");
  net.Page("h:80/bad.txt", "bad", "text/plain");
  for (const char* k : {"h:80/index.htm", "h:80/a.htm", "h:80/plain.txt"})
    net.http[k].extraHeaders = std::string("Last-Modified: ") + kServerDate + "\r\n";
  net.http["h:80/bad.txt"].extraHeaders = "Last-Modified: yesterday\r\n";
  net.ftp["f:21"] = {{"/f.bin", "ftp"}};
  const std::int64_t before = static_cast<std::int64_t>(::time(nullptr));
  Run();
  // a.htm waited for its link to b.htm to be mended: it is dated all the same.
  for (const char* f : {"index.htm", "a.htm", "plain.txt"}) EXPECT_EQ(Modified(save / f), kServerTime) << f;
  for (const char* f : {"bad.txt", "f.bin"}) EXPECT_GE(Modified(save / f), before) << f;
}

TEST(HttpDate, TheThreeFormsAndWhatIsNoDate) {
  const struct {
    const char* text;
    std::optional<std::int64_t> seconds;
  } rows[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"sun, 06 NOV 1994 08:49:37 gmt", 784111777},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Mon, 29 Feb 2044 23:59:59 GMT", 2340403199},
      {"Tue, 05 Jan 21 10:00:00 GMT", 1609840800},
      {"", std::nullopt},
      {"yesterday", std::nullopt},
      {"Sun, 06 Nov 1994", std::nullopt},
      {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
      {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseHttpDate(row.text), row.seconds) << row.text;
  EXPECT_EQ(LastModifiedOf("HTTP/1.1 200 OK\r\nlast-modified:  Sun, 06 Nov 1994 08:49:37 GMT \r\n"), 784111777);
  EXPECT_EQ(LastModifiedOf("HTTP/1.1 200 OK\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\n"), std::nullopt);
}

// Another name of a file (a hard link planted in the copy) is replaced, never written through:
// a saved file is replaced by a new one, and the run log, which is appended to, is refused.
TEST_F(CopyUpdate, AHardLinkIsNeverWrittenThrough) {
  TempDir outside;
  WriteFile(outside / "victim.txt", "theirs");
  WriteFile(outside / "victim.log", "their log");
  ASSERT_EQ(::link((outside / "victim.txt").c_str(), (save / "a.txt").c_str()), 0);
  ASSERT_EQ(::link((outside / "victim.log").c_str(), (save / "Trawlkit.txt").c_str()), 0);
  host.startUrls = {"http://h/a.txt"};
  net.Page("h:80/a.txt", "ours", "text/plain");
  Run();
  EXPECT_EQ(ReadFile(outside / "victim.txt"), "theirs");
  EXPECT_EQ(ReadFile(outside / "victim.log"), "their log");
  EXPECT_EQ(Saved("a.txt"), "ours");
  EXPECT_TRUE(logFailed);
  EXPECT_EQ(host.box.rfind("The run log cannot be written (it has other hard links): " +
                               (save / "Trawlkit.txt").string() + "\r\n",
                           0),
            0u)
      << host.box;
  EXPECT_NE(host.box.find("http://h/a.txt(OK:Saved as[a.txt])\r\n"), std::string::npos);
}

// A folder of the copy swapped for a symlink while the run goes on: the page written into it
// earlier is not put in place, nor mended, through the link.
TEST_F(CopyUpdate, AFolderSwappedForASymlinkDuringTheRunLeadsNowhere) {
  TempDir outside;
  settings.SaveFlat = 0;
  settings.LinkLayers = 1;
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<a href=sub/a.htm>a</a><a href=b.htm>b</a>"));
  // On the last layer: its link to b.htm is written as a URL and mended once b.htm is saved.
  net.Page("h:80/sub/a.htm", Html("<a href=../b.htm>b</a>"));
  net.Page("h:80/b.htm", Html("b"));
  host.onBeginFile = [&](const std::string& url) {
    if (url != "http://h/b.htm") return;
    fs::rename(save / "h/sub", outside / "moved");
    fs::create_symlink(outside / "moved", save / "h/sub");
  };
  std::string log = Run();
  EXPECT_NE(log.find("http://h/sub/a.htm(NG:Failed in saving to[h/sub/a.htm])\r\n"), std::string::npos) << log;
  for (const auto& e : fs::recursive_directory_iterator(outside.Path()))
    if (e.is_regular_file()) {  // only the page's temporary file, never placed
      EXPECT_EQ(e.path().filename().string().rfind(".trawlkit-", 0), 0u) << e.path();
    }
  EXPECT_EQ(Saved("h/b.htm"), Html("b"));
}

}  // namespace
}  // namespace tk::test

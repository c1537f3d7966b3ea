// A crawled copy of a small site browses offline: the site of site/ is crawled from the local
// HTTP and FTP test servers in both layouts, the copy is checked link by link on disk, and then
// opened in headless Chromium from file:// with the servers gone and the network off.
#include <gtest/gtest.h>

#include "engine/crawler.h"
#include "support/headless_chromium.h"
#include "support/recording_host.h"
#include "support/saved_site.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {
namespace fs = std::filesystem;

enum class Layout { Flat, ServerTree };
void PrintTo(Layout layout, std::ostream* os) { *os << (layout == Layout::Flat ? "flat" : "server tree"); }

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += "\n  " + line;
  return out;
}

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.insert(fs::relative(e.path(), root).generic_string());
  return out;
}

// The copy of each file of the test site, in the order the crawl reaches them. Names come from
// the URL's path with its escapes decoded, lower-cased, ".htm" where they have no extension or
// were received as HTML under another one, and a number where the name is taken.
std::set<std::string> ExpectedFiles(Layout layout, int httpPort, int ftpPort) {
  const bool flat = layout == Layout::Flat;
  const std::string h = flat ? "" : "127.0.0.1~" + std::to_string(httpPort) + "/";
  const std::string f = flat ? "" : "ftp_127.0.0.1~" + std::to_string(ftpPort) + "/pub/";
  auto in = [flat](const std::string& dir, const std::string& name) { return flat ? name : dir + name; };
  return {
      h + "index.html", h + in("js/", "app.js"), h + in("img/", "bg.gif"), h + in("img/", "logo.gif"),
      h + in("img/", "photo.png"), h + in("Img2/", "wide.gif"),
      h + in("img/", "noext.htm"),  // served as application/octet-stream
      h + in("img/", "space pic.png"),
      f + "ftp-pic.gif", h + in("docs/", "guide.html"), h + in("docs/pics/", "diagram.gif"),
      h + in("docs/", "about.html"), h + in("docs/", "more.html"),
      h + in("docs/", "beyond.html"),  // first met on the last layer, then one layer higher
      h + in("deep/a/b/c/", "leaf.gif"),
      h + in("docs/", "~TrawlDlFile_0.htm"), h + "frames.html", h + in("frames/", "left.html"),
      h + (flat ? "logo(1).gif" : "frames/logo.gif"), h + in("frames/", "right.html"),
      h + in("deep/a/", "moved.html"),     // through the redirect
      h + in("deep/a/b/c/", "leaf.html"),
      h + in("deep/a/", "moved(1).html"),  // the same page under its own URL
      h + "my page.html", h + "catalog.html", h + "catalog(1).html", h + "catalog(2).html", h + "catalog(3).html",
      f + "notes.txt", h + "time:12.html", h + "it's.html",
      h + "outside.html",    // "../../../../outside.html" climbs no higher than the server's root
      f + "ftp-pic(1).gif",  // through a redirect: another URL, another copy
      h + "names.html", h + in("files/", "my file.pdf"), h + in("files/", "caf\xC3\xA9.gif"),
      h + in("\xE8\xB3\x87\xE6\x96\x99/", "\xE6\xA6\x82\xE8\xA6\x81.html"), h + in("a b/", "c.html"),
      h + in("files/", "100%.txt"), h + in("files/", "q?x.txt"), h + in("files/", "h#1.txt"),
      h + "list.php.htm", h + "run.cgi.htm",
  };
}

class OfflineCopy : public ::testing::TestWithParam<Layout> {
 protected:
  OfflineCopy() : save(outer / "save") {
    fs::create_directories(save);
    settings.SaveDir = save.string();
    settings.LinkLayers = 3;
    settings.SameSiteOnly = 1;
    settings.UseCache = 0;
    settings.ConfirmOverwrite = 0;
    settings.SaveFlat = GetParam() == Layout::Flat ? 1 : 0;
  }

  // The fixture site into `site`, with the servers' addresses put in for the placeholders.
  void CopySite(const std::vector<std::pair<std::string, std::string>>& fill) {
    const fs::path from = fs::path(TRAWLKIT_TEST_DATA) / "site";
    fs::copy(from, site.Path(), fs::copy_options::recursive);
    for (const auto& e : fs::recursive_directory_iterator(site.Path())) {
      if (e.path().extension() != ".html") continue;
      std::string text = ReadFile(e.path());
      for (const auto& [key, value] : fill)
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
          text.replace(at, key.size(), value);
      WriteFile(e.path(), text);
    }
  }

  void Crawl() {
    LibraryBackend network({cache.Path() / "trawlkit", {}});
    Crawler crawler(settings, host, network, clock, "trawlkit");
    crawler.RunDownload();
    counters = crawler.State();
  }

  TempDir cache;
  TempDir site;
  TempDir outer;  // holds the save folder and nothing else, so a stray file shows
  fs::path save;
  ProjectSettings settings;
  RecordingHost host;
  FixedClock clock;
  RunCounters counters;
};

TEST_P(OfflineCopy, EveryLinkLeadsToItsLocalCopyOnDiskAndInChromium) {
  auto http = HttpTestServer::Start(site.Path());
  auto ftp = FtpTestServer::Start(site.Path());
  const int httpPort = http->Port();
  const int ftpPort = ftp->Port();
  const std::string otherSite = "http://localhost:" + std::to_string(httpPort);
  CopySite({{"@HTTP@", http->Origin()},
            {"@FTP@", "ftp://127.0.0.1:" + std::to_string(ftpPort)},
            {"@OTHERHOST@", otherSite},
            {"@HOSTPORT@", "127.0.0.1:" + std::to_string(httpPort)}});
  host.startUrls = {http->Url("/index.html")};
  Crawl();
  // From here on everything must come from the disk.
  http.reset();
  ftp.reset();

  const std::string log = ReadFile(save / "Trawlkit.txt");
  EXPECT_EQ(FilesUnder(outer.Path()).size(), FilesUnder(save).size()) << "a file was written outside the save folder";
  EXPECT_EQ(counters.Errors, 1);
  EXPECT_NE(log.find("/missing.html(NG:Bad Status(404))\r\n"), std::string::npos) << log;
  std::set<std::string> expected = ExpectedFiles(GetParam(), httpPort, ftpPort);
  expected.insert("Trawlkit.txt");
  EXPECT_EQ(FilesUnder(save), expected);

  // Two values name no file at all; another site and a missing page lead to the server.
  const std::set<std::string> kept = {"mailto:webmaster@example.com", "#top"};
  const std::set<std::string> absolute = {"missing.html", otherSite + "/docs/about.html"};
  const SiteReport report = CheckSavedSite({site.Path(), save, log, kept, absolute});
  EXPECT_TRUE(report.problems.empty()) << Join(report.problems);
  EXPECT_EQ(report.pages.size(), 25u);
  EXPECT_EQ(report.rewritten, 97);

  // The start page first, then every other saved page.
  const std::string start = (GetParam() == Layout::Flat ? "" : "127.0.0.1~" + std::to_string(httpPort) + "/") +
                            "index.html";
  std::vector<fs::path> pages{save / start};
  for (const auto& page : report.pages)
    if (page != start) pages.push_back(save / page);
  WriteFile(outer / "offline_check.html", CheckerPage(pages));
  const BrowserRun run = DumpDomOffline(outer / "offline_check.html", outer / "profile", std::chrono::seconds(20));
  if (!run.started) GTEST_SKIP() << "Chromium cannot start here; the browser part is skipped: " << run.message;
  EXPECT_TRUE(run.message.empty()) << run.message;
  const auto problems = CheckVerdict(run.dom, save, kept, pages.size());
  EXPECT_TRUE(problems.empty()) << Join(problems);
}

INSTANTIATE_TEST_SUITE_P(Layouts, OfflineCopy, ::testing::Values(Layout::Flat, Layout::ServerTree),
                         [](const auto& info) { return info.param == Layout::Flat ? "Flat" : "ServerTree"; });

}  // namespace
}  // namespace tk::test

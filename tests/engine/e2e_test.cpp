// Whole runs against the real local test servers through the real internet layer.
#include <gtest/gtest.h>

#include <malloc.h>
#include <fcntl.h>
#include <sys/stat.h>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator statistics (its header is not always installed).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <chrono>
#include <thread>

#include "support/crawl_fixture.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {

class EndToEnd : public CrawlFixture {
 protected:
  EndToEnd() : CrawlFixture(Network::Local) {}
  // Every run made without the cache, over HTTP and FTP alike, leaves the cache folder alone:
  // not a lookup, not an entry, not even the folder itself.
  void TearDown() override {
    if (!settings.UseCache) {
      EXPECT_FALSE(std::filesystem::exists(cache / "trawlkit")) << "a run without the cache touched its folder";
    }
  }

  TempDir site;
};

TEST_F(EndToEnd, ASiteIsSavedInTheServersLayoutWithItsLinksRewritten) {
  std::filesystem::create_directories(site / "sub");
  std::filesystem::create_directories(site / "img");
  auto server = HttpTestServer::Start(site.Path());
  std::string other = "http://localhost:" + std::to_string(server->Port()) + "/other.html";
  WriteFile(site / "index.html", "<html><a href=\"sub/b.html\">b</a><img src=img/a.gif><a href=\"" + other +
                                     "\">o</a><a href='missing.html'>m</a></html>");
  WriteFile(site / "sub/b.html", "<HTML><a href=\"../index.html\">home</a><IMG SRC=\"../img/a.gif\">"
                                 "<a href=\"c.html\">c</a></HTML>");
  WriteFile(site / "img/a.gif", "GIF89a-pixels");
  WriteFile(site / "sub/c.html", "never");
  settings.SaveFlat = 0;
  std::string origin = server->Origin();
  std::string dir = "127.0.0.1~" + std::to_string(server->Port());
  host.startUrls = {server->Url("/index.html")};
  std::string log = Run();
  EXPECT_EQ(Lines(log), origin + "/index.html(OK:Saved as[" + dir + "/index.html])\r\n" + origin +
                            "/sub/b.html(OK:Saved as[" + dir + "/sub/b.html])\r\n" + origin +
                            "/sub/../img/a.gif(OK:Saved as[" + dir + "/img/a.gif])\r\n" + origin +
                            "/missing.html(NG:Bad Status(404))\r\n");
  long bytes = static_cast<long>(ReadFile(site / "index.html").size() + ReadFile(site / "sub/b.html").size() + 13);
  EXPECT_TRUE(log.ends_with(Summary(4, 1, 0, bytes)));
  // One file however its links spell it; "../img/a.gif" from index.html finds it fetched.
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{dir + "/index.html", dir + "/sub/b.html", dir + "/img/a.gif"}));
  // The link beyond the layers, not saved, leads to the server.
  EXPECT_EQ(ReadFile(save / (dir + "/sub/b.html")),
            "<HTML><a href=\"../index.html\">home</a><IMG SRC=\"../img/a.gif\"><a href=\"" + origin +
                "/sub/c.html\">c</a></HTML>");
  EXPECT_EQ(ReadFile(save / (dir + "/img/a.gif")), "GIF89a-pixels");
}

TEST_F(EndToEnd, LinksSentAheadKeepTheDepthFirstOrderAndAskForEachFileOnce) {
  // Without the cache and held to its site, the run sends a page's next links ahead while it
  // follows the current one; the order, the files and the requests the server sees must stay
  // those of one request at a time.
  WriteFile(site / "index.html", "<html><a href=a1.html>1</a><a href=a2.html>2</a><a href=a3.html>3</a>"
                                 "<img src=x.gif><a href=A1.html#top>again</a></html>");
  WriteFile(site / "a1.html", "<html><a href=b1.html>b</a><a href=a2.html>2</a><img src=x.gif></html>");
  WriteFile(site / "a2.html", "<html><a href=b2.html>b</a></html>");
  WriteFile(site / "a3.html", "<html><a href=b3.html>b</a><a href=http://localhost/elsewhere.html>o</a></html>");
  for (const char* leaf : {"b1", "b2", "b3"})
    WriteFile(site / (std::string(leaf) + ".html"), "<html><a href=c.html>too deep</a></html>");
  WriteFile(site / "c.html", "never asked for");
  WriteFile(site / "x.gif", "GIF89a");
  auto server = HttpTestServer::Start(site.Path());
  settings.LinkLayers = 2;
  settings.SameSiteOnly = 1;
  settings.SaveFlat = 1;
  host.startUrls = {server->Url("/index.html")};
  std::string log = Run();
  std::string expected;
  // a2.html is first reached from a1.html, one layer down, so its own link is followed only
  // when index.html reaches it again one layer higher, right after the image.
  for (const char* name : {"index.html", "a1.html", "b1.html", "a2.html", "x.gif", "b2.html", "a3.html", "b3.html"})
    expected += server->Origin() + "/" + name + "(OK:Saved as[" + name + "])\r\n";
  EXPECT_EQ(Lines(log), expected);
  HttpStats stats = server->Stats();
  EXPECT_EQ(stats.requests, 8 + 1) << stats.json;  // and robots.txt, once
  EXPECT_GT(stats.connections, 1) << "nothing was sent ahead: " << stats.json;
  EXPECT_EQ(stats.json.find("c.html"), std::string::npos) << stats.json;
  EXPECT_EQ(stats.json.find("elsewhere"), std::string::npos) << stats.json;
  // Every saved file is its page as the server has it (the links here need no rewriting).
  EXPECT_EQ(ReadFile(save / "a3.html"), ReadFile(site / "a3.html"));
  EXPECT_EQ(ReadFile(save / "x.gif"), "GIF89a");
}

// Deeper sites, without the cache, filling it, and over a copy made before (every answer 304):
// pages are looked at while they wait for their turn and their links sent ahead too, yet each
// run asks for every file once, in the same order, saves the same bytes, and never holds more
// than five connections to the server.
TEST_F(EndToEnd, RequestsSentFarAheadKeepEveryRunTheSameAndTheConnectionsFew) {
  std::string files;
  for (int a = 0; a < 4; ++a) {
    std::string page = "<html>";
    for (int b = 0; b < 4; ++b) {
      const std::string leaf = "b" + std::to_string(a) + std::to_string(b) + ".html";
      page += "<a href=" + leaf + ">" + leaf + "</a>";
      // A cross link to a page of the next branch, and one back to the top.
      WriteFile(site / leaf, "<html><img src=i" + std::to_string(b) + ".gif><a href=a" + std::to_string((a + 1) % 4) +
                                 ".html>next</a><a href=index.html>top</a><p>" + leaf + "</p></html>");
    }
    WriteFile(site / ("a" + std::to_string(a) + ".html"), page + "<img src=i" + std::to_string(a) + ".gif></html>");
    WriteFile(site / ("i" + std::to_string(a) + ".gif"), "GIF89a" + std::to_string(a));
    files += "<a href=a" + std::to_string(a) + ".html>" + std::to_string(a) + "</a>";
  }
  WriteFile(site / "index.html", "<html>" + files + "</html>");
  const int kFiles = 1 + 4 + 16 + 4;
  auto server = HttpTestServer::Start(site.Path());
  settings.LinkLayers = 10;
  settings.SameSiteOnly = 1;
  settings.SaveFlat = 1;
  host.startUrls = {server->Url("/index.html")};
  struct Case {
    const char* name;
    int useCache;
    int status;  // every answer's; 0: either (a run without the cache may leave entries)
  };
  std::string first;
  for (const Case& c : {Case{"cache off", 0, 200}, Case{"filling the cache", 1, 0}, Case{"304s", 1, 304}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(save.Path());
    std::filesystem::create_directories(save.Path());
    server->Reset();
    settings.UseCache = c.useCache;
    std::string lines = Lines(Run());
    if (first.empty()) first = lines;
    EXPECT_EQ(lines, first);
    EXPECT_EQ(counters.FilesDownloaded, kFiles);
    HttpStats stats = server->Stats();
    EXPECT_EQ(stats.requests, kFiles + 1) << stats.json;  // and robots.txt, once
    EXPECT_GT(stats.connections, 1) << "nothing was sent ahead: " << stats.json;
    // Five at most, and the stats query's own, which may come before the server has seen the
    // run's connections close.
    EXPECT_LE(stats.mostOpen, 6) << stats.json;
    if (c.status != 0) {
      const std::string other = c.status == 200 ? "\"status\": 304" : "\"status\": 200";
      EXPECT_EQ(stats.json.find(other), std::string::npos) << stats.json;
    }
    for (const std::string& name : SavedFiles()) EXPECT_EQ(ReadFile(save / name), ReadFile(site / name)) << name;
  }
}

// The heap in use now: under the address sanitizer its own count, which leaves out the freed
// blocks it keeps in quarantine.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// Notes the largest heap seen while a body streams in.
class HeapSamplingHost : public RecordingHost {
 public:
  std::size_t peak = 0;
  void AddBytes(std::int64_t n) override {
    RecordingHost::AddBytes(n);
    peak = std::max(peak, HeapInUse());
  }
};

TEST_F(EndToEnd, AHugePageIsScannedInBoundedMemory) {
  // 96 MiB of text/html: held whole, the page alone would raise the heap by that much.
  constexpr long kSize = 96L << 20;
  auto server = HttpTestServer::Start();
  HeapSamplingHost sampling;
  sampling.startUrls = {server->Url("/__/bytes?n=" + std::to_string(kSize) + "&ct=text/html")};
  const std::size_t baseline = HeapInUse();
  {
    Crawler crawler(settings, sampling, Backend(), clock, "trawlkit");
    crawler.RunDownload();
  }
  EXPECT_NE(ReadFile(save / "Trawlkit.txt").find("(OK:Saved as[bytes.htm])"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(save / "bytes.htm"), static_cast<std::uintmax_t>(kSize));
  EXPECT_LT(sampling.peak - baseline, std::size_t{24} << 20)
      << "the heap grew by " << ((sampling.peak - baseline) >> 20) << " MiB";
}

TEST_F(EndToEnd, TheCounterTableRowByRow) {
  auto server = HttpTestServer::Start();
  std::string o = server->Origin();
  std::string elsewhere = "http://localhost:" + std::to_string(server->Port());
  host.startUrls = {
      o + "/__/bytes?n=3000&ct=application/octet-stream",  // saved
      o + "/__/status?code=404",                             // bad status
      o + "/__/drop?n=5000&after=1000",                      // cut short: internet error
      o + "/__/broken-chunked?n=5000",                       // broken chunked stream: internet error
      o + "/__/basic?user=u&pw=p",                           // password cancelled
      o + "/__/redirect?to=https://127.0.0.1/x",             // not an HTTP resource
      "https://127.0.0.1:1/",                                // box only
  };
  std::string log = Run();
  std::string lines = Lines(log);
  EXPECT_TRUE(lines.starts_with(o + "/__/bytes?n=3000&ct=application/octet-stream(OK:Saved as[bytes.htm])\r\n" + o +
                                "/__/status?code=404(NG:Bad Status(404))\r\n" + o + "/__/drop?n=5000&after=1000(NG:"))
      << lines;
  EXPECT_NE(lines.find("\r\n" + o + "/__/broken-chunked?n=5000(NG:"), std::string::npos);
  EXPECT_NE(lines.find("\r\n" + o + "/__/basic?user=u&pw=p(NG:Cancelled by user)\r\n"), std::string::npos);
  EXPECT_TRUE(lines.ends_with(o + "/__/redirect?to=https://127.0.0.1/x(NG:The redirected URL does not reference a "
                                  "HTTP resource(https://127.0.0.1/x))\r\n"));
  EXPECT_EQ(lines.find("OK:", lines.find("\r\n")), std::string::npos);
  EXPECT_TRUE(log.ends_with(Summary(6, 5, 0, 3000)));
  EXPECT_NE(host.box.find("https://127.0.0.1:1/(NG:Service not supported)\r\n"), std::string::npos);
  EXPECT_EQ(log.find("Service not supported"), std::string::npos);
}

TEST_F(EndToEnd, PasswordsAreAskedAndSent) {
  auto server = HttpTestServer::Start();
  host.startUrls = {server->Url("/__/basic?user=u&pw=p"), server->Url("/__/digest?user=d&pw=q")};
  host.passwords = {Credentials{"u", "bad"}, Credentials{"u", "p"}, Credentials{"d", "q"}};
  std::string log = Run();
  EXPECT_EQ(Lines(log), server->Url("/__/basic?user=u&pw=p(OK:Saved as[basic.htm])\r\n") +
                            server->Url("/__/digest?user=d&pw=q(OK:Saved as[digest.htm])\r\n"));
  EXPECT_EQ(ReadFile(save / "basic.htm"), "welcome u");
  EXPECT_EQ(host.passwordAsks, 3);
}

TEST_F(EndToEnd, RedirectsSameSiteOtherHostFtpAndCycles) {
  std::filesystem::create_directories(site / "pub");
  WriteFile(site / "pub/file.txt", "ftp data");
  WriteFile(site / "page.html", "<html>page</html>");
  auto server = HttpTestServer::Start(site.Path());
  auto ftp = FtpTestServer::Start(site.Path());
  std::string o = server->Origin();
  std::string ftpUrl = "ftp://127.0.0.1:" + std::to_string(ftp->Port()) + "/pub/file.txt";
  std::string other = "http://localhost:" + std::to_string(server->Port()) + "/page.html";
  // The third lands on a redirect with an empty location, which names no URL; the fourth
  // redirects to itself.
  host.startUrls = {o + "/__/redirect?to=/page.html",  // same site, relative location
                    o + "/__/redirect?to=" + ftpUrl, o + "/__/redirect?to=%3Fto%3D", o + "/__/loop?same=1"};
  std::string log = Run();
  EXPECT_EQ(Lines(log), o + "/__/redirect?to=/page.html(OK:Saved as[page.html])\r\n" +
                            ftpUrl + "(OK:Saved as[file.txt])\r\n" + o +
                            "/__/redirect?to=%3Fto%3D(NG:The redirected URL could not be parsed())\r\n" + o +
                            "/__/loop?same=1(NG:Too many redirects)\r\n");
  EXPECT_EQ(ReadFile(save / "file.txt"), "ftp data");

  // A start page that lands on another host is its own site, a link that does is not.
  std::filesystem::remove(save / "Trawlkit.txt");
  WriteFile(site / "links.html", "<html><a href=\"/__/redirect?to=" + other + "\">x</a></html>");
  host.startUrls = {o + "/links.html"};
  Run();
  EXPECT_EQ(counters.FilesDownloaded, 1);
  settings.SameSiteOnly = 0;
  std::filesystem::remove(save / "Trawlkit.txt");
  std::string open = Run();
  EXPECT_NE(open.find(o + "/__/redirect?to=" + other + "(OK:Saved as[page.html])\r\n"), std::string::npos) << open;
}

// One row per link of the start page: the local name it gets in the flat layout and in the
// server's (below the host's folder), and the link the saved page holds in each. A second
// spelling of a URL finds its file saved and gets no row of its own.
TEST_F(EndToEnd, LocalNamesKeepTheCharactersOfTheUrlInBothLayouts) {
  struct Row {
    std::string href;
    std::string flat;        // local name, flat layout
    std::string tree;        // local path below the host's folder
    std::string flatLink;    // the link the saved start page holds
    std::string treeLink;
  };
  const std::vector<Row> rows = {
      {"docs/my file.pdf", "my file.pdf", "docs/my file.pdf", "my%20file.pdf", "docs/my%20file.pdf"},
      {"docs/my%20file.pdf", "", "", "my%20file.pdf", "docs/my%20file.pdf"},
      {"img/caf\xC3\xA9.png", "caf\xC3\xA9.png", "img/caf\xC3\xA9.png", "caf%C3%A9.png", "img/caf%C3%A9.png"},
      {"img/caf%c3%a9.png", "", "", "caf%C3%A9.png", "img/caf%C3%A9.png"},
      {"\xE8\xB3\x87\xE6\x96\x99/\xE6\xA6\x82\xE8\xA6\x81.html", "\xE6\xA6\x82\xE8\xA6\x81.html",
       "\xE8\xB3\x87\xE6\x96\x99/\xE6\xA6\x82\xE8\xA6\x81.html", "%E6%A6%82%E8%A6%81.html",
       "%E8%B3%87%E6%96%99/%E6%A6%82%E8%A6%81.html"},
      {"a%20b/c.txt", "c.txt", "a b/c.txt", "c.txt", "a%20b/c.txt"},
      {"100%25.txt", "100%.txt", "100%.txt", "100%25.txt", "100%25.txt"},
      // Not UTF-8, a separator, a NUL: the escapes stay, lower-cased like the rest of a name.
      {"/__/bytes/caf%E9.png?ct=image/png", "caf%e9.png", "__/bytes/caf%e9.png", "caf%25e9.png",
       "__/bytes/caf%25e9.png"},
      {"/__/bytes/a%2Fb.txt?ct=text/plain", "a%2fb.txt", "__/bytes/a%2fb.txt", "a%252fb.txt",
       "__/bytes/a%252fb.txt"},
      {"/__/bytes/x%00y.txt?ct=text/plain", "x%00y.txt", "__/bytes/x%00y.txt", "x%2500y.txt",
       "__/bytes/x%2500y.txt"},
      // Pages named by the program that makes them are named for a browser to show.
      {"/__/bytes/list.php?page=2&ct=text/html", "list.php.htm", "__/bytes/list.php.htm", "list.php.htm",
       "__/bytes/list.php.htm"},
      {"/__/bytes/run.cgi?ct=text/html;charset=utf-8", "run.cgi.htm", "__/bytes/run.cgi.htm", "run.cgi.htm",
       "__/bytes/run.cgi.htm"},
      {"/__/bytes/list.php?page=3&ct=text/html", "list.php(1).htm", "__/bytes/list.php(1).htm",
       "list.php(1).htm", "__/bytes/list.php(1).htm"},
      {"/__/bytes/list.php?ct=application/octet-stream", "list.php", "__/bytes/list.php", "list.php",
       "__/bytes/list.php"},
  };
  std::filesystem::create_directories(site / "docs");
  std::filesystem::create_directories(site / "img");
  std::filesystem::create_directories(site / "a b");
  std::filesystem::create_directories(site / "\xE8\xB3\x87\xE6\x96\x99");
  WriteFile(site / "docs/my file.pdf", "%PDF-1.4");
  WriteFile(site / "img/caf\xC3\xA9.png", "PNG");
  WriteFile(site / "\xE8\xB3\x87\xE6\x96\x99/\xE6\xA6\x82\xE8\xA6\x81.html", "<html>overview</html>");
  WriteFile(site / "a b/c.txt", "c");
  WriteFile(site / "100%.txt", "percent");
  std::string index = "<html>";
  for (const Row& row : rows) index += "<a href=\"" + row.href + "\">x</a>";
  WriteFile(site / "index.html", index + "</html>");
  auto server = HttpTestServer::Start(site.Path());
  host.startUrls = {server->Url("/index.html")};
  const std::string hostDir = "127.0.0.1~" + std::to_string(server->Port()) + "/";
  for (int flat : {1, 0}) {
    SCOPED_TRACE(flat ? "flat" : "server layout");
    std::filesystem::remove_all(save.Path());
    std::filesystem::create_directories(save.Path());
    settings.SaveFlat = flat;
    std::string log = Run();
    std::set<std::string> expected = {flat ? "index.html" : hostDir + "index.html"};
    std::string hrefs;
    for (const Row& row : rows) {
      if (!row.flat.empty()) expected.insert(flat ? row.flat : hostDir + row.tree);
      hrefs += "<a href=\"" + (flat ? row.flatLink : row.treeLink) + "\">x</a>";
    }
    EXPECT_EQ(SavedFiles(), expected);
    EXPECT_EQ(counters.FilesDownloaded, static_cast<long>(expected.size())) << log;
    EXPECT_EQ(counters.Errors, 0) << log;
    EXPECT_EQ(ReadFile(save / (flat ? "index.html" : hostDir + "index.html")), "<html>" + hrefs + "</html>");
    EXPECT_EQ(ReadFile(save / (flat ? "my file.pdf" : hostDir + "docs/my file.pdf")), "%PDF-1.4");
  }
}

// A start page that sends its visitors to another host name (example.com to www.example.com)
// brings its site along: links to either name are the same site.
TEST_F(EndToEnd, AStartPageRedirectedToAnotherHostNameHasBothNamesForItsSite) {
  auto server = HttpTestServer::Start(site.Path());
  const std::string port = std::to_string(server->Port());
  const std::string landing = "http://localhost:" + port;
  WriteFile(site / "home.html", "<html><a href=\"/a.html\">landing host</a><a href=\"" + server->Origin() +
                                    "/b.html\">asked-for host</a></html>");
  WriteFile(site / "a.html", "<html>a</html>");
  WriteFile(site / "b.html", "<html>b</html>");
  settings.SameSiteOnly = 1;
  host.startUrls = {server->Url("/__/redirect?to=" + landing + "/home.html")};
  std::string log = Run();
  EXPECT_EQ(Lines(log), server->Url("/__/redirect?to=" + landing + "/home.html(OK:Saved as[home.html])\r\n") +
                            landing + "/a.html(OK:Saved as[a.html])\r\n" + server->Origin() +
                            "/b.html(OK:Saved as[b.html])\r\n");
}

// Header names are case-insensitive and the blank after the colon optional; a
// Content-Location before the Location is no redirect target.
TEST_F(EndToEnd, RedirectLocationsAsServersSpellThem) {
  for (const char* name : {"p1", "p2", "p3", "p4"}) WriteFile(site / (std::string(name) + ".html"), name);
  auto server = HttpTestServer::Start(site.Path());
  const std::string o = server->Origin();
  host.startUrls = {o + "/__/redirect?to=/p1.html&field=location%3A%20",
                    o + "/__/redirect?to=/p2.html&field=Location%3A",
                    o + "/__/redirect?to=/p3.html&field=LOCATION%3A%09",
                    o + "/__/redirect?to=/p4.html&also=/p1.html",
                    o + "/__/redirect?to=/p1.html&field=X-Location%3A%20"};
  EXPECT_EQ(Lines(Run()), o + "/__/redirect?to=/p1.html&field=location%3A%20(OK:Saved as[p1.html])\r\n" + o +
                              "/__/redirect?to=/p2.html&field=Location%3A(OK:Saved as[p2.html])\r\n" + o +
                              "/__/redirect?to=/p3.html&field=LOCATION%3A%09(OK:Saved as[p3.html])\r\n" + o +
                              "/__/redirect?to=/p4.html&also=/p1.html(OK:Saved as[p4.html])\r\n" + o +
                              "/__/redirect?to=/p1.html&field=X-Location%3A%20(NG:Site redirects with no new "
                              "location)\r\n");
}

TEST_F(EndToEnd, FtpFilesPatternsMissesAndSkips) {
  std::filesystem::create_directories(site / "pub/sub.txt");
  WriteFile(site / "pub/a.txt", "aaa");
  WriteFile(site / "pub/a.txt.bak", "old");
  WriteFile(site / "pub/b.txt", "bb");
  WriteFile(site / "pub/c.bin", "c");
  auto ftp = FtpTestServer::Start(site.Path());
  settings.SaveFlat = 0;
  std::string o = "ftp://127.0.0.1:" + std::to_string(ftp->Port());
  std::string dir = "ftp_127.0.0.1~" + std::to_string(ftp->Port());
  host.startUrls = {o + "/pub/a.txt", o + "/pub/*.txt", o + "/pub/none", "ftp://127.0.0.1:1/x"};
  std::string log = Run();
  // File URLs keep their port; a one-file URL takes only its own name, a pattern no folder. The
  // pattern's files come in the server's order, which the file system decides.
  std::string lines = Lines(log);
  std::string first = o + "/pub/a.txt(OK:Saved as[" + dir + "/pub/a.txt])\r\n";
  std::string a = o + "/pub/a.txt(OK:Saved as[" + dir + "/pub/a(1).txt])\r\n";
  std::string b = o + "/pub/b.txt(OK:Saved as[" + dir + "/pub/b.txt])\r\n";
  std::string rest = o + "/pub/none(NG:Not found)\r\nftp://127.0.0.1:1/x(NG:";
  EXPECT_TRUE(lines.starts_with(first + a + b + rest) || lines.starts_with(first + b + a + rest)) << lines;
  EXPECT_TRUE(log.ends_with(Summary(5, 2, 0, 8)));  // FTP bytes count; a miss and a refusal are errors

  // An existing file skipped writes its SKIPPED line only, not also Not found.
  settings.SaveFlat = 1;
  settings.ConfirmOverwrite = -1;
  WriteFile(save / "b.txt", "mine");
  std::filesystem::remove(save / "Trawlkit.txt");
  host.startUrls = {o + "/pub/b.txt"};
  EXPECT_EQ(Lines(Run()), o + "/pub/b.txt(SKIPPED:No overwrite)\r\n");
  EXPECT_EQ(ReadFile(save / "b.txt"), "mine");
}

// Listing names are the server's own bytes: saved as they are, not in their URL spelling.
TEST_F(EndToEnd, FtpFilesKeepTheirNamesAndFolders) {
  std::filesystem::create_directories(site / "my dir");
  WriteFile(site / "my dir/my file.txt", "spaced");
  WriteFile(site / "my dir/\xE6\x97\xA5\xE6\x9C\xAC.txt", "nihon");
  WriteFile(site / "my dir/100%.txt", "percent");
  auto ftp = FtpTestServer::Start(site.Path());
  const std::string o = "ftp://127.0.0.1:" + std::to_string(ftp->Port());
  const std::string dir = "ftp_127.0.0.1~" + std::to_string(ftp->Port()) + "/my dir/";
  settings.SaveFlat = 0;
  host.startUrls = {o + "/my%20dir/my%20file.txt", o + "/my dir/*.txt"};
  Run();
  // The file named twice, once by its URL and once by the pattern, is saved twice.
  ExpectFiles({{dir + "my file.txt", "spaced"},
               {dir + "my file(1).txt", "spaced"},
               {dir + "\xE6\x97\xA5\xE6\x9C\xAC.txt", "nihon"},
               {dir + "100%.txt", "percent"}});
  EXPECT_EQ(counters.Errors, 0);
}

TEST_F(EndToEnd, FtpLinksIgnoreTheSiteAndTypeRulesAndCancelLeavesNoPart) {
  WriteFile(site / "x.zip", "PK-zip");
  WriteFile(site / "big.bin", std::string(300000, 'b'));
  auto ftp = FtpTestServer::Start(site.Path());
  auto server = HttpTestServer::Start(site.Path());
  std::string zip = "ftp://localhost:" + std::to_string(ftp->Port()) + "/x.zip";
  WriteFile(site / "index.html", "<html><a href=\"" + zip + "\">zip</a></html>");
  settings.ExcludeType = ".zip";
  host.startUrls = {server->Url("/index.html")};
  std::string log = Run();
  EXPECT_EQ(Lines(log), server->Url("/index.html(OK:Saved as[index.html])\r\n") +
                            zip + "(OK:Saved as[x.zip])\r\n");
  EXPECT_EQ(ReadFile(save / "index.html"), "<html><a href=\"x.zip\">zip</a></html>");

  std::filesystem::remove(save / "Trawlkit.txt");
  host.startUrls = {"ftp://127.0.0.1:" + std::to_string(ftp->Port()) + "/big.bin"};
  host.cancelAfterChunks = host.chunks.size() + 3;
  std::string cancelled = Run();
  EXPECT_EQ(Lines(cancelled), "");
  EXPECT_TRUE(cancelled.ends_with(Summary(0, 0, 0, 0)));
  ExpectFiles({{"index.html", "<html><a href=\"x.zip\">zip</a></html>"}, {"x.zip", "PK-zip"}});
}

TEST_F(EndToEnd, WithTheCacheASecondRunSavesTheSameFiles) {
  WriteFile(site / "index.html", "<html><img src=a.gif></html>");
  WriteFile(site / "a.gif", Body(5000));
  auto server = HttpTestServer::Start(site.Path());
  settings.UseCache = 1;
  host.startUrls = {server->Url("/index.html")};
  std::string first = Lines(Run());
  std::filesystem::remove(save / "a.gif");
  std::filesystem::remove(save / "Trawlkit.txt");
  std::string second = Lines(Run());
  EXPECT_EQ(second, first);
  EXPECT_EQ(second, server->Url("/index.html(OK:Saved as[index.html])\r\n") +
                        server->Url("/a.gif(OK:Saved as[a.gif])\r\n"));
  EXPECT_EQ(ReadFile(save / "a.gif"), Body(5000));
  EXPECT_EQ(counters.BytesDownloaded, 5000 + 28);
}

TEST_F(EndToEnd, WithTheCacheACancelledFileIsCompletedByTheNextRun) {
  auto server = HttpTestServer::Start();
  settings.UseCache = 1;
  host.startUrls = {server->Url("/__/bytes?n=300000&etag=v1")};
  host.cancelAfterChunks = 20;
  Run();
  host.cancel = false;
  host.cancelAfterChunks = 0;
  std::filesystem::remove(save / "Trawlkit.txt");
  std::string lines = Lines(Run());
  EXPECT_EQ(lines, server->Url("/__/bytes?n=300000&etag=v1(OK:Saved as[bytes.htm])\r\n"));
  EXPECT_EQ(ReadFile(save / "bytes.htm"), Body(300000));
  HttpStats stats = server->Stats();
  EXPECT_LT(stats.bodyBytes, 2 * 300000);  // the second run did not start again from byte 0
}

// A cut transfer leaves no part of itself, and an earlier copy of the file stays as it was: cut by
// a cancel, or by the server dropping the connection.
TEST_F(EndToEnd, ACutTransferLeavesNoPartAndTheEarlierCopyWhole) {
  auto server = HttpTestServer::Start();
  WriteFile(save / "bytes.htm", "earlier copy");
  host.startUrls = {server->Url("/__/bytes?n=400000&ct=application/octet-stream"), server->Url("/__/bytes?n=10")};
  host.cancelAfterChunks = 5;
  std::string log = Run();
  EXPECT_EQ(Lines(log), "");
  EXPECT_TRUE(log.ends_with(Summary(0, 0, 0, 0)));
  ExpectFiles({{"bytes.htm", "earlier copy"}});
  EXPECT_EQ(changes, "0 files: 0 new, 0 changed, 0 unchanged, 0 failed");

  std::filesystem::remove(save / "Trawlkit.txt");
  host.cancel = false;
  host.cancelAfterChunks = 0;
  host.startUrls = {server->Url("/__/drop/bytes.htm?n=400000&after=100000")};
  log = Run();
  EXPECT_NE(Lines(log).find(server->Url("/__/drop/bytes.htm?n=400000&after=100000(NG:")), std::string::npos) << log;
  ExpectFiles({{"bytes.htm", "earlier copy"}});
}

// A second run over a copy with the cache on: every answer is a 304, and no file of the copy is
// written again. Every file carries its server's date.
TEST_F(EndToEnd, AnUpdateAnsweredWith304sLeavesTheCopyAsItWas) {
  WriteFile(site / "index.html", "<html><a href=a.html>a</a><img src=i.gif></html>");
  WriteFile(site / "a.html", "<html><a href=index.html>up</a><a href=b.html>b</a></html>");
  WriteFile(site / "i.gif", Body(5000));
  const std::int64_t served = 784111777;  // the server's dates: Sun, 06 Nov 1994 08:49:37 GMT
  for (const char* f : {"index.html", "a.html", "i.gif"}) {
    const struct timespec times[2] = {{served, 0}, {served, 0}};
    ::utimensat(AT_FDCWD, (site / f).c_str(), times, 0);
  }
  auto server = HttpTestServer::Start(site.Path());
  settings.UseCache = 1;
  host.startUrls = {server->Url("/index.html")};
  const std::string first = Lines(Run());
  EXPECT_EQ(changes, "3 files: 3 new, 0 changed, 0 unchanged, 0 failed");
  struct stat st {};
  const std::int64_t aged = 1000000000;
  for (const char* f : {"index.html", "a.html", "i.gif"}) {
    ASSERT_EQ(::stat((save / f).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, served) << f;
    const struct timespec times[2] = {{aged, 0}, {aged, 0}};
    ::utimensat(AT_FDCWD, (save / f).c_str(), times, 0);
  }
  const std::string pages = ReadFile(save / "index.html") + ReadFile(save / "a.html");
  std::filesystem::remove(save / "Trawlkit.txt");
  server->Reset();
  EXPECT_EQ(Lines(Run()), first);  // the log's lines stay as they are
  EXPECT_EQ(changes, "3 files: 0 new, 0 changed, 3 unchanged, 0 failed");
  const HttpStats stats = server->Stats();
  EXPECT_EQ(stats.requests, 4);  // three revalidations and the server's robots.txt, none answered 200
  EXPECT_EQ(stats.json.find("\"status\": 200"), std::string::npos) << stats.json;
  for (const char* f : {"index.html", "a.html", "i.gif"}) {
    ASSERT_EQ(::stat((save / f).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, aged) << f;
  }
  EXPECT_EQ(ReadFile(save / "index.html") + ReadFile(save / "a.html"), pages);
}

TEST_F(EndToEnd, CancelInterruptsAStalledTransfer) {
  auto server = HttpTestServer::Start();
  host.startUrls = {server->Url("/__/stall?n=100000&after=2000&secs=30"), server->Url("/__/bytes?n=10")};
  std::thread canceller([&] {
    // Bounded: waits for the run to begin the file, at most 10 s.
    for (int i = 0; i < 1000 && host.chunkCalls == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    host.cancel = true;
    if (Crawler* c = running.load()) c->Interrupt();
  });
  auto start = std::chrono::steady_clock::now();
  std::string log = Run();
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(Lines(log), "");
  EXPECT_TRUE(log.ends_with(Summary(0, 0, 0, 0)));
}

}  // namespace
}  // namespace tk::test

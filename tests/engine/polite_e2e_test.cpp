// What a server sees of a run: robots.txt and the robots <meta>, the pacing (wait, rate,
// connections), time-outs and tries. Whole runs against the local test server, read back from
// the run log and from the server's own log of requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "support/crawl_fixture.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {

constexpr std::string_view kRefused = "(SKIPPED:Disallowed by robots.txt)\r\n";

class Polite : public CrawlFixture {
 protected:
  Polite() : CrawlFixture(Network::Local) {
    settings.LinkLayers = 2;
    settings.SaveFlat = 1;
  }

  // One run into an empty save folder; the run log's lines between the settings and the summary.
  std::string Run(const std::string& agent = "trawlkit") {
    EmptySaveFolder();
    host.startUrls = startUrls;
    return Lines(CrawlFixture::Run(agent));
  }

  // The paths the server was asked for, in the order the requests came in.
  static std::vector<std::string> Asked(const HttpTestServer& server) {
    std::vector<HttpLogEntry> log = RequestLog(server.Stats());
    std::sort(log.begin(), log.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    std::vector<std::string> paths;
    for (const HttpLogEntry& entry : log) paths.push_back(entry.path);
    return paths;
  }

  TempDir site;
  std::vector<std::string> startUrls;
};

TEST_F(Polite, RobotsTxtDecidesWhichLinksAreAsked) {
  const std::vector<std::string> links = {"/private/p.html", "/private/open.html", "/public/a.html",
                                          "/run.cgi",        "/run.cgi?x=1",       "/%7Euser/u.html"};
  std::string index = "<html>";
  for (const std::string& link : links) {
    index += "<a href=\"" + link + "\">x</a>";
    std::string file = link.substr(1, link.find('?') - 1);
    if (file.starts_with("%7E")) file = "~" + file.substr(3);
    std::filesystem::create_directories((site / file).parent_path());
    WriteFile(site / file, "<html>" + file + "</html>");
  }
  WriteFile(site / "index.html", index + "</html>");
  WriteFile(site / "real-robots.txt", "User-agent: *\nDisallow: /public/\n");
  auto server = HttpTestServer::Start(site.Path());

  struct Row {
    const char* what;
    const char* file;     // robots.txt on disk, or nullptr
    const char* control;  // a /__robots query, or nullptr
    int robots;
    const char* agent;
    std::set<std::string> refused;
  };
  const char* common = "User-agent: *\nDisallow: /private/\nAllow: /private/open.html\nDisallow: /*.cgi$\n";
  const Row rows[] = {
      {"longest match, Allow, $", common, nullptr, 1, "trawlkit", {"/private/p.html", "/run.cgi"}},
      {"the group of the agent sent",
       "User-agent: *\nDisallow: /\n\nUser-agent: Trawlkit\nDisallow: /public/\nDisallow: /~user/\n", nullptr, 1,
       "Trawlkit/1.2 (X11; Linux)", {"/public/a.html", "/%7Euser/u.html"}},
      {"no robots.txt", nullptr, nullptr, 1, "trawlkit", {}},
      {"a 503 allows all", nullptr, "/__robots?status=503&body=User-agent:%20*%0ADisallow:%20/", 1, "trawlkit", {}},
      {"a 403 allows all", nullptr, "/__robots?status=403&body=User-agent:%20*%0ADisallow:%20/", 1, "trawlkit", {}},
      {"redirected", nullptr, "/__robots?to=/real-robots.txt", 1, "trawlkit", {"/public/a.html"}},
      {"everything refused but the start page", "User-agent: *\nDisallow: /\n", nullptr, 1, "trawlkit",
       std::set<std::string>(links.begin(), links.end())},
      {"turned off", "User-agent: *\nDisallow: /\n", nullptr, 0, "trawlkit", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(site / "robots.txt");
    if (row.file) WriteFile(site / "robots.txt", row.file);
    server->Reset();
    if (row.control) RawHttpGet(server->Port(), row.control);
    settings.Robots = row.robots;
    startUrls = {server->Url("/index.html")};
    const std::string lines = Run(row.agent);

    std::vector<std::string> asked = Asked(*server);
    // Asked for once, before anything else on the server; never when turned off.
    const long robotsAsked = std::count(asked.begin(), asked.end(), "/robots.txt");
    EXPECT_EQ(robotsAsked, row.robots ? 1 : 0) << lines;
    if (row.robots) {
      ASSERT_FALSE(asked.empty());
      EXPECT_EQ(asked.front(), "/robots.txt");
    }
    std::size_t saved = 1;
    for (const std::string& link : links) {
      const bool refused = row.refused.count(link) > 0;
      const std::string url = server->Url(link);
      EXPECT_EQ(lines.find(url + std::string(kRefused)) != std::string::npos, refused) << link << "\n" << lines;
      // Not even sent ahead of its turn.
      EXPECT_EQ(std::count(asked.begin(), asked.end(), link), refused ? 0 : 1) << link;
      if (!refused) ++saved;
    }
    // The lines of refused links change no counter.
    EXPECT_EQ(counters.FilesDownloaded, static_cast<std::int64_t>(saved)) << lines;
    EXPECT_EQ(counters.Errors, 0);
    EXPECT_EQ(counters.FilesSkipped, 0);
    EXPECT_EQ(ngLines, 0);
  }
}

TEST_F(Polite, EachServerIsAskedForItsRobotsTxtOnce) {
  TempDir other;
  WriteFile(other / "robots.txt", "User-agent: *\nDisallow: /b2.html\n");
  WriteFile(other / "b1.html", "<html><a href=\"b2.html\">2</a><a href=\"b3.html\">3</a></html>");
  WriteFile(other / "b2.html", "two");
  WriteFile(other / "b3.html", "three");
  auto b = HttpTestServer::Start(other.Path());
  WriteFile(site / "index.html", "<html><a href=\"" + b->Url("/b1.html") + "\">b</a><a href=\"a.html\">a</a>" +
                                     "<a href=\"" + b->Url("/b2.html") + "\">b2</a></html>");
  WriteFile(site / "a.html", "<html><a href=\"" + b->Url("/b3.html") + "\">b3</a></html>");
  auto a = HttpTestServer::Start(site.Path());
  settings.SameSiteOnly = 0;
  startUrls = {a->Url("/index.html")};
  const std::string lines = Run();
  EXPECT_EQ(Asked(*a), (std::vector<std::string>{"/robots.txt", "/index.html", "/a.html"})) << lines;
  EXPECT_EQ(Asked(*b), (std::vector<std::string>{"/robots.txt", "/b1.html", "/b3.html"})) << lines;
  // Refused where the crawl first meets it, once: the second link to it is answered by its record.
  EXPECT_EQ(lines, a->Url("/index.html(OK:Saved as[index.html])\r\n") + b->Url("/b1.html(OK:Saved as[b1.html])\r\n") +
                       b->Url("/b2.html") + std::string(kRefused) + b->Url("/b3.html(OK:Saved as[b3.html])\r\n") +
                       a->Url("/a.html(OK:Saved as[a.html])\r\n"));
}

TEST_F(Polite, ARobotsMetaNofollowStopsThePagesLinksButNotWhatItShows) {
  struct Row {
    const char* meta;
    int robots;
    bool followed;
  };
  const Row rows[] = {
      {"<meta name=\"robots\" content=\"nofollow\">", 1, false},
      {"<META NAME=ROBOTS CONTENT=\"NoIndex, NoFollow\">", 1, false},
      {"<meta name='robots' content='none'>", 1, false},
      {"<meta name=\"robots\" content=\"noindex\">", 1, true},
      {"<meta name=\"description\" content=\"nofollow\">", 1, true},
      {"<meta name=\"robots\" content=\"nofollow\">", 0, true},
  };
  WriteFile(site / "a.html", "<html>a</html>");
  WriteFile(site / "i.gif", "GIF89a");
  WriteFile(site / "s.css", "p{}");
  auto server = HttpTestServer::Start(site.Path());
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.meta) + " robots=" + std::to_string(row.robots));
    WriteFile(site / "index.html", std::string("<html><head>") + row.meta +
                                       "<link rel=stylesheet href=s.css></head><body><a href=a.html>a</a>"
                                       "<img src=i.gif></body></html>");
    server->Reset();
    settings.Robots = row.robots;
    startUrls = {server->Url("/index.html")};
    const std::string lines = Run();
    std::vector<std::string> asked = Asked(*server);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/a.html"), row.followed ? 1 : 0) << lines;
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/i.gif"), 1) << lines;
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/s.css"), 1) << lines;
    EXPECT_NE(lines.find(server->Url("/index.html(OK:Saved as[index.html])")), std::string::npos) << lines;
  }
}

TEST_F(Polite, PacingBindsWhatTheServerSees) {
  // Slow answers, so that requests sent ahead of their turn would overlap.
  std::string index = "<html>";
  for (int i = 0; i < 6; ++i)
    index += "<a href=\"/__/slow/f" + std::to_string(i) + ".bin?n=3000&chunk=1000&delay=20\">f</a>";
  WriteFile(site / "index.html", index + "</html>");
  auto server = HttpTestServer::Start(site.Path());
  struct Row {
    const char* what;
    double wait;
    int connections;
    int mostBusy;  // at the most
  };
  const Row rows[] = {
      {"defaults", 0, 5, 5},
      {"two connections", 0, 2, 2},
      {"one connection", 0, 1, 1},
      {"a wait", 0.2, 5, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    server->Reset();
    settings.WaitSeconds = row.wait;
    settings.Connections = row.connections;
    startUrls = {server->Url("/index.html")};
    const std::string lines = Run();
    EXPECT_EQ(counters.FilesDownloaded, 7) << lines;
    EXPECT_EQ(counters.Errors, 0) << lines;
    const HttpStats stats = server->Stats();
    EXPECT_LE(stats.mostBusy, row.mostBusy) << stats.json;
    EXPECT_GE(stats.mostBusy, 1);
    std::vector<HttpLogEntry> log = RequestLog(stats);
    ASSERT_EQ(log.size(), 8u) << stats.json;  // robots.txt, the page, its six files
    std::sort(log.begin(), log.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    // From the end of one answer to the next request, as the server's own clock has it.
    for (std::size_t i = 1; row.wait > 0 && i < log.size(); ++i)
      EXPECT_GE(log[i].start - log[i - 1].end, row.wait - 0.005) << log[i].path;
  }
}

TEST_F(Polite, OneConnectionToEachServerWhileTheCrawlHopsBetweenThem) {
  // a1 -> b1 -> a2 -> b2 ... : each page's scan goes on to the other server and back, while the
  // pages above it wait for their scans to end.
  TempDir otherSite;
  auto a = HttpTestServer::Start(site.Path());
  auto b = HttpTestServer::Start(otherSite.Path());
  constexpr int kHops = 5;
  for (int i = 1; i <= kHops; ++i) {
    const std::string n = std::to_string(i);
    WriteFile(site / ("a" + n + ".html"), "<html><a href=\"" + b->Url("/b" + n + ".html") + "\">b</a></html>");
    WriteFile(otherSite / ("b" + n + ".html"),
              "<html><a href=\"" + a->Url("/a" + std::to_string(i + 1) + ".html") + "\">a</a></html>");
  }
  settings.SameSiteOnly = 0;
  settings.LinkLayers = 10;
  settings.Connections = 1;
  startUrls = {a->Url("/a1.html")};
  const std::string lines = Run();
  EXPECT_EQ(counters.FilesDownloaded, 2 * kHops + 1) << lines;  // a6.html is missing: its NG line
  // One for the run, one closing as the run comes back, and the stats query's own.
  EXPECT_LE(a->Stats().mostOpen, 3) << a->Stats().json;
  EXPECT_LE(b->Stats().mostOpen, 3) << b->Stats().json;
}

TEST_F(Polite, ARateLimitHoldsOverTheWholeRun) {
  std::string index = "<html>";
  for (int i = 0; i < 4; ++i) index += "<a href=\"/__/bytes/g" + std::to_string(i) + ".bin?n=25000\">g</a>";
  WriteFile(site / "index.html", index + "</html>");
  auto server = HttpTestServer::Start(site.Path());
  settings.LimitRate = 100000;
  startUrls = {server->Url("/index.html")};
  const auto start = std::chrono::steady_clock::now();
  const std::string lines = Run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(counters.FilesDownloaded, 5) << lines;
  const HttpStats stats = server->Stats();
  // One transfer at a time, so no sum of transfers can pass the rate.
  EXPECT_EQ(stats.mostBusy, 1) << stats.json;
  // The last transfer's own pace is libcurl's, which may run a little ahead: a loose bound.
  EXPECT_GE(seconds, 0.6 * static_cast<double>(stats.bodyBytes) / 100000) << stats.bodyBytes;
}

std::string HttpDateFromNow(std::chrono::seconds ahead) {
  const std::time_t when = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + ahead);
  std::tm tm{};
  gmtime_r(&when, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a,%%20%d%%20%b%%20%Y%%20%H:%M:%S%%20GMT", &tm);
  return buf;
}

TEST_F(Polite, TriesPassWhatASecondTryMayPass) {
  auto server = HttpTestServer::Start();
  struct Row {
    const char* what;
    std::string object;
    int tries;
    std::string outcome;
    long requests;
    double gap;  // at least, between the tries
  };
  const Row rows[] = {
      {"503 then 200", "/__/unavailable?id=a&retry=0&n=10", 3, "OK:Saved as[unavailable.htm]", 2, 0},
      {"429 with Retry-After", "/__/unavailable?id=b&code=429&retry=1&n=10", 3, "OK:Saved as[unavailable.htm]", 2, 1.0},
      {"Retry-After as a date", "/__/unavailable?id=c&n=10&retry={date}", 3, "OK:Saved as[unavailable.htm]", 2, 1.0},
      {"a connection closed unanswered", "/__/unavailable?id=d&code=0&n=10", 3, "OK:Saved as[unavailable.htm]", 2, 0.9},
      {"500 on every try", "/__/unavailable?id=e&code=500&times=9&retry=0", 3, "NG:Bad Status(500)", 3, 0},
      {"one try only", "/__/unavailable?id=f&retry=0", 1, "NG:Bad Status(503)", 1, 0},
      {"Retry-After beyond a minute", "/__/unavailable?id=g&retry=120", 3, "NG:Bad Status(503)", 1, 0},
      {"404 is final", "/__/status?code=404", 3, "NG:Bad Status(404)", 1, 0},
  };
  settings.Robots = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    server->Reset();
    settings.Tries = row.tries;
    // Whole seconds: two or three from now.
    std::string object = row.object;
    if (auto at = object.find("{date}"); at != std::string::npos)
      object.replace(at, 6, HttpDateFromNow(std::chrono::seconds(3)));
    startUrls = {server->Url(object)};
    const std::string lines = Run();
    // One line for the URL, the last try's.
    EXPECT_EQ(lines, server->Url(object) + "(" + row.outcome + ")\r\n");
    std::vector<HttpLogEntry> log = RequestLog(server->Stats());
    EXPECT_EQ(static_cast<long>(log.size()), row.requests);
    for (std::size_t i = 1; i < log.size(); ++i) EXPECT_GE(log[i].start - log[i - 1].end, row.gap);
  }
}

TEST_F(Polite, AShortTimeoutEndsAStalledServerAndIsTriedAgain) {
  auto server = HttpTestServer::Start();
  settings.Robots = 0;
  settings.TimeoutSeconds = 1;
  settings.Tries = 2;
  struct Row {
    const char* object;
    long requests;
  };
  // Silent before the headers: each try times out. A body that stalls once the answer has begun
  // is the file's failure, logged as such.
  const Row rows[] = {{"/__/hang?secs=8", 2}, {"/__/stall?n=1000&after=0&secs=8", 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.object);
    server->Reset();
    startUrls = {server->Url(row.object)};
    const std::string lines = Run();
    EXPECT_TRUE(lines.starts_with(server->Url(row.object) + "(NG:")) << lines;
    EXPECT_NE(lines.find("(12002))\r\n"), std::string::npos) << lines;
    EXPECT_EQ(server->Stats().requests, row.requests);
  }
}

TEST_F(Polite, ACancelEndsTheWaitBeforeAnotherTry) {
  auto server = HttpTestServer::Start();
  settings.Robots = 0;
  startUrls = {server->Url("/__/unavailable?id=z&times=9&retry=50")};
  std::thread canceller([&] {
    // Bounded: waits for the first try to be answered, at most 10 s.
    for (int i = 0; i < 200 && server->Stats().requests == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host.cancel = true;
    if (Crawler* c = running.load()) c->Interrupt();
  });
  const auto start = std::chrono::steady_clock::now();
  const std::string lines = Run();
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(lines, "");
  EXPECT_EQ(server->Stats().requests, 1);
}

}  // namespace
}  // namespace tk::test

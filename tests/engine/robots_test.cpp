// robots.txt read for one agent, and the retry pauses a server's answer asks for: tables.
#include <gtest/gtest.h>

#include "engine/retry.h"
#include "engine/robots.h"

namespace tk {
namespace {

struct RobotsRow {
  const char* what;
  const char* text;
  const char* agent;
  const char* path;
  bool allowed;
};

TEST(Robots, RulesForTheAgentTheLongestMatchAndTheWildcards) {
  const char* common = "User-agent: *\nDisallow: /private/\nAllow: /private/open\nDisallow: /*.cgi$\n";
  const RobotsRow rows[] = {
      {"no file", "", "Trawlkit", "/anything", true},
      {"prefix refused", common, "Trawlkit", "/private/p.html", false},
      {"the folder itself", common, "Trawlkit", "/private/", false},
      {"not the folder without its slash", common, "Trawlkit", "/private", true},
      {"longer Allow wins", common, "Trawlkit", "/private/open/a.html", true},
      {"$ anchors the end", common, "Trawlkit", "/run.cgi", false},
      {"$ refuses no longer path", common, "Trawlkit", "/run.cgi?x=1", true},
      {"query is part of the path", "User-agent: *\nDisallow: /find?q=\n", "Trawlkit", "/find?q=cats", false},
      {"paths are case-sensitive", common, "Trawlkit", "/PRIVATE/p.html", true},
      {"* inside", "User-agent: *\nDisallow: /a/*/secret\n", "Trawlkit", "/a/b/c/secret.html", false},
      {"* at the start of a run", "User-agent: *\nDisallow: /*secret\n", "Trawlkit", "/x/top-secret", false},
      {"* needs the rest to follow", "User-agent: *\nDisallow: /a/*/secret\n", "Trawlkit", "/a/secret", true},
      {"tie: Allow wins", "User-agent: *\nDisallow: /page\nAllow: /page\n", "Trawlkit", "/page.html", true},
      {"longer Disallow wins", "User-agent: *\nAllow: /p\nDisallow: /page\n", "Trawlkit", "/page.html", false},
      {"empty Disallow allows", "User-agent: *\nDisallow:\n", "Trawlkit", "/x", true},
      {"our group, not *", "User-agent: *\nDisallow: /\n\nUser-agent: trawlkit\nDisallow: /mine/\n", "Trawlkit",
       "/other.html", true},
      {"our group refuses", "User-agent: *\nDisallow: /\n\nUser-agent: trawlkit\nDisallow: /mine/\n", "Trawlkit",
       "/mine/a", false},
      {"another agent's group only", "User-agent: OtherBot\nDisallow: /\n", "Trawlkit", "/x", true},
      {"agent with a version", "User-agent: Trawlkit/1.0\nDisallow: /v/\n", "Trawlkit", "/v/a", false},
      {"two agents, one group", "User-agent: a\nUser-agent: Trawlkit\nDisallow: /ab/\n", "Trawlkit", "/ab/c", false},
      {"groups of one agent join", "User-agent: Trawlkit\nDisallow: /a/\n\nUser-agent: b\nDisallow: /b/\n\n"
                                   "User-agent: Trawlkit\nDisallow: /c/\n",
       "Trawlkit", "/c/x", false},
      {"a rule ends the group", "User-agent: Trawlkit\nDisallow: /a/\nUser-agent: b\nDisallow: /b/\n", "Trawlkit",
       "/b/x", true},
      {"comments, CRLF, blanks", "# hello\r\nUser-Agent : * # all\r\n  DISALLOW :  /x/  # no\r\n", "Trawlkit",
       "/x/y", false},
      {"byte order mark", "\xEF\xBB\xBFUser-agent: *\nDisallow: /bom/\n", "Trawlkit", "/bom/a", false},
      {"lines before any agent", "Disallow: /\nUser-agent: *\nDisallow: /late/\n", "Trawlkit", "/early", true},
      {"other fields keep the group", "User-agent: *\nCrawl-delay: 5\nSitemap: /s.xml\nDisallow: /k/\n", "Trawlkit",
       "/k/a", false},
      {"an HTML page allows all", "<html><body>Not Found</body></html>", "Trawlkit", "/x", true},
      {"escape of an unreserved letter", "User-agent: *\nDisallow: /%7Euser/\n", "Trawlkit", "/~user/a", false},
      {"path escaped, pattern not", "User-agent: *\nDisallow: /~user/\n", "Trawlkit", "/%7euser/a", false},
      {"escape of a reserved byte stays", "User-agent: *\nDisallow: /a%2Fb\n", "Trawlkit", "/a/b", true},
      {"escape case does not matter", "User-agent: *\nDisallow: /a%2fb\n", "Trawlkit", "/a%2Fb", false},
      {"non-ASCII pattern", "User-agent: *\nDisallow: /資料/\n", "Trawlkit", "/%E8%B3%87%E6%96%99/a", false},
  };
  for (const RobotsRow& row : rows) {
    const RobotsRules rules = RobotsRules::Parse(row.text, row.agent);
    EXPECT_EQ(rules.Allows(row.path), row.allowed) << row.what;
  }
}

TEST(Robots, ProductTokenOfTheAgentSent) {
  EXPECT_EQ(ProductToken("Trawlkit/1.2 (X11; Linux)"), "Trawlkit");
  EXPECT_EQ(ProductToken("  trawlkit  "), "trawlkit");
  EXPECT_EQ(ProductToken("Mozilla/5.0 (compatible)"), "Mozilla");
  EXPECT_EQ(ProductToken(""), "");
}

TEST(Retry, WhatATryMayPassAndHowLongToWait) {
  EXPECT_TRUE(IsTransientStatus(503));
  EXPECT_TRUE(IsTransientStatus(429));
  EXPECT_TRUE(IsTransientStatus(500));
  EXPECT_FALSE(IsTransientStatus(404));
  EXPECT_FALSE(IsTransientStatus(401));
  EXPECT_EQ(RetryBackoff(1), std::chrono::seconds(1));
  EXPECT_EQ(RetryBackoff(2), std::chrono::seconds(2));
  EXPECT_EQ(RetryBackoff(50), std::chrono::seconds(10));

  using namespace std::chrono;
  const auto now = system_clock::time_point(seconds(784111777));  // Sun, 06 Nov 1994 08:49:37 GMT
  struct Row {
    const char* headers;
    std::optional<milliseconds> pause;
  };
  const Row rows[] = {
      {"HTTP/1.1 503 x\r\nRetry-After: 7\r\n", seconds(7)},
      {"HTTP/1.1 503 x\r\nretry-after:0\r\n", seconds(0)},
      {"HTTP/1.1 503 x\r\nRetry-After: Sun, 06 Nov 1994 08:49:47 GMT\r\n", seconds(10)},
      {"HTTP/1.1 503 x\r\nRetry-After: Sunday, 06-Nov-94 08:50:37 GMT\r\n", seconds(60)},
      {"HTTP/1.1 503 x\r\nRetry-After: Sun Nov  6 08:49:38 1994\r\n", seconds(1)},
      {"HTTP/1.1 503 x\r\nRetry-After: Sat, 05 Nov 1994 08:49:37 GMT\r\n", seconds(0)},
      {"HTTP/1.1 503 x\r\nRetry-After: soon\r\n", std::nullopt},
      {"HTTP/1.1 503 x\r\nRetry-After: -5\r\n", std::nullopt},
      {"HTTP/1.1 503 x\r\n", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(RetryAfter(row.headers, now), row.pause) << row.headers;
}

}  // namespace
}  // namespace tk

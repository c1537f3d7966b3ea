// trawlkit-cli run in-process with the project's politeness at its defaults: robots.txt is read
// and obeyed, and what it refuses is a line that leaves the exit status alone.
#include "support/cli_fixture.h"

namespace tk::cli {
namespace {

TEST_F(Cli, ALinkRobotsTxtRefusesIsLoggedAndTheRunStillSucceeds) {
  net.Page("h:80/robots.txt", "User-agent: *\nDisallow: /private/\n", "text/plain");
  net.Page("h:80/", "<html><a href=/private/p.html>p</a><a href=/a.html>a</a></html>");
  net.Page("h:80/private/p.html", "<html>secret</html>");
  net.Page("h:80/a.html", "<html>a</html>");
  std::vector<std::string> args = {"-u", "http://h/", "-d", (save.Path() / "out").string(), "-l", "1", "--no-cache"};
  EXPECT_EQ(Run(args), 0) << err.str();
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/robots.txt", "GET h:80/", "GET h:80/a.html"}));
  const std::string log = out.str();
  EXPECT_NE(log.find("http://h/private/p.html(SKIPPED:Disallowed by robots.txt)\r\n"), std::string::npos) << log;
  // Two files, no error, nothing skipped: the refused link is none of them.
  EXPECT_NE(log.find("\t                   2                   0                   0"), std::string::npos) << log;
}

}  // namespace
}  // namespace tk::cli

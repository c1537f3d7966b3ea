// trawlkit-cli run in-process with the project's politeness at its defaults: robots.txt is read
// and obeyed, and what it refuses is a line that leaves the exit status alone.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_main.h"
#include "engine/fake_net.h"
#include "engine/recording_host.h"
#include "support/temp_dir.h"

namespace tk::cli {
namespace {

TEST(CliPolite, ALinkRobotsTxtRefusesIsLoggedAndTheRunStillSucceeds) {
  test::ScopedConfigHome config;
  test::TempDir home;
  test::TempDir save;
  std::ostringstream out;
  std::ostringstream err;
  test::FakeNet net;
  test::FixedClock clock;
  std::atomic<bool> cancel{false};
  CliContext context;
  context.out = &out;
  context.err = &err;
  context.backend = &net;
  context.clock = &clock;
  context.home = home.Path().string();
  context.cancel = &cancel;
  net.Page("h:80/robots.txt", "User-agent: *\nDisallow: /private/\n", "text/plain");
  net.Page("h:80/", "<html><a href=/private/p.html>p</a><a href=/a.html>a</a></html>");
  net.Page("h:80/private/p.html", "<html>secret</html>");
  net.Page("h:80/a.html", "<html>a</html>");
  std::vector<std::string> args = {"-u", "http://h/", "-d", (save.Path() / "out").string(), "-l", "1", "--no-cache"};
  EXPECT_EQ(RunCli(args, context), 0) << err.str();
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/robots.txt", "GET h:80/", "GET h:80/a.html"}));
  const std::string log = out.str();
  EXPECT_NE(log.find("http://h/private/p.html(SKIPPED:Disallowed by robots.txt)\r\n"), std::string::npos) << log;
  // Two files, no error, nothing skipped: the refused link is none of them.
  EXPECT_NE(log.find("\t                   2                   0                   0"), std::string::npos) << log;
}

}  // namespace
}  // namespace tk::cli

#pragma once
// trawlkit-cli run in-process against the network in memory, with its own home and save folders.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_main.h"
#include "settings/project.h"
#include "support/fake_net.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tk::cli {

// The lines a dry run shows after the run log's settings block for a project with the defaults.
inline constexpr std::string_view kDefaultMoreSettings =
    "Using HTTPS:No\r\nLayers without limit:No\r\nHonour robots.txt:Yes\r\nWait between requests:0 s\r\n"
    "Rate limit:None\r\nConnections per server:5\r\nUser agent:(the program's own)\r\nCookies from:(none)\r\n"
    "Include URLs:(all)\r\nExclude URLs:(none)\r\nLargest file:No limit\r\nTime-out:60 s\r\nTries:3\r\n";

class Cli : public ::testing::Test {
 protected:
  Cli() {
    context.out = &out;
    context.err = &err;
    context.backend = &net;
    context.clock = &clock;
    context.home = home.Path().string();
    context.cancel = &cancel;
  }

  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunCli(args, context);
  }
  std::string Save() const { return (save.Path() / "out").string(); }
  // The settings block as a dry run shows it, marked as such, with the settings the block leaves
  // out at their defaults.
  static std::string Header(const std::string& dir, int layers = 0) {
    return "dry run: nothing is fetched\n12:34:56:Start downloading\r\nExcluding file types:\r\nSaving to directory:" +
           dir + "/\r\nLinks to browse:" +
           (layers ? "Start pages & " + std::to_string(layers) + "layers" : "Start pages only") +
           "\r\nDownload pages at:The same site as the start page\r\nFiles saved:All in same directory\r\n"
           "Using cashe:Yes\r\nConfirm before overwrite:No\r\n" +
           std::string(kDefaultMoreSettings);
  }
  // A dry run's last line for a save folder that does not exist yet.
  static std::string WouldMake(const std::string& dir) {
    return "would make the folder " + dir + "/ and save the files and the run log Trawlkit.txt in it\n";
  }

  test::ScopedConfigHome config;
  test::TempDir home;
  test::TempDir save;
  std::ostringstream out;
  std::ostringstream err;
  test::FakeNet net;
  test::FixedClock clock;
  std::atomic<bool> cancel{false};
  CliContext context;
};

}  // namespace tk::cli

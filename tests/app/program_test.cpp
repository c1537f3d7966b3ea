// The wizard's program as a shell starts it: help, the version and a missing display are
// answered in plain words and end the program, before any window.
#include <gtest/gtest.h>

#include <chrono>

#include "support/program.h"
#include "support/temp_dir.h"

namespace tk::test {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome Start(std::vector<std::string> args, std::vector<std::string> env) {
  TempDir dir;
  args.insert(args.begin(), TRAWLKIT_GUI_PATH);
  Outcome outcome;
  {
    // A program that opened its window after all is stopped, and fails the row.
    Program program({args, dir.Path(), "/dev/null", "", env});
    if (!program.Started()) return outcome;
    outcome.status = program.Wait(std::chrono::seconds(30));
  }
  outcome.out = ReadFile(dir / "stdout");
  outcome.err = ReadFile(dir / "stderr");
  return outcome;
}

TEST(TrawlkitProgram, HelpVersionAndNoDisplayEndAtOnce) {
  TempDir home;
  const std::vector<std::string> noDisplay = {"HOME=" + home.Path().string(), "PATH=/usr/bin:/bin",
                                              "ASAN_OPTIONS=detect_leaks=0"};
  std::vector<std::string> display = noDisplay;
  display.push_back("DISPLAY=:99");
  struct Row {
    std::vector<std::string> args;
    const std::vector<std::string>& env;
    int status;
    std::string out, err;
  } rows[] = {
      {{"--version"}, display, 0, "trawlkit " TRAWLKIT_VERSION "\n", ""},
      {{"--version"}, noDisplay, 0, "trawlkit " TRAWLKIT_VERSION "\n", ""},
      {{"site.tkp", "--help"}, display, 0, "Usage: trawlkit [PROJECT.tkp]\n", ""},
      {{}, noDisplay, 1, "",
       "trawlkit: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it in a desktop session, or use "
       "trawlkit-cli.\n"},
      {{"site.tkp"}, noDisplay, 1, "", "trawlkit: no display found"},
  };
  for (const Row& r : rows) {
    const Outcome o = Start(r.args, r.env);
    const std::string what = r.args.empty() ? "(no arguments)" : r.args.back();
    EXPECT_EQ(o.status, r.status) << what << "\n" << o.err;
    EXPECT_TRUE(o.out.starts_with(r.out)) << what << "\n" << o.out;
    EXPECT_TRUE(o.err.starts_with(r.err)) << what << "\n" << o.err;
    EXPECT_LE(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
  }
}

}  // namespace
}  // namespace tk::test

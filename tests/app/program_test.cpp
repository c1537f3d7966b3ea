// The wizard's program as a shell starts it: help, the version and a missing display are
// answered in plain words and end the program, before any window.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

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
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  Outcome outcome;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pid <= 0) return outcome;
  // A program that opened its window after all is stopped, and fails the row.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (outcome.status < 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
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

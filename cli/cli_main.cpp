#include "cli/cli_main.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <filesystem>
#include <iostream>
#include <thread>
#include <unistd.h>

#include "base/home_folder.h"
#include "base/text.h"
#include "cli/apply_options.h"
#include "cli/cli_options.h"
#include "cli/dry_run.h"
#include "cli/terminal_host.h"
#include "cli/terminal_text.h"
#include "cli/version_text.h"
#include "engine/crawler.h"
#include "settings/project.h"
#include "settings/url_password.h"

namespace tk::cli {
namespace {

int Fail(CliContext& c, const std::string& message) {
  *c.err << TerminalSafe(message) << "\n";
  return kExitBadInput;
}

// Makes the save folder; a message naming it and the reason when that fails.
std::optional<std::string> MakeSaveFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec && std::filesystem::is_directory(folder, ec)) return std::nullopt;
  const std::string reason = ec ? ec.message() : "not a folder";
  return "trawlkit-cli: cannot make the save folder " + Shown(folder) + ": " + reason + "; give another with -d DIR";
}

int Run(ProjectSettings& settings, const CliOptions& options, CliContext& c, RunClock& clock) {
  TerminalHost host(c, clock, settings.StartUrls, options.quiet);
  InetBackend& backend = c.backend ? *c.backend : DefaultInetBackend();
  Crawler crawler(settings, host, backend, clock, "trawlkit-cli");
  bool done = false;
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  // A signal only raises the flag; this watcher turns it into an interrupted network call.
  std::thread watcher([&] {
    std::unique_lock lock(doneMutex);
    while (!done) {
      if (host.CancelRequested()) {
        crawler.Interrupt();
        return;
      }
      doneSignal.wait_for(lock, std::chrono::milliseconds(100));
    }
  });
  crawler.RunDownload();
  crawler.HandBackSettings(settings);
  {
    std::lock_guard lock(doneMutex);
    done = true;
  }
  doneSignal.notify_all();
  watcher.join();
  // Said where it is seen whatever -q or a redirected output does with the log.
  if (!crawler.CacheRefusal().empty()) *c.err << "trawlkit-cli: " << crawler.CacheRefusal() << "\n";
  // What an update changed, which the log's lines do not tell apart.
  *c.err << CopyChangesText(crawler.State()) << "\n";
  // The start page "/" is saved as ~TrawlDlFile_0.htm: say which file the copy starts from.
  const std::filesystem::path start = crawler.StartPageCopy();
  if (!start.empty()) *c.err << "open: " << TerminalSafe(start.string()) << "\n";
  if (host.CancelRequested()) return kExitCancelled;
  // Also an NG line that changed no counter (an FTP server not reached), or a run log that could
  // not be written, is a run that failed.
  const RunState& state = crawler.State();
  return state.Errors > 0 || state.NgLines > 0 || state.LogFailed ? kExitRunErrors : kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliContext& c) {
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(args, options, error))
    return Fail(c, "trawlkit-cli: " + error + "\nTry 'trawlkit-cli --help'.");
  if (options.help) {
    *c.out << CliUsage();
    return kExitOk;
  }
  if (options.version) {
    *c.out << TerminalSafe(VersionText());
    return kExitOk;
  }
  ProjectSettings settings;
  if (!options.project.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.project, ec))
      return Fail(c, "trawlkit-cli: " + Shown(options.project) +
                         ": no such project file (--save-project makes one from the options)");
    LoadProject(settings, options.project);
    // A Ctrl-C while a large project loads ends the program there, before anything is made.
    if (c.cancel && *c.cancel) return kExitCancelled;
  }
  if (auto refused = ApplyOptions(options, settings, c)) return Fail(c, *refused);
  RunClock& clock = c.clock ? *c.clock : SystemClock();
  if (auto refused = SettleSaveFolder(options, settings, c, clock.LocalTime())) return Fail(c, *refused);
  const std::string projectFile = options.saveProject ? TypedPath(*options.saveProject, c.home) : "";
  if (options.dryRun) {
    *c.out << TerminalSafe(DryRunText(settings, projectFile, clock.LocalTime()));
    return kExitOk;
  }
  if (auto refused = MakeSaveFolder(settings.SaveDir)) return Fail(c, *refused);
  if (!projectFile.empty()) {
    settings.ProjectPath = projectFile;
    if (!SaveProject(settings, projectFile))
      return Fail(c, "trawlkit-cli: " + Shown(projectFile) + ": cannot be written; give another name with --save-project");
  }
  return Run(settings, options, c, clock);
}

namespace {
std::atomic<bool> g_cancel{false};
// The first signal winds the run down; a second one, for a user who will not wait, ends the
// program at once.
extern "C" void OnCancelSignal(int sig) {
  if (g_cancel.exchange(true)) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
}
}  // namespace

int CliMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  CliContext c;
  c.out = &out;
  c.err = &err;
  bool terminalIn = isatty(STDIN_FILENO) != 0;
  c.in = terminalIn ? &std::cin : nullptr;
  c.input = &std::cin;
  c.passwordEchoOff = terminalIn;
  c.progress = isatty(STDERR_FILENO) != 0;
  c.logOnTerminal = isatty(STDOUT_FILENO) != 0;
  c.home = HomeFolder();
  c.cancel = &g_cancel;
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {}, oldTerm {}, oldFileSize {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  // Under a file size limit (ulimit -f) a write past it fails with EFBIG, which the run logs as a
  // failed file and goes on, instead of the signal ending the program with no summary.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &oldFileSize);
  int status = RunCli(args, c);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  sigaction(SIGXFSZ, &oldFileSize, nullptr);
  return status;
}

}  // namespace tk::cli

#include "cli/cli_main.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <filesystem>
#include <iostream>
#include <thread>
#include <unistd.h>

#include "cli/cli_options.h"
#include "cli/terminal_host.h"
#include "engine/crawler.h"
#include "engine/default_save_dir.h"
#include "engine/local_names.h"
#include "engine/save_folder.h"
#include "settings/project.h"
#include "settings/text.h"

namespace tk::cli {
namespace {

constexpr const char* kNoStartUrl = "スタートページリスト(URL)を追加してください！";
constexpr const char* kBadUrl = "有効なURL(HTTP/FTP)ファイルを入力してください！";
constexpr const char* kBadLayers = "リンク層数を「10」以内にしてください！";
constexpr const char* kNotProject = "プロジェクトファイルではありません！";
constexpr const char* kNoSaveFolder = "ファイル保存ディレクトリ作成失敗！";

int Fail(CliContext& c, const std::string& message) {
  *c.err << message << "\n";
  return kExitBadInput;
}

bool IsHttpOrFtp(const std::string& text, bool https) {
  auto url = inet::ParseUrl(text);
  return url && (url->service == inet::Service::Http || url->service == inet::Service::Ftp ||
                 (https && url->service == inet::Service::Https));
}

// A message when the value is refused: one that is no number at all is told so.
std::optional<std::string> ParseLayers(const std::string& text, int& layers) {
  const std::size_t digits = text.starts_with('-') ? 1 : 0;
  if (text.size() == digits || text.find_first_not_of("0123456789", digits) != std::string::npos)
    return "trawlkit-cli: number of layers is not a number: " + text;
  if (digits || text.size() > 3 || std::stoi(text) > 10) return std::string(kBadLayers);
  layers = std::stoi(text);
  return std::nullopt;
}

// Applies the options to `s`; a message when one of them is refused.
std::optional<std::string> ApplyOptions(const CliOptions& o, ProjectSettings& s) {
  // First: whether an https URL given below is taken depends on it.
  if (o.https) s.Https = *o.https;
  for (const std::string& url : o.urls) {
    if (!IsHttpOrFtp(url, s.Https != 0)) return kBadUrl;
    s.StartUrls.push_back(url);
  }
  if (o.layers)
    if (auto refused = ParseLayers(*o.layers, s.LinkLayers)) return refused;
  if (o.saveProject && !IsProjectFileName(*o.saveProject)) return kNotProject;
  if (o.dir) s.SaveDir = *o.dir;
  if (o.sameSite) s.SameSiteOnly = *o.sameSite;
  if (o.flat) s.SaveFlat = *o.flat;
  if (o.cache) s.UseCache = *o.cache;
  if (o.confirm) s.ConfirmOverwrite = *o.confirm;
  if (o.exclude) s.ExcludeType = AsciiLower(*o.exclude);
  if (s.StartUrls.empty()) return kNoStartUrl;
  return std::nullopt;
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
  // What an update changed, which the log's lines do not tell apart.
  *c.err << CopyChangesText(crawler.State()) << "\n";
  // The start page "/" is saved as ~TrawlDlFile_0.htm: say which file the copy starts from.
  const std::filesystem::path start = crawler.StartPageCopy();
  if (!start.empty()) *c.err << "open: " << start.string() << "\n";
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
    *c.out << "trawlkit-cli " << TRAWLKIT_VERSION << "\n";
    return kExitOk;
  }
  ProjectSettings settings;
  if (!options.project.empty()) {
    if (!IsProjectFileName(options.project)) return Fail(c, kNotProject);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.project, ec))
      return Fail(c, "trawlkit-cli: " + options.project + ": no such project file");
    LoadProject(settings, options.project);
    // A Ctrl-C while a large project loads ends the program there, before anything is made.
    if (c.cancel && *c.cancel) return kExitCancelled;
  }
  if (auto refused = ApplyOptions(options, settings)) return Fail(c, *refused);

  // A folder typed here is the folder the shell would mean; a project's must already be one.
  if (options.dir) {
    std::error_code ec;
    auto folder = ResolveSaveFolder(*options.dir, c.home, std::filesystem::current_path(ec));
    if (!folder) return Fail(c, kNoSaveFolder);
    settings.SaveDir = *folder;
  }
  RunClock& clock = c.clock ? *c.clock : SystemClock();
  if (settings.SaveDir.empty()) settings.SaveDir = DefaultSaveDir(c.home, clock.LocalTime());
  if (!IsAbsoluteSaveFolder(settings.SaveDir)) return Fail(c, kNoSaveFolder);
  if (options.dryRun) {
    *c.out << "dry run: nothing is fetched\n";
    ProjectSettings shown = settings;
    shown.SaveDir = WithTrailingSlash(shown.SaveDir);
    *c.out << SettingsBlock(shown, clock.LocalTime());
    // Not part of the run log's settings block, whose lines stay as they are.
    *c.out << "Using HTTPS:" << (settings.Https ? "Yes" : "No") << "\r\n";
    for (const std::string& url : settings.StartUrls) *c.out << url << "\n";
    return kExitOk;
  }
  if (MakeDirs(settings.SaveDir) != 0) return Fail(c, kNoSaveFolder);
  if (options.saveProject) {
    settings.ProjectPath = *options.saveProject;
    if (!SaveProject(settings, *options.saveProject))
      return Fail(c, "trawlkit-cli: " + *options.saveProject + ": cannot be written");
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
  c.passwordEchoOff = terminalIn;
  c.progress = isatty(STDERR_FILENO) != 0;
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

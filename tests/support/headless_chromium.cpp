#include "support/headless_chromium.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "support/saved_site.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tk::test {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> BrowserArgs(const fs::path& page, const fs::path& profile) {
  return {ChromiumPath(), "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
          "--disable-background-networking", "--disable-component-update", "--disable-sync",
          "--disable-extensions", "--disable-breakpad", "--disable-crash-reporter",
          "--user-data-dir=" + profile.string(),
          // The checker reads the saved pages' documents, which file:// keeps apart otherwise.
          "--allow-file-access-from-files",
          // Off the network: a link left pointing at a server fails instead of loading.
          "--proxy-server=127.0.0.1:9", "--host-resolver-rules=MAP * ~NOTFOUND",
          "--virtual-time-budget=15000", "--dump-dom", FileUrl(page)};
}

// Starts argv in a process group of its own with stdout and stderr in files; the child's pid,
// or -1 with `error` set.
pid_t Spawn(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err, std::string& error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error = "cannot run " + argv[0] + ": " + std::strerror(rc);
    return -1;
  }
  return pid;
}

// Waits for `pid` until `timeout`; true when it ended by itself. Either way nothing of its
// process group is left running afterwards.
bool WaitOrKill(pid_t pid, std::chrono::seconds timeout, int& status) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(-pid, SIGKILL);  // the renderers and helpers the browser started
  if (!ended) waitpid(pid, &status, 0);
  return ended;
}

std::string Tail(const std::string& text, std::size_t n) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

std::string Unescape(std::string text) {
  static constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", "\xC2\xA0"}, {"&amp;", "&"}};
  for (const auto& [entity, ch] : kEntities)
    for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + ch.size()))
      text.replace(at, entity.size(), ch);
  return text;
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, sep);) out.push_back(field);
  return out;
}

// The problem with an item of the verdict whose URL must lead to a saved file, or "".
std::string CheckTarget(const fs::path& save, const std::string& url) {
  const fs::path file = FileUrlPath(url);
  if (file.empty()) return "is not a local file";
  if (!IsInside(save, file)) return "leads outside the save folder";
  if (!fs::is_regular_file(file)) return "leads to no file";
  return {};
}

std::string CheckItem(const std::vector<std::string>& f, const fs::path& save, const std::set<std::string>& kept) {
  const std::string& kind = f[0];
  if (kind == "PAGE") {
    const std::string title = PageTitle(ReadFile(FileUrlPath(f[1])));
    return f.size() == 3 && !title.empty() && f[2] == title ? "" : "did not render as the saved page";
  }
  if (f.size() < 4) return "is incomplete";
  if (kind == "CSS") return f[3] == "rgb(1, 2, 3)" ? "" : "the style sheet did not apply";
  if (kind == "FONT") return f[3] == "loaded" ? "" : "the web font did not load";
  if (kind == "LINK" && kept.contains(f[2])) return {};
  // A hyperlink to a file the run did not save leads to the server; the disk check tells
  // which ones may.
  if (kind == "LINK" && (f[2].starts_with("http://") || f[2].starts_with("ftp://"))) return {};
  if (std::string problem = CheckTarget(save, f[3]); !problem.empty()) return problem;
  if ((kind == "IMG" || kind == "BACKGROUND" || kind == "CSSBG") && (f.size() < 5 || f[4] != "ok"))
    return "did not load";
  if (kind == "SCRIPT" && (f.size() < 5 || f[4] != "ran")) return "did not run";
  if (kind == "FRAME" && (f.size() < 5 || f[4] != PageTitle(ReadFile(FileUrlPath(f[3])))))
    return "did not show the saved page";
  return {};
}

}  // namespace

std::string ChromiumPath() {
  const char* chosen = std::getenv("TRAWLKIT_CHROMIUM");
  return chosen && *chosen ? chosen : "/usr/bin/chromium";
}

BrowserRun DumpDomOffline(const fs::path& page, const fs::path& profile, std::chrono::seconds timeout) {
  BrowserRun run;
  const auto argv = BrowserArgs(page, profile);
  if (access(argv[0].c_str(), X_OK) != 0) {
    run.message = argv[0] + " is not there to run";
    return run;
  }
  fs::create_directories(profile);
  const fs::path out = profile / "stdout.txt";
  const fs::path err = profile / "stderr.txt";
  const pid_t pid = Spawn(argv, out, err, run.message);
  if (pid < 0) return run;
  int status = 0;
  const bool ended = WaitOrKill(pid, timeout, status);
  run.dom = ReadFile(out);
  // A browser that ends by itself without printing a document never got going; one that
  // printed something, or had to be killed, did start, and its result counts.
  run.started = !ended || run.dom.find("<html") != std::string::npos;
  if (!ended) run.message = "killed after " + std::to_string(timeout.count()) + " s";
  else if (!run.started)
    run.message = argv[0] + " ended with status " + std::to_string(status) + " and printed no page: " +
                  Tail(ReadFile(err), 600);
  return run;
}

std::string CheckerPage(const std::vector<fs::path>& pages) {
  std::string list = "[";
  for (const auto& page : pages) list += (list.size() > 1 ? ",\n  \"" : "\n  \"") + FileUrl(page) + "\"";
  list += "]";
  std::string html = ReadFile(fs::path(TRAWLKIT_TEST_DATA) / "offline_check.html");
  const std::string marker = "/*PAGES*/[]";
  const std::size_t at = html.find(marker);
  if (at != std::string::npos) html.replace(at, marker.size(), list);
  return html;
}

std::vector<std::string> CheckVerdict(const std::string& dom, const fs::path& save, const std::set<std::string>& kept,
                                      std::size_t pages) {
  static constexpr std::string_view kOpen = "<pre id=\"verdict\">";
  const std::size_t open = dom.find(kOpen);
  const std::size_t close = dom.find("</pre>", open);
  if (open == std::string::npos || close == std::string::npos) return {"the checker's verdict is missing"};
  const std::string verdict = Unescape(dom.substr(open + kOpen.size(), close - open - kOpen.size()));
  std::vector<std::string> problems;
  std::size_t opened = 0;
  bool done = false;
  for (const std::string& line : Split(verdict, '\n')) {
    const auto fields = Split(line, '\t');
    if (fields.empty()) continue;
    if (fields[0] == "DONE") done = true;
    if (fields[0] == "DONE" || fields[0] == "pending") continue;
    if (fields[0] == "PAGE") ++opened;
    if (std::string problem = fields[0] == "ERROR" ? "the checker failed" : CheckItem(fields, save, kept);
        !problem.empty())
      problems.push_back(line + ": " + problem);
  }
  if (!done) problems.push_back("the checker did not finish: " + Tail(verdict, 300));
  if (opened != pages)
    problems.push_back("the checker opened " + std::to_string(opened) + " of " + std::to_string(pages) + " pages");
  return problems;
}

}  // namespace tk::test

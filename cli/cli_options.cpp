#include "cli/cli_options.h"

#include <map>

namespace tk::cli {
namespace {

// Options that switch one setting: the name, the field and the value it sets.
using Toggle = std::optional<int> CliOptions::*;
const std::map<std::string, std::pair<Toggle, int>, std::less<>>& Toggles() {
  static const std::map<std::string, std::pair<Toggle, int>, std::less<>> toggles = {
      {"--same-site", {&CliOptions::sameSite, 1}}, {"--all-sites", {&CliOptions::sameSite, 0}},
      {"--flat", {&CliOptions::flat, 1}},          {"--server-tree", {&CliOptions::flat, 0}},
      {"--cache", {&CliOptions::cache, 1}},        {"--no-cache", {&CliOptions::cache, 0}},
      {"--confirm", {&CliOptions::confirm, 1}},    {"--no-confirm", {&CliOptions::confirm, 0}},
      {"--https", {&CliOptions::https, 1}},        {"--no-https", {&CliOptions::https, 0}},
  };
  return toggles;
}

enum class Valued { Url, Dir, Layers, Exclude, SaveProject, None };

Valued ValuedOption(std::string_view name) {
  if (name == "-u" || name == "--url") return Valued::Url;
  if (name == "-d" || name == "--dir") return Valued::Dir;
  if (name == "-l" || name == "--layers") return Valued::Layers;
  if (name == "-x" || name == "--exclude") return Valued::Exclude;
  if (name == "--save-project") return Valued::SaveProject;
  return Valued::None;
}

void Store(CliOptions& o, Valued which, const std::string& value) {
  switch (which) {
    case Valued::Url: o.urls.push_back(value); break;
    case Valued::Dir: o.dir = value; break;
    case Valued::Layers: o.layers = value; break;
    case Valued::Exclude: o.exclude = value; break;
    case Valued::SaveProject: o.saveProject = value; break;
    case Valued::None: break;
  }
}

bool Flag(CliOptions& o, std::string_view arg) {
  if (auto it = Toggles().find(arg); it != Toggles().end()) {
    o.*(it->second.first) = it->second.second;
    return true;
  }
  if (arg == "--dry-run") return o.dryRun = true;
  if (arg == "-q" || arg == "--quiet") return o.quiet = true;
  if (arg == "-h" || arg == "--help") return o.help = true;
  if (arg == "--version") return o.version = true;
  return false;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (!o.project.empty()) {
        error = "only one project file may be given: " + arg;
        return false;
      }
      o.project = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (Flag(o, arg)) continue;
    std::size_t eq = arg.find('=');
    std::string name = arg.substr(0, arg.rfind("--", 0) == 0 ? eq : std::string::npos);
    Valued which = ValuedOption(name);
    if (which == Valued::None) {
      error = "unknown option: " + arg;
      return false;
    }
    if (name.size() < arg.size()) {
      Store(o, which, arg.substr(eq + 1));
    } else if (i + 1 < args.size()) {
      Store(o, which, args[++i]);
    } else {
      error = "option needs a value: " + arg;
      return false;
    }
  }
  return true;
}

const char* CliUsage() {
  return "Usage: trawlkit-cli [options] [PROJECT.tkp]\n"
         "Downloads the start pages of a project and the files they link to.\n"
         "\n"
         "  -u, --url URL          add a start URL (HTTP or FTP, HTTPS with --https; repeatable)\n"
         "  -d, --dir DIR          save folder (default ~/TrawlFiles/YYYYMMDD)\n"
         "  -l, --layers N         layers of links to follow, 0..10\n"
         "      --same-site        stay on each start page's site\n"
         "      --all-sites        follow links to every site\n"
         "      --flat             save every file in one folder\n"
         "      --server-tree      keep the server's folder structure\n"
         "      --cache            let the cache answer and resume downloads\n"
         "      --no-cache         always fetch from the server\n"
         "      --confirm          ask before overwriting a file\n"
         "      --no-confirm       overwrite without asking\n"
         "      --https            fetch https:// URLs too (certificates are always verified)\n"
         "      --no-https         refuse https:// URLs\n"
         "  -x, --exclude TYPES    file types to leave out, e.g. .gif.jpg\n"
         "      --save-project F   save the settings to F (.tkp) before the run\n"
         "      --dry-run          show the settings and start URLs, fetch nothing\n"
         "  -q, --quiet            no log on standard output\n"
         "  -h, --help             show this help\n"
         "      --version          show the version\n"
         "\n"
         "Exit status: 0 no error, 1 an NG line in the run, 2 bad input, 3 cancelled.\n";
}

}  // namespace tk::cli

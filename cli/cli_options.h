#pragma once
// The command line of trawlkit-cli, read into overrides of a project's settings.
#include <optional>
#include <string>
#include <vector>

namespace tk::cli {

struct CliOptions {
  std::string project;                 // PROJECT.tkp, empty for the defaults
  std::vector<std::string> urls;       // added after the project's start URLs, in order
  std::optional<std::string> dir;
  std::optional<std::string> layers;   // checked later, with the system's own message
  std::optional<int> sameSite;
  std::optional<int> flat;
  std::optional<int> cache;
  std::optional<int> confirm;
  std::optional<int> https;
  std::optional<std::string> exclude;
  std::optional<std::string> saveProject;
  bool dryRun = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// False with a one-line `error` for an unknown option, a missing value or a second project.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The text of --help.
const char* CliUsage();

}  // namespace tk::cli

#pragma once
// The command line of trawlkit-cli, read into overrides of a project's settings. Values are kept
// as typed here and checked when they are applied, so that a message can name them.
#include <optional>
#include <string>
#include <vector>

namespace tk::cli {

// A start URL typed with -u, or a file of them given with -i ("-": standard input), in the order
// of the command line.
struct StartUrlArg {
  bool listFile = false;
  std::string text;
};

struct CliOptions {
  std::string project;                 // PROJECT.tkp, empty for the defaults
  std::vector<StartUrlArg> urls;       // added after the project's start URLs, in order
  std::optional<std::string> dir;
  std::optional<std::string> layers;
  std::optional<int> sameSite;
  std::optional<int> flat;
  std::optional<int> cache;
  std::optional<int> confirm;
  std::optional<int> https;
  std::optional<int> robots;
  std::vector<std::string> exclude;    // -x, each adding its types; any replaces the project's
  std::optional<std::string> saveProject;
  std::optional<std::string> wait;
  std::optional<std::string> limitRate;
  std::optional<std::string> connections;
  std::optional<std::string> userAgent;
  std::optional<std::string> loadCookies;
  std::vector<std::string> includeUrls;  // added to the project's
  std::vector<std::string> excludeUrls;
  std::optional<std::string> maxSize;
  std::optional<std::string> timeout;
  std::optional<std::string> tries;
  bool dryRun = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Short options bundle ("-ql2") and take their value attached or as the next argument; long ones
// take it after "=" or as the next argument; "--" ends the options. False with a one-line `error`
// for an unknown option, a missing or unwanted value, or an argument that is no project.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The text of --help.
const char* CliUsage();

}  // namespace tk::cli

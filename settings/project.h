#pragma once
// The settings of one download job and the .tkp project file that stores them.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

inline constexpr std::string_view kUntitledProject = "無題.tkp";

struct ProjectSettings {
  std::string ProjectPath{kUntitledProject};
  std::vector<std::string> StartUrls;
  std::string SaveDir;
  std::string ExcludeType;  // lower-case extensions with their dots, e.g. ".exe.zip"
  int LinkLayers = 0;       // 0..10
  int SameSiteOnly = 1;
  int SaveFlat = 1;
  int UseCache = 1;
  // 1 asks before overwriting, 0 overwrites; the overwrite question may set 0 (overwrite all)
  // or -1 (skip all) during a run, and the value then stays.
  int ConfirmOverwrite = 0;
  // Non-zero: https:// URLs are fetched like http:// ones; 0: refused as an unsupported service.
  int Https = 0;

  // What a user sets in the advanced-settings dialog or with the CLI's wget-style options. A
  // project written before these existed loads with these defaults, which are the behaviour of
  // those builds except that robots.txt is honoured and a failed request is tried 3 times.
  int Robots = 1;               // honour robots.txt and <meta name="robots" content="nofollow">
  double WaitSeconds = 0;       // pause between the end of one request and the start of the next
  long long LimitRate = 0;      // bytes per second over the whole run, 0 = no limit
  int Connections = 5;          // 1..5 at once to one server
  std::string UserAgent;        // empty: the program's own name
  std::string LoadCookies;      // a Netscape cookies.txt read at the start of a run, empty = none
  std::vector<std::string> IncludeUrls;  // globs on path and query; when any, a link must match one
  std::vector<std::string> ExcludeUrls;  // globs on path and query; an exclude wins over an include
  long long MaxSize = 0;        // bytes; a larger file is not saved; 0 = no limit
  // Follow links however deep. LinkLayers then still holds 10, which is what a build that does not
  // know this key reads.
  int UnlimitedLayers = 0;
  double TimeoutSeconds = 60;   // to connect, and for a transfer that receives nothing
  int Tries = 3;                // attempts for answers a retry may pass (reset, time-out, 429, 5xx)
};

inline constexpr int kMaxConnections = 5;
// Links are followed at most this many layers deep. An unlimited project stores this count too:
// it is what a build that knows no "unlimited" follows.
inline constexpr int kMaxLinkLayers = 10;
constexpr bool IsLayerCount(int layers) { return layers >= 0 && layers <= kMaxLinkLayers; }
inline constexpr int kMaxTries = 100;

// The one record the wizard edits and a run reads.
ProjectSettings& Project();

// At least 4 characters and ending in ".tkp", ignoring case.
bool IsProjectFileName(std::string_view name);

// Loads `name` into `settings`, or resets it to the defaults when `name` is not a project file
// name; a new project's Https is the last one used (LastHttpsUsed). A project name is recorded in the project history (and the history written) before the
// file is read, whether or not it exists. Reports nothing.
void LoadProject(ProjectSettings& settings, std::string_view name);
void LoadProject(std::string_view name);

// Writes the [SETTING] keys one by one and replaces [URL] whole; other keys and sections stay.
// Records the path in the project history. Returns false when the file could not be written.
bool SaveProject(const ProjectSettings& settings, const std::string& path);
bool SaveProject(const std::string& path);

// The Https value the last project used, as Trawlkit.ini remembers it (0 when it does not), and
// remembering a new one.
int LastHttpsUsed();
void RememberHttpsUsed(int https);

// "Trawlkit(" + file name of ProjectPath + ")" + the page's word.
std::string MakeCaption(std::string_view projectPath, std::string_view pageWord);
std::string MakeCaption(std::string_view pageWord);

}  // namespace tk

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
};

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

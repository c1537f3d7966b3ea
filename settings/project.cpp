#include "settings/project.h"

#include "settings/app_ini.h"
#include "settings/history.h"
#include "settings/ini_file.h"
#include "settings/text.h"

namespace tk {
namespace {

constexpr std::string_view kSetting = "SETTING";
constexpr std::string_view kUrl = "URL";
constexpr std::string_view kRegister = "REGISTER";

// "/home/u/Web/" loads as "/home/u/Web", while "/" stays "/": the trailing separator goes only
// when another one stands before it.
std::string DropTrailingSeparator(std::string dir) {
  if (dir.size() >= 2 && dir.back() == '/' && dir.find('/') < dir.size() - 1) dir.pop_back();
  return dir;
}

}  // namespace

ProjectSettings& Project() {
  static ProjectSettings settings;
  return settings;
}

bool IsProjectFileName(std::string_view name) {
  return name.size() >= 4 && EndsWithNoCase(name, ".tkp");
}

void LoadProject(ProjectSettings& settings, std::string_view name) {
  settings.StartUrls.clear();
  if (!IsProjectFileName(name)) {
    settings = ProjectSettings{};
    settings.Https = LastHttpsUsed();
    return;
  }
  AddProjectHistory(name);
  SaveProjectHistory();

  const IniDocument doc = IniDocument::Load(std::string(name));
  settings.SaveDir = DropTrailingSeparator(doc.GetString(kSetting, "SaveDir", ""));
  settings.ExcludeType = doc.GetString(kSetting, "ExcludeType", "");
  settings.SameSiteOnly = doc.GetInt(kSetting, "Page", 1);
  settings.SaveFlat = doc.GetInt(kSetting, "Save", 1);
  settings.UseCache = doc.GetInt(kSetting, "Cashe", 1);
  settings.ConfirmOverwrite = doc.GetInt(kSetting, "Confirm", 0);
  settings.LinkLayers = doc.GetInt(kSetting, "Link", 0);
  // Only values above the range are mended; a negative count is as good as none.
  if (settings.LinkLayers > 10) settings.LinkLayers = 0;
  if (settings.LinkLayers < 0) settings.LinkLayers = 0;
  settings.Https = doc.GetInt(kSetting, "Https", 0) != 0 ? 1 : 0;
  for (auto& [key, url] : doc.Entries(kUrl))
    if (!url.empty()) settings.StartUrls.push_back(std::move(url));
  settings.ProjectPath = std::string(name);
}

void LoadProject(std::string_view name) { LoadProject(Project(), name); }

bool SaveProject(const ProjectSettings& settings, const std::string& path) {
  std::vector<std::string> urlLines;
  urlLines.reserve(settings.StartUrls.size());
  for (size_t i = 0; i < settings.StartUrls.size(); ++i)
    urlLines.push_back(NumberedLine("URL", i, settings.StartUrls[i]));

  // One rewrite for the whole project; the keys keep the order in which they are written one by
  // one, and every other line of the file stays as it was.
  const bool ok = IniEditFile(path, [&](IniDocument& doc) {
    doc.Set(kSetting, "SaveDir", settings.SaveDir);
    doc.Set(kSetting, "ExcludeType", settings.ExcludeType);
    doc.Set(kSetting, "Page", std::to_string(settings.SameSiteOnly));
    doc.Set(kSetting, "Cashe", std::to_string(settings.UseCache));
    doc.Set(kSetting, "Save", std::to_string(settings.SaveFlat));
    doc.Set(kSetting, "Confirm", std::to_string(settings.ConfirmOverwrite));
    doc.Set(kSetting, "Link", std::to_string(settings.LinkLayers));
    doc.Set(kSetting, "Https", std::to_string(settings.Https ? 1 : 0));
    doc.ReplaceSection(kUrl, urlLines);
  });
  AddProjectHistory(path);
  SaveProjectHistory();
  return ok;
}

bool SaveProject(const std::string& path) { return SaveProject(Project(), path); }

int LastHttpsUsed() { return IniReadInt(AppIniPath(), kRegister, "Https", 0) != 0 ? 1 : 0; }

void RememberHttpsUsed(int https) {
  // Written when it differs from the file: every Next would otherwise rewrite Trawlkit.ini.
  const std::string_view value = https ? "1" : "0";
  if (IniReadString(AppIniPath(), kRegister, "Https", "") == value) return;
  EnsureAppIniFolder();
  IniWriteString(AppIniPath(), kRegister, "Https", value);
}

std::string MakeCaption(std::string_view projectPath, std::string_view pageWord) {
  const size_t slash = projectPath.rfind('/');
  const std::string_view file = slash == std::string_view::npos ? projectPath : projectPath.substr(slash + 1);
  std::string caption = "Trawlkit(";
  caption += file;
  caption += ')';
  caption += pageWord;
  return caption;
}

std::string MakeCaption(std::string_view pageWord) { return MakeCaption(Project().ProjectPath, pageWord); }

}  // namespace tk

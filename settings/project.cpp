#include "settings/project.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/text.h"
#include "settings/app_ini.h"
#include "settings/history.h"
#include "settings/ini_file.h"
#include "settings/url_password.h"

namespace tk {
namespace {

constexpr std::string_view kSetting = "SETTING";
constexpr std::string_view kUrl = "URL";
constexpr std::string_view kRegister = "REGISTER";
constexpr std::string_view kInclude = "INCLUDE";
constexpr std::string_view kExclude = "EXCLUDE";

// Decimal texts ("0.5") read as the C locale writes them; anything else keeps the default.
double GetDecimal(const IniDocument& doc, std::string_view key, double def) {
  const std::optional<std::string> text = doc.Get(kSetting, key);
  if (!text || text->empty()) return def;
  double value = 0;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value) && value >= 0 ? value : def;
}

long long GetSize(const IniDocument& doc, std::string_view key) {
  const std::optional<std::string> text = doc.Get(kSetting, key);
  long long value = 0;
  if (!text) return 0;
  auto [ptr, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  return ec == std::errc() && value > 0 ? value : 0;
}

std::string DecimalText(double value) {
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, ptr) : "0";
}

std::vector<std::string> ListLines(std::string_view prefix, const std::vector<std::string>& items) {
  std::vector<std::string> lines;
  lines.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) lines.push_back(NumberedLine(prefix, i, items[i]));
  return lines;
}

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
  // A count out of the range is as good as none.
  if (!IsLayerCount(settings.LinkLayers)) settings.LinkLayers = 0;
  settings.Https = doc.GetInt(kSetting, "Https", 0) != 0 ? 1 : 0;
  const ProjectSettings defaults;
  settings.Robots = doc.GetInt(kSetting, "Robots", defaults.Robots) != 0 ? 1 : 0;
  settings.WaitSeconds = GetDecimal(doc, "Wait", defaults.WaitSeconds);
  settings.LimitRate = GetSize(doc, "LimitRate");
  settings.Connections = std::clamp(doc.GetInt(kSetting, "Connections", kMaxConnections), 1, kMaxConnections);
  settings.UserAgent = doc.GetString(kSetting, "UserAgent", "");
  settings.LoadCookies = doc.GetString(kSetting, "LoadCookies", "");
  settings.MaxSize = GetSize(doc, "MaxSize");
  settings.UnlimitedLayers = doc.GetInt(kSetting, "LinkUnlimited", 0) != 0 ? 1 : 0;
  if (settings.UnlimitedLayers) settings.LinkLayers = kMaxLinkLayers;
  settings.TimeoutSeconds = GetDecimal(doc, "Timeout", defaults.TimeoutSeconds);
  if (settings.TimeoutSeconds <= 0) settings.TimeoutSeconds = defaults.TimeoutSeconds;
  settings.Tries = std::clamp(doc.GetInt(kSetting, "Tries", defaults.Tries), 1, kMaxTries);
  settings.IncludeUrls = doc.NonEmptyValues(kInclude);
  settings.ExcludeUrls = doc.NonEmptyValues(kExclude);
  settings.StartUrls = doc.NonEmptyValues(kUrl);
  settings.ProjectPath = std::string(name);
}

void LoadProject(std::string_view name) { LoadProject(Project(), name); }

bool SaveProject(const ProjectSettings& settings, const std::string& path) {
  // A password given in a start URL is not kept in clear in a file that travels: the project
  // keeps the URL with its user, and the server's 401 brings the password question back (or
  // ~/.netrc answers it) when the project is run again.
  std::vector<std::string> startUrls;
  startUrls.reserve(settings.StartUrls.size());
  for (const std::string& url : settings.StartUrls) startUrls.push_back(WithoutPassword(url));
  const std::vector<std::string> urlLines = ListLines("URL", startUrls);

  // One rewrite for the whole project; the keys keep the order in which they are written one by
  // one, and every other line of the file stays as it was.
  const bool ok = IniEditFile(path, [&](IniDocument& doc) {
    doc.Set(kSetting, "SaveDir", settings.SaveDir);
    doc.Set(kSetting, "ExcludeType", settings.ExcludeType);
    doc.Set(kSetting, "Page", std::to_string(settings.SameSiteOnly));
    doc.Set(kSetting, "Cashe", std::to_string(settings.UseCache));
    doc.Set(kSetting, "Save", std::to_string(settings.SaveFlat));
    doc.Set(kSetting, "Confirm", std::to_string(settings.ConfirmOverwrite));
    doc.Set(kSetting, "Link", std::to_string(settings.UnlimitedLayers ? kMaxLinkLayers : settings.LinkLayers));
    doc.Set(kSetting, "Https", std::to_string(settings.Https ? 1 : 0));
    doc.ReplaceSection(kUrl, urlLines);
    // Written after the keys an earlier build knows, which it reads as before and whose values
    // it keeps; it ignores these.
    doc.Set(kSetting, "Robots", settings.Robots ? "1" : "0");
    doc.Set(kSetting, "Wait", DecimalText(settings.WaitSeconds));
    doc.Set(kSetting, "LimitRate", std::to_string(settings.LimitRate));
    doc.Set(kSetting, "Connections", std::to_string(settings.Connections));
    doc.Set(kSetting, "UserAgent", settings.UserAgent);
    doc.Set(kSetting, "LoadCookies", settings.LoadCookies);
    doc.Set(kSetting, "MaxSize", std::to_string(settings.MaxSize));
    doc.Set(kSetting, "LinkUnlimited", settings.UnlimitedLayers ? "1" : "0");
    doc.Set(kSetting, "Timeout", DecimalText(settings.TimeoutSeconds));
    doc.Set(kSetting, "Tries", std::to_string(settings.Tries));
    // A project without URL filters gets no empty sections for them.
    if (!settings.IncludeUrls.empty() || doc.HasSection(kInclude))
      doc.ReplaceSection(kInclude, ListLines("Include", settings.IncludeUrls));
    if (!settings.ExcludeUrls.empty() || doc.HasSection(kExclude))
      doc.ReplaceSection(kExclude, ListLines("Exclude", settings.ExcludeUrls));
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

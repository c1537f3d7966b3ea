#include "cli/dry_run.h"

#include <charconv>
#include <filesystem>

#include "cli/terminal_text.h"
#include "engine/crawler.h"

namespace tk::cli {
namespace {

std::string Decimal(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : "?";
}

std::string Joined(const std::vector<std::string>& items, std::string_view none) {
  if (items.empty()) return std::string(none);
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
  return text;
}

// The settings the run log's block leaves out, in its style. Not part of the block, whose lines
// a reader of the log may rely on.
std::string MoreSettings(const ProjectSettings& s) {
  const auto line = [](std::string_view label, const std::string& value) {
    return std::string(label) + ":" + value + "\r\n";
  };
  const auto bytes = [](long long n, std::string_view none, std::string_view unit) {
    return n > 0 ? std::to_string(n) + std::string(unit) : std::string(none);
  };
  std::string text = line("Using HTTPS", s.Https ? "Yes" : "No");
  text += line("Layers without limit", s.UnlimitedLayers ? "Yes" : "No");
  text += line("Honour robots.txt", s.Robots ? "Yes" : "No");
  text += line("Wait between requests", Decimal(s.WaitSeconds) + " s");
  text += line("Rate limit", bytes(s.LimitRate, "None", " bytes/s"));
  text += line("Connections per server", std::to_string(s.Connections));
  text += line("User agent", s.UserAgent.empty() ? "(the program's own)" : s.UserAgent);
  text += line("Cookies from", s.LoadCookies.empty() ? "(none)" : s.LoadCookies);
  text += line("Include URLs", Joined(s.IncludeUrls, "(all)"));
  text += line("Exclude URLs", Joined(s.ExcludeUrls, "(none)"));
  text += line("Largest file", bytes(s.MaxSize, "No limit", " bytes"));
  text += line("Time-out", Decimal(s.TimeoutSeconds) + " s");
  text += line("Tries", std::to_string(s.Tries));
  return text;
}

}  // namespace

std::string DryRunText(const ProjectSettings& settings, const std::string& projectFile, const std::tm& now) {
  ProjectSettings shown = settings;
  shown.SaveDir = WithTrailingSlash(shown.SaveDir);
  std::string text = "dry run: nothing is fetched\n";
  text += SettingsBlock(shown, now);
  text += MoreSettings(settings);
  // As the run log and a saved project will show them: the user stays, the password never does.
  for (const std::string& url : settings.StartUrls) text += WithoutPassword(url) + "\n";
  std::error_code ec;
  text += std::filesystem::is_directory(shown.SaveDir, ec)
              ? "would save the files and the run log Trawlkit.txt in " + shown.SaveDir + "\n"
              : "would make the folder " + shown.SaveDir + " and save the files and the run log Trawlkit.txt in it\n";
  if (!projectFile.empty()) text += "would save the settings to the project " + projectFile + "\n";
  return text;
}

}  // namespace tk::cli

#include "cli/apply_options.h"

#include <filesystem>
#include <fstream>
#include <istream>

#include "cli/option_values.h"
#include "cli/terminal_text.h"
#include "engine/default_save_dir.h"
#include "engine/save_folder.h"
#include "engine/start_url.h"
#include "inet/inet.h"
#include "settings/url_list_file.h"

namespace tk::cli {
namespace {

constexpr std::string_view kMe = "trawlkit-cli: ";

std::string Refused(std::string_view option, std::string_view value, std::string_view why) {
  return std::string(kMe) + std::string(option) + " '" + Shown(value) + "': " + std::string(why);
}

// What the terminal says of a start URL a run does not take; %s is the URL as typed.
struct UrlRefusal {
  StartUrlKind kind;
  std::string_view text;
};
constexpr UrlRefusal kUrlRefusals[] = {
    {StartUrlKind::HttpsOff, "%s needs --https"},
    {StartUrlKind::Other, "'%s' is not an HTTP or FTP URL"},
};

// The URL to fetch for `typed`, or why it cannot be one.
std::optional<std::string> StartUrl(const std::string& typed, bool https, std::string& url) {
  // Blanks around a pasted URL are no part of it.
  const std::size_t first = typed.find_first_not_of(" \t"), last = typed.find_last_not_of(" \t");
  url = WithDefaultScheme(first == std::string::npos ? "" : typed.substr(first, last - first + 1));
  const StartUrlKind kind = KindOfStartUrl(url, https);
  for (const UrlRefusal& refusal : kUrlRefusals) {
    if (refusal.kind != kind) continue;
    std::string text(refusal.text);
    return text.replace(text.find("%s"), 2, Shown(HidePassword(typed)));
  }
  return std::nullopt;
}

// A stream read to its end, with the bound a list file has.
std::optional<std::vector<std::string>> ReadListStream(std::istream* in, const std::string& name, std::string& error) {
  std::string text;
  char buffer[65536];
  while (in && (in->read(buffer, sizeof buffer) || in->gcount() > 0)) {
    text.append(buffer, static_cast<std::size_t>(in->gcount()));
    if (text.size() > kMaxUrlListBytes) {
      error = name + ": larger than 16 MiB";
      return std::nullopt;
    }
  }
  return ParseUrlList(text);
}

std::optional<std::vector<std::string>> ReadList(const std::string& typed, const CliContext& c, std::string& error) {
  if (typed == "-") return ReadListStream(c.input, "standard input", error);
  const std::string path = TypedPath(typed, c.home);
  std::error_code ec;
  // A pipe named on purpose, as the shell's "-i <(grep ...)" names one, is read like standard
  // input; any other file that is not a plain one is refused by the reader.
  if (std::filesystem::is_fifo(path, ec)) {
    std::ifstream in(path, std::ios::binary);
    return ReadListStream(&in, typed, error);
  }
  return ReadUrlListFile(path, error);
}

std::optional<std::string> AddStartUrls(const CliOptions& o, ProjectSettings& s, const CliContext& c) {
  for (const StartUrlArg& arg : o.urls) {
    std::string error, url;
    std::vector<std::string> typed{arg.text};
    std::string from;
    if (arg.listFile) {
      auto listed = ReadList(arg.text, c, error);
      if (!listed) return std::string(kMe) + "--input-file " + Shown(error);
      typed = std::move(*listed);
      from = (arg.text == "-" ? std::string("standard input") : Shown(arg.text)) + ": ";
    }
    for (const std::string& text : typed) {
      if (auto why = StartUrl(text, s.Https != 0, url)) return std::string(kMe) + from + *why;
      s.StartUrls.push_back(url);
    }
  }
  return std::nullopt;
}

bool HasControlByte(std::string_view text) {
  for (char ch : text)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) return true;
  return false;
}

std::optional<std::string> ApplyPaths(const CliOptions& o, ProjectSettings& s, const CliContext& c) {
  if (o.saveProject && !IsProjectFileName(*o.saveProject))
    return Refused("--save-project", *o.saveProject, "a project's name ends in .tkp");
  if (o.loadCookies) {
    s.LoadCookies = TypedPath(*o.loadCookies, c.home);
    std::error_code ec;
    if (!s.LoadCookies.empty() && !std::filesystem::is_regular_file(s.LoadCookies, ec))
      return Refused("--load-cookies", *o.loadCookies, "no such file (give a cookies.txt as a browser exports it)");
  }
  for (const auto* globs : {&o.includeUrls, &o.excludeUrls})
    for (const std::string& glob : *globs)
      if (glob.empty())
        return std::string(kMe) + (globs == &o.includeUrls ? "--include-urls" : "--exclude-urls") +
               ": an empty pattern matches nothing; give one such as '/docs/*'";
  s.IncludeUrls.insert(s.IncludeUrls.end(), o.includeUrls.begin(), o.includeUrls.end());
  s.ExcludeUrls.insert(s.ExcludeUrls.end(), o.excludeUrls.begin(), o.excludeUrls.end());
  return std::nullopt;
}

std::optional<std::string> ApplyNumbers(const CliOptions& o, ProjectSettings& s) {
  std::string why;
  if (o.layers) {
    const auto layers = ParseLayers(*o.layers, why);
    if (!layers) return Refused("--layers", *o.layers, why);
    s.UnlimitedLayers = *layers < 0 ? 1 : 0;
    // An older reader of the project sees the deepest count it knows.
    s.LinkLayers = *layers < 0 ? kMaxLinkLayers : *layers;
  }
  const auto seconds = [&](const std::optional<std::string>& text, std::string_view name, bool zero,
                           double& field) -> std::optional<std::string> {
    if (!text) return std::nullopt;
    const auto value = ParseSeconds(*text, zero, why);
    if (!value) return Refused(name, *text, why);
    field = *value;
    return std::nullopt;
  };
  const auto bytes = [&](const std::optional<std::string>& text, std::string_view name, std::string_view units,
                         long long& field) -> std::optional<std::string> {
    if (!text) return std::nullopt;
    const auto value = ParseByteSize(*text, units, why);
    if (!value) return Refused(name, *text, why);
    field = *value;
    return std::nullopt;
  };
  const auto count = [&](const std::optional<std::string>& text, std::string_view name, int low, int high,
                         int& field) -> std::optional<std::string> {
    if (!text) return std::nullopt;
    const auto value = ParseCount(*text, low, high, why);
    if (!value) return Refused(name, *text, why);
    field = *value;
    return std::nullopt;
  };
  if (auto refused = seconds(o.wait, "--wait", true, s.WaitSeconds)) return refused;
  if (auto refused = seconds(o.timeout, "--timeout", false, s.TimeoutSeconds)) return refused;
  if (auto refused = bytes(o.limitRate, "--limit-rate", "km", s.LimitRate)) return refused;
  if (auto refused = bytes(o.maxSize, "--max-size", "kmg", s.MaxSize)) return refused;
  if (auto refused = count(o.connections, "--connections", 1, kMaxConnections, s.Connections)) return refused;
  if (auto refused = count(o.tries, "--tries", 1, kMaxTries, s.Tries)) return refused;
  return std::nullopt;
}

}  // namespace

std::string TypedPath(std::string_view typed, const std::string& home) {
  std::error_code ec;
  const auto resolved = ResolveSaveFolder(typed, home, std::filesystem::current_path(ec));
  return resolved ? *resolved : std::string(typed);
}

std::optional<std::string> ApplyOptions(const CliOptions& o, ProjectSettings& s, const CliContext& c) {
  // First: whether an https URL given below is taken depends on it.
  if (o.https) s.Https = *o.https;
  if (auto refused = AddStartUrls(o, s, c)) return refused;
  if (auto refused = ApplyNumbers(o, s)) return refused;
  if (auto refused = ApplyPaths(o, s, c)) return refused;
  if (o.userAgent && HasControlByte(*o.userAgent))
    return Refused("--user-agent", *o.userAgent, "a control character cannot be sent in a request");
  if (o.userAgent) s.UserAgent = *o.userAgent;
  if (o.sameSite) s.SameSiteOnly = *o.sameSite;
  if (o.flat) s.SaveFlat = *o.flat;
  if (o.cache) s.UseCache = *o.cache;
  if (o.confirm) s.ConfirmOverwrite = *o.confirm;
  if (o.robots) s.Robots = *o.robots;
  if (!o.exclude.empty()) {
    s.ExcludeType.clear();
    for (const std::string& types : o.exclude) s.ExcludeType += ExcludeTypesFromText(types);
  }
  if (s.StartUrls.empty())
    return std::string(kMe) + "no start URL: give one with -u URL or -i FILE, or a .tkp project that has some";
  return std::nullopt;
}

std::optional<std::string> SettleSaveFolder(const CliOptions& o, ProjectSettings& s, const CliContext& c,
                                            const std::tm& today) {
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  const std::string typed = o.dir ? *o.dir : s.SaveDir;
  const auto folder = ResolveSaveFolder(typed, c.home, here);
  if (!folder && o.dir) return Refused("--dir", typed, "a Windows folder names no folder here; give one of this machine");
  if (!folder)
    return std::string(kMe) + "the project's save folder '" + Shown(typed) +
           "' is a Windows folder, which names no folder here; give one with -d DIR";
  s.SaveDir = folder->empty() ? DefaultSaveDir(c.home, today) : *folder;
  if (!IsAbsoluteSaveFolder(s.SaveDir))
    return std::string(kMe) + "the save folder '" + Shown(s.SaveDir) + "' is no full path; give one with -d DIR";
  return std::nullopt;
}

}  // namespace tk::cli

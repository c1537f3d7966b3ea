#include "support/saved_site.h"

#include <algorithm>

#include "support/temp_dir.h"

namespace tk::test {
namespace fs = std::filesystem;
namespace {

struct LinkAttribute {
  std::string_view tag;
  std::string_view attribute;
};
// The tags whose links a saved page must carry to browse offline.
constexpr LinkAttribute kLinkAttributes[] = {{"a", "href"},     {"img", "src"},    {"body", "background"},
                                             {"frame", "src"},  {"iframe", "src"}, {"script", "src"}};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return out;
}

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// The value of `attribute` in the text of one tag (without "<" and ">"), HTML's way: any
// position, quoted or not. False when the tag has no such attribute with a value.
bool FindValue(std::string_view tag, std::string_view attribute, Span& out) {
  std::size_t i = 0;
  while (i < tag.size() && !IsBlank(tag[i])) ++i;
  while (true) {
    while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '/')) ++i;
    if (i >= tag.size()) return false;
    const std::size_t nameBegin = i;
    while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '=') ++i;
    const std::string name = Lower(tag.substr(nameBegin, i - nameBegin));
    while (i < tag.size() && IsBlank(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && IsBlank(tag[i])) ++i;
    Span span{i, i};
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      const std::size_t close = tag.find(tag[i], i + 1);
      span = {i + 1, close == std::string_view::npos ? tag.size() : close};
      i = close == std::string_view::npos ? tag.size() : close + 1;
    } else {
      while (i < tag.size() && !IsBlank(tag[i])) ++i;
      span.end = i;
    }
    if (name == attribute) {
      out = span;
      return true;
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The test site's pages: its .html files and those made by a program (served as HTML).
bool IsPage(const fs::path& original) {
  const fs::path ext = original.extension();
  return ext == ".html" || ext == ".php" || ext == ".cgi";
}

// "http:", "mailto:"...: a ":" before any "/".
bool HasScheme(std::string_view value) {
  const std::size_t colon = value.find(':');
  return colon != std::string_view::npos && value.find('/') > colon;
}

// The URL a value of the page at `pagePath` (site-relative, "/"-rooted) names, the browser's way
// for the forms the test site uses.
std::string ResolveOriginal(const std::string& pagePath, std::string_view value) {
  if (HasScheme(value)) return std::string(value);
  if (value.starts_with("//")) return "http:" + std::string(value);
  if (value.starts_with('/')) return "http://site" + std::string(value);
  if (value.starts_with('?')) return "http://site" + pagePath + std::string(value);
  return "http://site" + pagePath.substr(0, pagePath.rfind('/') + 1) + std::string(value);
}

// The saved copy `target` holds the file `original`: the same bytes, or for a page (whose links
// changed) the same title.
bool IsCopyOf(const fs::path& target, const fs::path& original) {
  if (!fs::is_regular_file(original)) return false;
  if (IsPage(original)) return !PageTitle(ReadFile(original)).empty() &&
                               PageTitle(ReadFile(original)) == PageTitle(ReadFile(target));
  return ReadFile(original) == ReadFile(target);
}

// A value as a browser takes it: blanks around it dropped, tabs and line breaks inside removed.
std::string Clean(std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  std::string out;
  for (const char c : value)
    if (c != '\t' && c != '\r' && c != '\n') out += c;
  return out;
}

std::string_view Fragment(std::string_view value) {
  const std::size_t hash = value.find('#');
  return hash == std::string_view::npos ? std::string_view() : value.substr(hash);
}

// The path an absolute URL names, escapes decoded and dot segments removed, fragment dropped.
std::string PathOfUrl(std::string_view url) {
  const std::size_t authority = url.find("://");
  if (authority == std::string_view::npos) return {};
  std::string_view rest = url.substr(authority + 3);
  rest = rest.substr(std::min(rest.find('/'), rest.size()));
  rest = rest.substr(0, rest.find('#'));
  return fs::path("/" + PercentDecode(rest)).lexically_normal().generic_string();
}

void CheckLink(const SavedSite& copy, const std::string& page, const fs::path& source, const LinkValue& from,
               const LinkValue& to, SiteReport& report) {
  const std::string where = page + ": <" + from.tag + "> \"" + from.value + "\"";
  auto problem = [&](const std::string& text) { report.problems.push_back(where + " " + text); };
  if (copy.kept.contains(from.value)) {
    if (to.value != from.value) problem("should stay as written, became \"" + to.value + "\"");
    return;
  }
  const std::string value = Clean(to.value);
  const std::string original = Clean(from.value);
  if (copy.absolute.contains(from.value)) {
    const std::string pagePath = "/" + fs::relative(source, copy.site).generic_string();
    if (!value.starts_with("http://") && !value.starts_with("ftp://"))
      problem("should have become an absolute URL, became \"" + to.value + "\"");
    else if (PathOfUrl(value) != PathOfUrl(ResolveOriginal(pagePath, original)) || Fragment(value) != Fragment(original))
      problem("became the absolute URL of another file: \"" + to.value + "\"");
    return;
  }
  const std::string_view path = std::string_view(value).substr(0, value.find('#'));
  if (Fragment(value) != Fragment(original)) problem("lost its fragment: \"" + to.value + "\"");
  if (path.empty() || path.starts_with('/') || path.find('?') != std::string_view::npos || HasScheme(path)) {
    problem("was not rewritten to a relative local path: \"" + to.value + "\"");
    return;
  }
  const fs::path target = ((copy.save / page).parent_path() / PercentDecode(path)).lexically_normal();
  if (!IsInside(copy.save, target)) return problem("leads outside the save folder: \"" + to.value + "\"");
  if (!fs::is_regular_file(target)) return problem("leads to no file: \"" + to.value + "\"");
  const std::string pagePath = "/" + fs::relative(source, copy.site).generic_string();
  const fs::path expected = SiteFileOf(copy.site, ResolveOriginal(pagePath, original));
  if (!IsCopyOf(target, expected))
    return problem("leads to " + fs::relative(target, copy.save).generic_string() + ", not to the copy of " +
                   fs::relative(expected, copy.site).generic_string());
  ++report.rewritten;
}

void CheckPage(const SavedSite& copy, const std::string& page, const fs::path& original, SiteReport& report) {
  const std::string source = ReadFile(original);
  const std::string saved = ReadFile(copy.save / page);
  const auto from = ExtractLinks(source);
  const auto to = ExtractLinks(saved);
  if (from.size() != to.size()) {
    report.problems.push_back(page + ": " + std::to_string(to.size()) + " link values, the original has " +
                              std::to_string(from.size()));
    return;
  }
  // With its original values put back, a saved page must be its original byte for byte.
  std::string rebuilt;
  std::size_t at = 0;
  for (std::size_t i = 0; i < to.size(); ++i) {
    rebuilt.append(saved, at, to[i].begin - at).append(from[i].value);
    at = to[i].begin + to[i].value.size();
  }
  rebuilt.append(saved, at);
  if (rebuilt != source) report.problems.push_back(page + ": text other than its link values changed");
  for (std::size_t i = 0; i < from.size(); ++i) CheckLink(copy, page, original, from[i], to[i], report);
}

void CheckFiles(const SavedSite& copy, const std::map<std::string, std::string>& byLog, SiteReport& report) {
  for (const auto& entry : fs::recursive_directory_iterator(copy.save)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = fs::relative(entry.path(), copy.save).generic_string();
    if (name == "Trawlkit.txt") continue;
    if (!byLog.contains(name)) report.problems.push_back(name + ": saved, but the log does not say so");
  }
  for (const auto& [name, url] : byLog) {
    const fs::path original = SiteFileOf(copy.site, url);
    if (!fs::is_regular_file(copy.save / name))
      report.problems.push_back(name + ": in the log, but not in the save folder");
    else if (!IsPage(original) && !IsCopyOf(copy.save / name, original))
      report.problems.push_back(name + ": does not hold the bytes of " + url);
  }
}

}  // namespace

std::vector<LinkValue> ExtractLinks(std::string_view html) {
  std::vector<LinkValue> out;
  for (std::size_t lt = html.find('<'); lt != std::string_view::npos; lt = html.find('<', lt + 1)) {
    if (lt + 1 >= html.size() || !(IsLetter(html[lt + 1]) || html[lt + 1] == '/' || html[lt + 1] == '!'))
      continue;
    const std::size_t gt = html.find('>', lt);
    if (gt == std::string_view::npos) break;
    const std::string_view tag = html.substr(lt + 1, gt - lt - 1);
    const std::string name = Lower(tag.substr(0, std::min(tag.size(), tag.find_first_of(" \t\r\n"))));
    for (const auto& row : kLinkAttributes) {
      Span span;
      if (name == row.tag && FindValue(tag, row.attribute, span) && span.end > span.begin)
        out.push_back({name, lt + 1 + span.begin, std::string(tag.substr(span.begin, span.end - span.begin))});
    }
    lt = gt;
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FileUrl(const fs::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (const char ch : path.generic_string()) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = IsLetter(ch) || (c >= '0' && c <= '9') ||
                       std::string_view("-._~/!$'()*+,;=:@").find(ch) != std::string_view::npos;
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

fs::path FileUrlPath(std::string_view url) {
  if (!url.starts_with("file://")) return {};
  url.remove_prefix(7);
  return fs::path(PercentDecode(url.substr(0, url.find_first_of("#?"))));
}

std::string PageTitle(const std::string& html) {
  const std::string lower = Lower(html);
  const std::size_t open = lower.find("<title>");
  const std::size_t close = lower.find("</title>");
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return html.substr(open + 7, close - open - 7);
}

bool IsInside(const fs::path& folder, const fs::path& path) {
  const fs::path base = fs::absolute(folder).lexically_normal();
  const fs::path rel = fs::absolute(path).lexically_normal().lexically_relative(base);
  return !rel.empty() && *rel.begin() != ".." && *rel.begin() != ".";
}

std::map<std::string, std::string> SavedByLog(const std::string& log) {
  std::map<std::string, std::string> out;
  static constexpr std::string_view kSaved = "(OK:Saved as[";
  for (std::size_t at = 0, end; at < log.size(); at = end + 2) {
    end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    const std::string_view line = std::string_view(log).substr(at, end - at);
    const std::size_t mark = line.rfind(kSaved);
    if (mark == std::string_view::npos || !line.ends_with("])")) continue;
    const std::string_view name = line.substr(mark + kSaved.size(), line.size() - 2 - mark - kSaved.size());
    out[std::string(name)] = std::string(line.substr(0, mark));
  }
  return out;
}

fs::path SiteFileOf(const fs::path& site, std::string_view url) {
  url = url.substr(0, url.find('#'));
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  const std::size_t slash = url.find('/', scheme + 3);
  std::string_view path = slash == std::string_view::npos ? std::string_view("/") : url.substr(slash);
  static constexpr std::string_view kRedirect = "/__/redirect?to=";
  if (path.starts_with(kRedirect)) {
    const std::string to = PercentDecode(path.substr(kRedirect.size()));
    return SiteFileOf(site, to.find("://") == std::string::npos ? "http://site" + to : to);
  }
  path = path.substr(0, path.find('?'));
  // ".." climbs no higher than the server's root, in a browser as on the server.
  const fs::path rooted = fs::path(PercentDecode(path)).lexically_normal();
  fs::path file = (site / rooted.relative_path()).lexically_normal();
  if (fs::is_directory(file)) file /= "index.html";
  return file;
}

SiteReport CheckSavedSite(const SavedSite& copy) {
  SiteReport report;
  const auto byLog = SavedByLog(copy.log);
  CheckFiles(copy, byLog, report);
  for (const auto& [name, url] : byLog) {
    const fs::path original = SiteFileOf(copy.site, url);
    if (!IsPage(original) || !fs::is_regular_file(copy.save / name)) continue;
    report.pages.push_back(name);
    CheckPage(copy, name, original, report);
  }
  return report;
}

}  // namespace tk::test

#include "engine/local_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>

#include "base/text.h"
#include "engine/local_file.h"
#include "inet/url.h"

namespace tk {
namespace {

// A "%" is no stop: escapes are decoded into the name where they make a plain one.
constexpr std::string_view kNameStops = "#?&=";
constexpr std::string_view kHtmlTypes[] = {"text/html"};

struct TypeExtension {
  std::string_view contentType;
  std::string_view extension;
};
constexpr TypeExtension kTypeExtensions[] = {{"image/x-xbitmap", ".xbm"}};

std::string_view CutAtStops(std::string_view object) {
  return object.substr(0, object.find_first_of(kNameStops));
}

// The folders of a URL path ("/a%20b/c/") as the file system shows them ("a b/c/").
std::string DecodeFolders(std::string_view folders) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t slash = folders.find('/'); slash != std::string_view::npos;
       start = slash + 1, slash = folders.find('/', start)) {
    out += DecodeNameSegment(folders.substr(start, slash - start));
    out += '/';
  }
  out += DecodeNameSegment(folders.substr(start));
  return out;
}

// Rebuilds a "/"-separated relative path with every segment made safe.
std::string SafePath(std::string_view path) {
  std::string out;
  std::size_t start = 0;
  while (true) {
    std::size_t slash = path.find('/', start);
    std::string_view seg = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    out += SafeSegment(seg);
    if (slash == std::string_view::npos) break;
    out += '/';
    start = slash + 1;
  }
  return out;
}

}  // namespace

std::string SafeSegment(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == ".." ||
      segment.find('\0') != std::string_view::npos)
    return "_";
  return std::string(segment);
}

bool IsPlainName(std::string_view name) {
  if (!IsValidUtf8(name)) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    // U+0080..U+009F, the C1 controls, are control characters too.
    if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0) return false;
  }
  return true;
}

std::string DecodeNameSegment(std::string_view segment) {
  if (segment.find('%') == std::string_view::npos) return std::string(segment);
  std::string decoded = inet::PercentDecode(segment);
  return IsPlainName(decoded) ? decoded : std::string(segment);
}

bool IsHtmlType(std::string_view contentType) {
  for (std::string_view prefix : kHtmlTypes)
    if (contentType.size() >= prefix.size() && EqualsNoCase(contentType.substr(0, prefix.size()), prefix))
      return true;
  return false;
}

std::string HtmlPageName(std::string name, std::string_view contentType) {
  if (IsHtmlType(contentType) && !EndsWithNoCase(name, ".htm") && !EndsWithNoCase(name, ".html")) name += ".htm";
  return name;
}

std::string MakeUnnamedName(RunState& state) {
  std::string name = "~TrawlDlFile_";
  name += std::to_string(state.UnnamedCount++);
  name += ".htm";
  return name;
}

std::string MakeLocalName(RunState& state, std::string_view object, std::string_view contentType) {
  std::string_view path = CutAtStops(object);
  // Decoded first, then folded: "%41" is an "a" like any other.
  std::string name = AsciiLower(DecodeNameSegment(path.substr(path.rfind('/') + 1)));
  if (name.empty()) name = MakeUnnamedName(state);
  bool typed = false;
  for (const auto& row : kTypeExtensions) {
    if (EqualsNoCase(contentType, row.contentType)) {
      name += row.extension;
      typed = true;
      break;
    }
  }
  if (!typed && name.find('.') == std::string::npos) name += ".htm";
  return SafeSegment(name);
}

std::string MakeServerPath(const std::filesystem::path& saveFolder, bool isHttp, std::string_view host,
                           std::string_view object, int port, std::string_view name, bool https) {
  OpenFolders folders(saveFolder);
  return MakeServerPath(folders, isHttp, host, object, port, name, https);
}

std::string MakeServerPath(OpenFolders& made, bool isHttp, std::string_view host, std::string_view object,
                           int port, std::string_view name, bool https) {
  std::string dir = isHttp ? "" : "ftp_";
  dir += host;
  if (port != (isHttp ? (https ? 443 : 80) : 21)) {
    dir += '~';
    dir += std::to_string(static_cast<std::uint16_t>(port));
  }
  std::string obj = object.empty() || object[0] != '/' ? "/" : "";
  obj += object;
  std::string_view folders = CutAtStops(obj);
  folders = folders.substr(0, folders.rfind('/') + 1);
  // The host and every folder pass through SafePath; the trailing "/" leaves one empty last
  // segment, which is dropped again.
  std::string safeDir = SafePath(dir + DecodeFolders(folders.substr(0, folders.size() - 1)));
  // Made without following a symlink planted among them; a folder that cannot be made fails the
  // file's creation later, which logs it.
  made.Open(safeDir, true);
  return safeDir + "/" + SafeSegment(name);
}

std::string MakeUniqueName(RunState& state, const std::string& path) {
  if (state.UsedNames.insert(path).second) return path;
  // The number goes before the file name's extension; a "." in a folder name is not one.
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  std::string base = path.substr(0, dot);
  std::string ext = path.substr(dot);
  // Remembering the next number keeps a run of thousands of index.htm linear.
  int& next = state.NextNameNumber[path];
  if (next < 1) next = 1;
  while (true) {
    std::string candidate = base + "(" + std::to_string(next++) + ")" + ext;
    if (state.UsedNames.insert(candidate).second) return candidate;
  }
}

int MakeDirs(const std::string& path) {
  if (path.empty()) return 0;
  // Nearly every call finds the folder made by an earlier file of the run: one stat settles it.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 0;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return -1;
  return std::filesystem::is_directory(path, ec) ? 0 : -1;
}

}  // namespace tk

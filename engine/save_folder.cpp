#include "engine/save_folder.h"

namespace tk {
namespace {

bool IsWindowsPath(std::string_view text) {
  const bool drive = text.size() >= 2 && text[1] == ':' &&
                     ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
  return drive || text.starts_with("\\\\");
}

}  // namespace

std::optional<std::string> ResolveSaveFolder(std::string_view typed, const std::string& home,
                                             const std::filesystem::path& base) {
  if (IsWindowsPath(typed)) return std::nullopt;
  if (typed.empty() || typed.front() == '/') return std::string(typed);
  if (typed == "~" || typed.starts_with("~/")) {
    if (home.empty()) return std::nullopt;  // no home folder: "~" names none
    std::string folder = home;
    if (!folder.empty() && folder.back() == '/' && typed.size() > 1) folder.pop_back();
    folder.append(typed.substr(1));
    return folder;
  }
  return (base / std::string(typed)).string();
}

bool IsAbsoluteSaveFolder(std::string_view folder) { return !folder.empty() && folder.front() == '/'; }

}  // namespace tk

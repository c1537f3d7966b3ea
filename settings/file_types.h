#pragma once
// The excludable file-type categories of Trawlkit.ini [FILETYPE], and the test of one extension
// against a project's ExcludeType.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

struct FileTypeCategory {
  std::string Name;        // as shown to the user
  std::string Extensions;  // ".gif.jpg...", letter case as entered
};

inline constexpr std::string_view kFileTypeSection = "FILETYPE";

// The ten lines written into an empty [FILETYPE] section; a section that has keys keeps its own.
const std::vector<std::string>& DefaultFileTypeLines();

// The categories in file order; an empty or missing section is first seeded with the defaults.
std::vector<FileTypeCategory> ReadFileTypeCategories();

// False when `ext` (with its leading dot) is excluded by `excludeType`.
bool IsTypeIncluded(std::string_view ext, std::string_view excludeType);
// The same against the current project's ExcludeType.
bool IsTypeIncluded(std::string_view ext);

}  // namespace tk

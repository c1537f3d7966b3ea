#pragma once
// The save folder as a user types it on Linux.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tk {

// The folder that `typed` names: "~" and "~/..." start at `home`, and a relative folder is taken
// from `base`, so that what a project stores means the same folder from wherever the program is
// started. An empty text stays empty. Nothing for a Windows path ("C:\Web\", "\\server\share"),
// which names no folder here, nor for "~" when `home` is empty.
std::optional<std::string> ResolveSaveFolder(std::string_view typed, const std::string& home,
                                             const std::filesystem::path& base);

// A run saves only into an absolute folder: anything else would land wherever it was started.
bool IsAbsoluteSaveFolder(std::string_view folder);

}  // namespace tk

#pragma once
// What the cache tests look at in a cache folder.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "inet/cache.h"

namespace tk::test {

// The names in a folder, sorted.
inline std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The name of a URL's entry file inside its cache folder.
inline std::string EntryFileName(std::string_view url) {
  return inet::cache::MetaPathIn("", url).filename().string();
}

}  // namespace tk::test

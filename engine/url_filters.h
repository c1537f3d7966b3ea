#pragma once
// The user's URL filters: globs on a URL's path and query that say which links a run follows.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// Whether `glob` matches the whole of `text`: "*" stands for any run of characters, "/"
// included; every other character stands for itself. Letter case is ignored, as everywhere the
// run compares URLs: two spellings that differ only in case are one URL to it, and a filter must
// judge them alike.
bool GlobMatches(std::string_view glob, std::string_view text);

class UrlFilters {
 public:
  UrlFilters() = default;
  UrlFilters(const std::vector<std::string>& includes, const std::vector<std::string>& excludes);

  // `object`: the path with its query as the URL parser gives it (a fragment is ignored). With
  // any include given, the object must match one; an exclude wins over every include.
  bool Allows(std::string_view object) const;
  bool Empty() const { return m_includes.empty() && m_excludes.empty(); }

 private:
  std::vector<std::string> m_includes;
  std::vector<std::string> m_excludes;
};

}  // namespace tk

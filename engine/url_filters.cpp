#include "engine/url_filters.h"

#include <algorithm>

#include "base/text.h"
#include "inet/url.h"

namespace tk {
namespace {

// A glob is compared with URLs as the URL parser spells them: a space or a non-ASCII letter the
// user typed in the path is written as the escape the URL carries there; the query keeps its text.
std::vector<std::string> Canonical(const std::vector<std::string>& globs) {
  std::vector<std::string> out;
  for (const std::string& glob : globs) {
    if (glob.empty()) continue;
    const std::size_t query = std::min(glob.find('?'), glob.size());
    out.push_back(inet::PercentEncodeUnsafe(std::string_view(glob).substr(0, query)) +
                  inet::EncodeControls(std::string_view(glob).substr(query)));
  }
  return out;
}

}  // namespace

bool GlobMatches(std::string_view glob, std::string_view text) {
  // The usual walk with one point to return to: the last "*" seen and where its run would end
  // next. Only the last "*" ever needs retrying, so the time stays within the product of the two
  // lengths however many stars the glob has: no backtracking blow-up.
  std::size_t g = 0, t = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (g < glob.size() && glob[g] == '*') {
      star = g++;
      resume = t;
    } else if (g < glob.size() && AsciiLower(glob[g]) == AsciiLower(text[t])) {
      ++g;
      ++t;
    } else if (star != std::string_view::npos) {
      g = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
}

UrlFilters::UrlFilters(const std::vector<std::string>& includes, const std::vector<std::string>& excludes)
    : m_includes(Canonical(includes)), m_excludes(Canonical(excludes)) {}

bool UrlFilters::Allows(std::string_view object) const {
  if (Empty()) return true;
  object = object.substr(0, object.find('#'));
  const auto matches = [object](const std::string& glob) { return GlobMatches(glob, object); };
  if (std::any_of(m_excludes.begin(), m_excludes.end(), matches)) return false;
  return m_includes.empty() || std::any_of(m_includes.begin(), m_includes.end(), matches);
}

}  // namespace tk

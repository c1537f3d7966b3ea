#include "links/srcset.h"

namespace tk {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Skips one candidate's descriptors, up to and including the comma that ends them. A comma
// inside parentheses belongs to the descriptor ("1x (a, b)"), as browsers read it.
std::size_t SkipDescriptors(std::string_view value, std::size_t i) {
  bool inParens = false;
  for (; i < value.size(); ++i) {
    const char c = value[i];
    if (inParens) {
      inParens = c != ')';
    } else if (c == '(') {
      inParens = true;
    } else if (c == ',') {
      return i + 1;
    }
  }
  return i;
}

}  // namespace

// Descriptors are not checked: a candidate a browser would drop for a descriptor it does not
// understand is still a URL of the page, and rewriting it does no harm.
std::vector<SrcsetCandidate> ParseSrcset(std::string_view value) {
  std::vector<SrcsetCandidate> candidates;
  std::size_t i = 0;
  while (true) {
    while (i < value.size() && (IsBlank(value[i]) || value[i] == ',')) ++i;
    if (i == value.size()) return candidates;
    const std::size_t start = i;
    while (i < value.size() && !IsBlank(value[i])) ++i;
    std::size_t end = i;
    // A URL that ends in commas ends its candidate there: no descriptors follow.
    const bool noDescriptors = value[end - 1] == ',';
    while (value[end - 1] == ',') --end;
    candidates.push_back({start, end - start});
    if (!noDescriptors) i = SkipDescriptors(value, i);
  }
}

}  // namespace tk

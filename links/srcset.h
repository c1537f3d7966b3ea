#pragma once
// The candidate URLs of a srcset attribute ("a.png 1x, b.png 2x", "s.jpg 480w, l.jpg 1080w").
#include <cstddef>
#include <string_view>
#include <vector>

namespace tk {

// The URL of each candidate in a srcset attribute value: positions inside `value`, descriptors
// (1x, 2x, 480w) left out, in order. Follows the HTML srcset parsing rules for splitting
// (commas, blanks; a URL may contain commas when not at its end; parentheses in descriptors).
struct SrcsetCandidate {
  std::size_t start;
  std::size_t length;
  bool operator==(const SrcsetCandidate&) const = default;
};
std::vector<SrcsetCandidate> ParseSrcset(std::string_view value);

}  // namespace tk

#pragma once
// A server's robots.txt, read for one user agent: which paths the crawl may ask for.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

class RobotsRules {
 public:
  // Everything allowed: no robots.txt, or one that could not be had.
  RobotsRules() = default;
  // The rules of the groups naming `agentToken` (case-insensitively), else those of the "*"
  // groups, else none. Groups of one agent are joined, as a file often lists them apart.
  static RobotsRules Parse(std::string_view text, std::string_view agentToken);

  // `pathAndQuery` as the request names it ("/a/b.html?x=1"). The longest pattern that matches
  // decides; Allow wins a tie; no match allows.
  bool Allows(std::string_view pathAndQuery) const;
  bool AllowsAll() const { return m_rules.empty(); }

 private:
  struct Rule {
    bool allow = false;
    std::string pattern;  // normalised; "*" any run, "$" at the end anchors it
  };
  std::vector<Rule> m_rules;
};

// The product token of a User-Agent: "Trawlkit/1.2 (X11)" gives "Trawlkit".
std::string ProductToken(std::string_view userAgent);

// A path in the one spelling robots.txt patterns and request paths are compared in: escapes of
// unreserved characters decoded, other escapes in capitals, bytes outside printable ASCII
// escaped. "*" and "$" are reserved characters, left as they are, so a pattern keeps its
// wildcards and a path's own "*" or "$" matches only itself spelled the same way.
std::string NormaliseRobotsPath(std::string_view path);

// True when `pattern` (normalised) matches the start of `path` (normalised).
bool RobotsPatternMatches(std::string_view pattern, std::string_view path);

}  // namespace tk

#include "engine/robots.h"

#include <algorithm>

#include "base/percent.h"
#include "base/text.h"

namespace tk {
namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

// One line's field: its lower-case name and its value, comments and blanks gone.
bool SplitField(std::string_view line, std::string& name, std::string_view& value) {
  line = Trim(line.substr(0, line.find('#')));
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  name = AsciiLower(Trim(line.substr(0, colon)));
  value = Trim(line.substr(colon + 1));
  return true;
}

}  // namespace

std::string NormaliseRobotsPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (const int escaped = PercentEscapeAt(path, i); escaped >= 0) {
      const auto decoded = static_cast<unsigned char>(escaped);
      if (IsUnreserved(decoded))
        out += static_cast<char>(decoded);
      else
        AppendPercentEscape(out, decoded);
      i += 2;
    } else if (c <= 0x20 || c >= 0x7F) {
      AppendPercentEscape(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool RobotsPatternMatches(std::string_view pattern, std::string_view path) {
  const bool anchored = !pattern.empty() && pattern.back() == '$';
  if (anchored) pattern.remove_suffix(1);
  if (pattern.find('*') == std::string_view::npos)
    return anchored ? pattern == path : path.substr(0, pattern.size()) == pattern;
  // reach[j]: the pattern read so far can end just before path[j].
  std::vector<char> reach(path.size() + 1, 0);
  reach[0] = 1;
  for (char c : pattern) {
    if (c == '*') {
      for (std::size_t j = 1; j < reach.size(); ++j) reach[j] = static_cast<char>(reach[j] || reach[j - 1]);
      continue;
    }
    for (std::size_t j = reach.size() - 1; j > 0; --j) reach[j] = static_cast<char>(reach[j - 1] && path[j - 1] == c);
    reach[0] = 0;
    if (std::find(reach.begin(), reach.end(), 1) == reach.end()) return false;
  }
  return anchored ? reach.back() != 0 : std::find(reach.begin(), reach.end(), 1) != reach.end();
}

RobotsRules RobotsRules::Parse(std::string_view text, std::string_view agentToken) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  RobotsRules mine;
  RobotsRules anyone;
  bool forMe = false;
  bool forAnyone = false;
  bool inRules = false;  // the lines since the last user-agent line were rules: a new one starts a group
  bool named = false;    // some group names the agent
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::string name;
    std::string_view value;
    if (!SplitField(line, name, value)) continue;
    if (name == "user-agent") {
      if (inRules) forMe = forAnyone = inRules = false;
      const std::string token = ProductToken(value);
      if (value == "*") forAnyone = true;
      if (!token.empty() && EqualsNoCase(token, agentToken)) forMe = named = true;
    } else if (name == "allow" || name == "disallow") {
      inRules = true;
      if (value.empty()) continue;  // "Disallow:" with nothing allows everything
      Rule rule{name == "allow", NormaliseRobotsPath(value)};
      if (forMe) mine.m_rules.push_back(rule);
      if (forAnyone) anyone.m_rules.push_back(std::move(rule));
    }
  }
  return named ? mine : anyone;
}

bool RobotsRules::Allows(std::string_view pathAndQuery) const {
  if (m_rules.empty()) return true;
  const std::string path = NormaliseRobotsPath(pathAndQuery);
  std::size_t best = 0;
  bool allowed = true;
  for (const Rule& rule : m_rules) {
    if (rule.pattern.size() < best || !RobotsPatternMatches(rule.pattern, path)) continue;
    if (rule.pattern.size() > best || rule.allow) allowed = rule.allow;
    best = rule.pattern.size();
  }
  return allowed;
}

std::string ProductToken(std::string_view userAgent) {
  userAgent = Trim(userAgent);
  return std::string(userAgent.substr(0, userAgent.find_first_of("/ \t")));
}

}  // namespace tk

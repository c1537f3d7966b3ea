#include "links/relative_path.h"

#include <algorithm>
#include <array>

#include "base/percent.h"

namespace tk {
namespace {

bool NeedsEncoding(unsigned char c) {
  // Bytes above ASCII too: a page is read in its own charset before its links are, so raw UTF-8
  // in a Shift_JIS or Latin-1 page would name another file; escapes mean the same bytes in all.
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case '#': case '?': case '%': case '"': case '\'': case '<': case '>': case '&': case '\\':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string MakeRelativeLocalPath(std::string_view pagePath, std::string_view targetPath) {
  std::string_view page = pagePath;
  std::string_view target = targetPath;
  // Drop shared leading folders, but never the last component of either path: a file is not a
  // folder the other one can share.
  while (true) {
    const std::size_t p = page.find('/');
    const std::size_t t = target.find('/');
    if (p == std::string_view::npos || t == std::string_view::npos) break;
    if (page.substr(0, p) != target.substr(0, t)) break;
    page.remove_prefix(p + 1);
    target.remove_prefix(t + 1);
  }
  std::string out;
  const auto levels = std::count(page.begin(), page.end(), '/');
  out.reserve(static_cast<std::size_t>(levels) * 3 + target.size() + 8);
  for (long i = 0; i < levels; ++i) out += "../";
  if (levels == 0 && target.substr(0, target.find('/')).find(':') != std::string_view::npos)
    out += "./";
  AppendPercentEncoded(out, target, NeedsEncoding);
  return out;
}

std::string AbsoluteLinkText(std::string_view url) {
  // Spaces, controls, bytes beyond ASCII and the characters that would end the value or the
  // style sheet's url() it stands in.
  static constexpr auto kEscaped = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
      table[c] = c <= 0x20 || c >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\' ||
                 c == '(' || c == ')';
    return table;
  }();
  std::string out;
  out.reserve(url.size() + 8);
  AppendPercentEncoded(out, url, [](unsigned char c) { return kEscaped[c]; });
  return out;
}

}  // namespace tk

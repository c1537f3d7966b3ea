#include "links/link_tag_table.h"

#include <cstddef>

namespace tk {
namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

int FindLinkTagRow(std::string_view name) {
  if (name.empty()) return -1;
  // Every tag of a page comes here: the first letter turns most rows away before any compare.
  const char first = Fold(name[0]);
  int index = 0;
  for (const LinkTagRow& row : LinkTagTable) {
    if (row.tag[0] == first && name.size() <= row.tag.size() &&
        EqualsAsciiNoCase(name, row.tag.substr(0, name.size())))
      return index;
    ++index;
  }
  return -1;
}

bool IsRequisiteRel(std::string_view rel) {
  static constexpr std::string_view kRequisites[] = {"stylesheet", "icon", "apple-touch-icon", "preload",
                                                     "modulepreload", "manifest"};
  // rel is a list of blank-separated words ("shortcut icon", "alternate stylesheet").
  std::size_t at = 0;
  while (at < rel.size()) {
    while (at < rel.size() && IsBlank(rel[at])) ++at;
    std::size_t end = at;
    while (end < rel.size() && !IsBlank(rel[end])) ++end;
    const std::string_view word = rel.substr(at, end - at);
    for (std::string_view requisite : kRequisites)
      if (EqualsAsciiNoCase(word, requisite)) return true;
    at = end;
  }
  return false;
}

std::string_view TagName(std::string_view tag) {
  if (!tag.empty() && tag.front() == '!') return tag.substr(0, 1);
  std::size_t end = 0;
  while (end < tag.size() && !IsBlank(tag[end])) ++end;
  return tag.substr(0, end);
}

}  // namespace tk

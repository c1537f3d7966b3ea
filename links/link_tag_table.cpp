#include "links/link_tag_table.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/text.h"

namespace tk {
int FindLinkTagRow(std::string_view name) {
  if (name.empty()) return -1;
  // Every tag of a page comes here: its first letter leaves a few rows to compare, in order.
  static constexpr auto kRowsByFirst = [] {
    std::array<std::uint32_t, 128> rows{};
    for (std::size_t i = 0; i < std::size(LinkTagTable); ++i)
      rows[static_cast<unsigned char>(LinkTagTable[i].tag[0])] |= 1u << i;
    return rows;
  }();
  static_assert(std::size(LinkTagTable) <= 32);
  const auto first = static_cast<unsigned char>(AsciiUpper(name[0]));
  for (std::uint32_t rows = first < 128 ? kRowsByFirst[first] : 0; rows != 0; rows &= rows - 1) {
    const int index = std::countr_zero(rows);
    const std::string_view tag = LinkTagTable[index].tag;
    if (name.size() <= tag.size() && EqualsNoCase(name, tag.substr(0, name.size()))) return index;
  }
  return -1;
}

bool MayHoldAttribute(std::string_view tag, std::string_view upperName) {
  // An attribute with a value ends in its name, blanks and "=": only the few "=" are looked at.
  const char* const begin = tag.data();
  const char* const end = begin + tag.size();
  for (const char* p = begin; p < end;) {
    const auto* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(end - p)));
    if (!eq) return false;
    const char* nameEnd = eq;
    while (nameEnd > begin && IsBlank(nameEnd[-1])) --nameEnd;
    if (static_cast<std::size_t>(nameEnd - begin) >= upperName.size() &&
        EqualsNoCase(std::string_view(nameEnd - upperName.size(), upperName.size()), upperName))
      return true;
    p = eq + 1;
  }
  return false;
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
      if (EqualsNoCase(word, requisite)) return true;
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

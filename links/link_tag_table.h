#pragma once
// The tags that carry links, and which of their attributes holds the link.
#include <string_view>

namespace tk {

struct LinkTagRow {
  std::string_view tag;        // upper case; matched without regard to case
  std::string_view attribute;  // empty for the rows that only switch the HTML region
  bool pageLink;               // the target is a page to scan in turn (frames, hyperlinks)
};

// Row order matters: the first matching row wins, so "I" means IMG and "/" means /HTML.
inline constexpr LinkTagRow LinkTagTable[] = {
    {"HTML", "", false},    // opens the HTML region
    {"/HTML", "", false},   // closes it
    {"A", "HREF", true},    // the only row limited by the link depth
    {"IMG", "SRC", false},
    {"BODY", "BACKGROUND", false},
    {"FRAME", "SRC", true},
    {"IFRAME", "SRC", true},
    {"SCRIPT", "SRC", false},
    {"OBJECT", "CODEBASE", false},
    {"APPLET", "CODE", false},
};

inline constexpr int kRowHtml = 0;
inline constexpr int kRowEndHtml = 1;
inline constexpr int kRowAnchor = 2;

// The index of the first row whose tag starts with `name` (ASCII case folded), or -1. A name that
// is only a prefix of a row's tag matches that row; a name longer than the row's tag does not.
int FindLinkTagRow(std::string_view name);

// The tag's name: the text up to the first blank, or just "!" for a comment or declaration.
std::string_view TagName(std::string_view tag);

// Blanks separate words inside a tag: space, CR, LF and tab.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// ASCII letters only fold; bytes of UTF-8 sequences are never ASCII.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace tk

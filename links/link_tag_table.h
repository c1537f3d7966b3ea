#pragma once
// The tags that carry links, and which of their attributes holds the link.
#include <array>
#include <iterator>
#include <string_view>

namespace tk {

// How a row's attribute holds its link.
enum class LinkValueKind : unsigned char {
  Url,         // one URL
  Hyperlink,   // one URL of a page the user goes on to: followed only within the layers, as <a>
  Srcset,      // a list of image candidates, each a URL with descriptors
  LinkRel,     // <link href>: a requisite or a hyperlink, as its rel says
  ImageInput,  // <input src>: a link only for type=image
  Base,        // <base href>: where the page's relative links start from
  StyleBlock,  // <style>: the text up to </style> is a style sheet
  Refresh,     // <meta http-equiv=refresh content="5; url=...">: the URL after the delay
  FormAction,  // <form action>: a hyperlink, but only for a form sent with GET
  Region,      // <html>, </html>: open and close the region where links are taken
};

struct LinkTagRow {
  std::string_view tag;        // upper case; matched without regard to case
  std::string_view attribute;  // empty for the rows that hold no link
  bool pageLink;               // the target is a page to scan in turn (frames, hyperlinks)
  LinkValueKind kind = LinkValueKind::Url;
};

// Row order matters: the first row whose tag the name matches wins, so "I" means IMG and "/"
// means /HTML; every row of that same tag then applies. The rows after APPLET came later and
// only take names that matched no earlier row.
inline constexpr LinkTagRow LinkTagTable[] = {
    {"HTML", "", false, LinkValueKind::Region},   // opens the HTML region
    {"/HTML", "", false, LinkValueKind::Region},  // closes it
    {"A", "HREF", true},                          // a hyperlink: limited by the link depth
    {"IMG", "SRC", false},
    {"BODY", "BACKGROUND", false},
    {"FRAME", "SRC", true},
    {"IFRAME", "SRC", true},
    {"SCRIPT", "SRC", false},
    {"OBJECT", "CODEBASE", false},
    {"APPLET", "CODE", false},
    // What a page needs to look as it does: fetched at any layer, like images.
    {"IMG", "SRCSET", false, LinkValueKind::Srcset},
    {"OBJECT", "DATA", false},
    {"LINK", "HREF", false, LinkValueKind::LinkRel},
    {"SOURCE", "SRC", false},
    {"SOURCE", "SRCSET", false, LinkValueKind::Srcset},
    {"VIDEO", "SRC", false},
    {"VIDEO", "POSTER", false},
    {"AUDIO", "SRC", false},
    {"TRACK", "SRC", false},
    {"EMBED", "SRC", false},
    {"INPUT", "SRC", false, LinkValueKind::ImageInput},
    {"BASE", "HREF", false, LinkValueKind::Base},
    {"STYLE", "", false, LinkValueKind::StyleBlock},
    // A page that sends the browser on at once shows its target: fetched at any layer, as a
    // frame. One that waits first is a page the user may stay on: a hyperlink.
    {"META", "CONTENT", true, LinkValueKind::Refresh},
    // Where a form (a documentation site's search box) takes the user: a page, as an <a> is.
    // A form that posts changes something on the server; fetching its action would too.
    {"FORM", "ACTION", true, LinkValueKind::FormAction},
};

// For each row, the next row of the same tag, or -1: the rows that also apply once a tag's
// first row is found.
inline constexpr auto kNextRowOfTag = [] {
  constexpr int n = static_cast<int>(std::size(LinkTagTable));
  std::array<int, n> next{};
  for (int i = 0; i < n; ++i) {
    next[i] = -1;
    for (int j = i + 1; j < n; ++j)
      if (LinkTagTable[j].tag == LinkTagTable[i].tag) {
        next[i] = j;
        break;
      }
  }
  return next;
}();

inline constexpr int kRowHtml = 0;
inline constexpr int kRowEndHtml = 1;
inline constexpr int kRowAnchor = 2;

// <link> rel values that name something the page needs rather than another page.
bool IsRequisiteRel(std::string_view rel);

// The index of the first row whose tag starts with `name` (ASCII case folded), or -1. A name that
// is only a prefix of a row's tag matches that row; a name longer than the row's tag does not.
int FindLinkTagRow(std::string_view name);

// False when `tag` holds no value for an attribute called `upperName` (no "=" follows that name,
// in any case): the quick answer for the attributes most tags lack.
bool MayHoldAttribute(std::string_view tag, std::string_view upperName);

// The tag's name: the text up to the first blank, or just "!" for a comment or declaration.
std::string_view TagName(std::string_view tag);

// Blanks separate words inside a tag: space, CR, LF and tab.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

}  // namespace tk

// Reading a tag: its name, its row in the tag table, one attribute's value, and the URL it holds.
#include <gtest/gtest.h>

#include <optional>

#include "links/attribute_value.h"
#include "links/link_tag_table.h"

namespace tk {
namespace {

TEST(LinkTagTable, RowsMatchByNamePrefixFirstRowWins) {
  const struct {
    const char* name;
    int row;
  } rows[] = {
      {"HTML", 0}, {"html", 0}, {"H", 0},    {"/HTML", 1}, {"/", 1},      {"/html", 1},
      {"A", 2},    {"a", 2},    {"IMG", 3},  {"I", 3},     {"B", 4},      {"body", 4},
      {"FRAME", 5}, {"F", 5},   {"iframe", 6}, {"SCRIPT", 7}, {"S", 7},   {"object", 8},
      {"APPLET", 9}, {"IMGX", -1}, {"ABBR", -1}, {"!", -1}, {"/A", -1},   {"", -1},
      {"HTMLX", -1}, {"P", -1},
  };
  for (const auto& r : rows) EXPECT_EQ(FindLinkTagRow(r.name), r.row) << r.name;
}

// The value as text, or nullopt when the attribute is missing or has no "=".
std::optional<std::string> ValueOf(std::string_view attribute, std::string_view tag) {
  const AttributeValue v = FindAttributeValue(attribute, tag);
  if (!v.found()) return std::nullopt;
  return std::string(tag.substr(static_cast<std::size_t>(v.start), v.length));
}

TEST(FindAttributeValue, Rows) {
  const struct {
    const char* attribute;
    const char* tag;
    std::optional<std::string> value;
  } rows[] = {
      {"HREF", "A HREF=sub/b.html", "sub/b.html"},
      {"HREF", "A NAME=x HREF=y.html", "y.html"},
      {"HREF", "A HREF=y.html TARGET=main", "y.html"},
      {"HREF", "A HREF=y.html#top", "y.html"},
      {"HREF", "a href=\"x y.html\"", "x y.html"},
      {"HREF", "a href='q.html'", "q.html"},
      {"HREF", "a href='it\"s.html'", "it\"s.html"},
      {"HREF", "a href = \" p.html \" ", "p.html"},
      {"HREF", "a\nhref\n=\np.html", "p.html"},
      {"HREF", "a data-href=x.html href=y.html", "y.html"},
      {"HREF", "a hreflang=en href=y.html", "y.html"},
      {"HREF", "a title=\"href=z.html\" href=y.html", "y.html"},
      {"HREF", "a href=one.html href=two.html", "one.html"},
      {"HREF", "a download href=y.html", "y.html"},
      {"HREF", "a href=\"a.html\"/", "a.html"},
      {"HREF", "a href=x.html/", "x.html/"},
      {"HREF", "a/href=y.html", std::nullopt},  // the name is "a/href=y.html"
      {"SRC", "img alt=x/src=a.gif", std::nullopt},
      {"SRC", "img = src=a.gif", "a.gif"},
      {"HREF", "a href=\"unterminated", "unterminated"},
      {"HREF", "a href=", ""},
      {"HREF", "a href=\"#top\"", ""},
      {"HREF", "a href", std::nullopt},
      {"HREF", "a href name=y.html", std::nullopt},
      {"HREF", "a", std::nullopt},
      {"HREF", "href=x.html", std::nullopt},  // that is the tag's name
      {"HREF", "a hrefx=x.html", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(ValueOf(r.attribute, r.tag), r.value) << r.tag;
}

TEST(DecodeLinkValue, Rows) {
  const struct {
    const char* raw;
    const char* decoded;
  } rows[] = {
      {"list.php?a=1&amp;b=2", "list.php?a=1&b=2"},
      {"&lt;&gt;&quot;&apos;&AMP;", "<>\"'&"},
      {"&#65;&#x42;&#X43;&#x64;", "ABCd"},
      {"&#233;", "\xC3\xA9"},
      {"&#x65E5;", "\xE6\x97\xA5"},
      {"&#0;", "\xEF\xBF\xBD"},
      {"&#xD800;", "\xEF\xBF\xBD"},
      {"&#99999999999999999999;", "\xEF\xBF\xBD"},
      {"a&amp", "a&"},  // an old name is taken without its ";" where nothing goes on
      {"?a=1&amp=2&ampx&copy=3", "?a=1&amp=2&ampx&copy=3"},
      {"?p=1&#038;replytocom=5", "?p=1&replytocom=5"},
      {"caf&#233;.html", "caf\xC3\xA9.html"},
      {"a&#150;b&#x80;", "a\xE2\x80\x93" "b\xE2\x82\xAC"},  // as Windows-1252 meant them
      {"&#x2F;dir&#x2F;f.html", "/dir/f.html"},
      {"a&nbsp;b&NBSP;&sol;&quest;x&equals;1&num;frag", "a\xC2\xA0" "b&NBSP;/?x=1"},
      {"a&b=1", "a&b=1"},
      {"&unknown;", "&unknown;"},
      {"a&#;b", "a&"},  // not a reference: the "#" starts a fragment, as in a browser
      {"&#65", "A"},
      {"&#x41b", "\xD0\x9B"},
      {"a&#35;frag", "a"},
      {"a&amp;#b", "a&"},
      {"a\tb\r\nc d", "abc d"},
      {"&amp;amp;", "&amp;"},
  };
  for (const auto& r : rows) EXPECT_EQ(DecodeLinkValue(r.raw), r.decoded) << r.raw;
}

TEST(LinkPartLength, AFragmentStartsAtAHashThatIsNoReference) {
  const struct {
    const char* raw;
    std::size_t length;
  } rows[] = {
      {"/?p=1&#038;replytocom=5", 23}, {"caf&#233;.html#x", 14}, {"&#x2F;dir&#x2F;f.html", 21},
      {"a#b&#038;", 1},                {"a&#35;b", 1},           {"a&num;b", 1},
      {"a&#;b", 2},                    {"", 0},                  {"#top", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(LinkPartLength(r.raw), r.length) << r.raw;
}

TEST(HtmlAttributeText, AnAmpersandAParserWouldReadAsAReferenceIsEscaped) {
  const struct {
    const char* url;
    const char* text;
  } rows[] = {
      {"http://h/?a=1&b=2", "http://h/?a=1&b=2"},
      {"http://h/?a=1&lt;", "http://h/?a=1&amp;lt;"},
      {"http://h/?a&#38;b&", "http://h/?a&amp;#38;b&amp;"},
      {"http://h/?x=&&amp=1", "http://h/?x=&amp;&amp=1"},
      {"http://h/?p=1&amp;q", "http://h/?p=1&amp;amp;q"},
  };
  for (const auto& r : rows) EXPECT_EQ(HtmlAttributeText(r.url), r.text) << r.url;
}

}  // namespace
}  // namespace tk

#pragma once
// Reading one attribute's value out of a tag's text (the text between "<" and ">").
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

// Where a value stands inside the tag text. start is -1 (and length 0) when the attribute is
// missing or has no "=".
struct AttributeValue {
  std::ptrdiff_t start = -1;
  std::size_t length = 0;
  bool found() const { return start >= 0; }
};

// Finds the first attribute called `attribute` (ASCII case folded) anywhere after the tag name.
// A quoted value runs to its matching quote (or the end of the tag when that quote is missing);
// an unquoted one to the first blank. Blanks just inside the quotes are not part of the value,
// and the value ends where its fragment starts (see LinkPartLength), so that whatever replaces
// it leaves the fragment behind.
AttributeValue FindAttributeValue(std::string_view attribute, std::string_view tag);

// How much of a raw value is the link without its fragment: up to the first "#", or the first
// reference that stands for one ("&#35;"). The "#" of "&#038;" is part of a reference, not a
// fragment.
std::size_t LinkPartLength(std::string_view raw);

// A URL written as an attribute's value, spelled so that an HTML parser reads it back as the
// same URL: an "&" that would start a character reference becomes "&amp;". The common
// "&name=value" of a query stays as it is, since no parser reads a reference there.
std::string HtmlAttributeText(std::string_view url);

// The same, with the whole value, "#" and all: for values that are no single URL (srcset,
// style, rel, type).
AttributeValue FindWholeAttributeValue(std::string_view attribute, std::string_view tag);

// The URL a raw attribute value stands for: character references (&amp; &lt; &gt; &quot;
// &apos; &nbsp;, the punctuation names, &#NN; &#xHH;) decoded, tabs and line breaks removed as browsers do, and anything from a
// decoded "#" on dropped, because a fragment is never requested.
std::string DecodeLinkValue(std::string_view raw);

// Appends a code point as UTF-8; NUL, surrogates and values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, std::uint32_t cp);

// An attribute's text with its character references decoded, everything else as it was.
std::string DecodeCharacterReferences(std::string_view raw);

}  // namespace tk

// The style-sheet scanner end to end: sheet in, sheet out plus the references it asked about,
// the same whatever the chunk boundaries.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "links/css_scanner.h"

namespace tk::test {
namespace {

using Call = std::pair<std::string, bool>;  // the decoded value and whether it is an @import

struct CssRow {
  const char* name;
  std::string input;
  std::map<std::string, std::string> answers;  // value -> replacement; any other keeps the value
  std::string expected;
  std::vector<Call> calls;
};

struct CssResult {
  std::string output;
  std::vector<Call> calls;
  int replaced = 0;       // answers other than nullopt
  int linkWrites = 0;     // calls of writeLink
};

// Feeds `input` in pieces that end at each of `cuts`, with writeLink set, as a caller that
// notes where each replacement lands does.
CssResult ScanWithCuts(const CssRow& row, const std::vector<std::size_t>& cuts) {
  CssResult r;
  CssContext css;
  css.link = [&](std::string_view url, bool import) -> std::optional<std::string> {
    r.calls.emplace_back(std::string(url), import);
    const auto it = row.answers.find(std::string(url));
    if (it == row.answers.end()) return std::nullopt;
    ++r.replaced;
    return it->second;
  };
  css.write = [&](const char* data, std::size_t len) {
    EXPECT_GT(len, 0u);
    r.output.append(data, len);
  };
  css.writeLink = [&](std::string_view text) {
    ++r.linkWrites;
    r.output += text;
  };
  CssScanState state;
  const std::string_view in = row.input;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    cut = std::min(std::max(cut, from), in.size());
    ParseCssChunk(css, in.substr(from, cut - from), state);
    from = cut;
  }
  ParseCssChunk(css, in.substr(from), state);
  FinishCss(css, state);
  return r;
}

// Cut positions for a row: every pair for a short sheet; for a long one, pairs around every
// 61st byte and all through the stretch where a value meets the buffer's end.
std::vector<std::pair<std::size_t, std::size_t>> CutPairs(std::size_t size) {
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  if (size <= 300) {
    for (std::size_t i = 0; i <= size; ++i)
      for (std::size_t j = i; j <= size; ++j) pairs.emplace_back(i, j);
    return pairs;
  }
  for (std::size_t i = 0; i <= size; ++i) {
    const bool nearEdge = i + 40 >= kCssValueBufferSize && i <= kCssValueBufferSize + 40;
    if (i % 61 != 0 && !nearEdge) continue;
    for (const std::size_t step : {0, 1, 2, 5, 300}) pairs.emplace_back(i, i + step);
  }
  return pairs;
}

void RunRows(const std::vector<CssRow>& rows) {
  for (const CssRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Call> calls;
    const std::string whole = RewriteCss(row.input, [&](std::string_view url, bool import) {
      calls.emplace_back(std::string(url), import);
      const auto it = row.answers.find(std::string(url));
      return it == row.answers.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
    EXPECT_EQ(whole, row.expected);
    EXPECT_EQ(calls, row.calls);
    for (const auto& [i, j] : CutPairs(row.input.size())) {
      const CssResult split = ScanWithCuts(row, {i, j});
      ASSERT_EQ(split.output, row.expected) << "cuts at " << i << ", " << j;
      ASSERT_EQ(split.calls, row.calls) << "cuts at " << i << ", " << j;
      ASSERT_EQ(split.linkWrites, split.replaced) << "cuts at " << i << ", " << j;
    }
  }
}

TEST(CssScanner, UrlSpellings) {
  RunRows({
      {"unquoted", "a{background:url(img/bg.png) no-repeat}", {{"img/bg.png", "../img/bg.png"}},
       "a{background:url(../img/bg.png) no-repeat}", {{"img/bg.png", false}}},
      {"double quotes keep their quotes", "b{background:url(\"a b.png\")}", {{"a b.png", "x/a b.png"}},
       "b{background:url(\"x/a b.png\")}", {{"a b.png", false}}},
      {"single quotes and blanks around", "c{b:url( 'c.png' )}", {{"c.png", "d.png"}},
       "c{b:url( 'd.png' )}", {{"c.png", false}}},
      {"blanks around an unquoted value", "d{b:url(\t e.png \n )}", {{"e.png", "f/e.png"}},
       "d{b:url(\t f/e.png \n )}", {{"e.png", false}}},
      {"any letter case", "URL(g.png) Url(h.png) uRl(i.png)", {{"g.png", "G"}, {"i.png", "I"}},
       "URL(G) Url(h.png) uRl(I)", {{"g.png", false}, {"h.png", false}, {"i.png", false}}},
      {"url( only at the start of a name", "myurl(a) -url(b) #url(c) 2url(d) @url(e) url (f) .url(g)",
       {}, "myurl(a) -url(b) #url(c) 2url(d) @url(e) url (f) .url(g)", {{"g", false}}},
      {"non-ASCII letters are part of a name", "\xc3\xa9url(a) \xc3\xa9 url(b)", {},
       "\xc3\xa9url(a) \xc3\xa9 url(b)", {{"b", false}}},
      {"font-face sources", "@font-face{src:url(f.woff2) format(\"woff2\"),url('f.woff')}",
       {{"f.woff2", "../f/f.woff2"}, {"f.woff", "../f/f.woff"}},
       "@font-face{src:url(../f/f.woff2) format(\"woff2\"),url('../f/f.woff')}",
       {{"f.woff2", false}, {"f.woff", false}}},
      {"data: URLs and empty values are asked about like any other",
       "a{b:url(data:image/png;base64,iVBOR=);c:url();d:url(\"\")}", {},
       "a{b:url(data:image/png;base64,iVBOR=);c:url();d:url(\"\")}",
       {{"data:image/png;base64,iVBOR=", false}, {"", false}, {"", false}}},
      {"an empty value can still be replaced", "url( )", {{"", "e.png"}}, "url( e.png)",
       {{"", false}}},
  });
}

TEST(CssScanner, EscapesInValuesAndReplacements) {
  RunRows({
      {"escaped parentheses and blank, unquoted", "url(a\\(1\\)\\ x.png)", {{"a(1) x.png", "b(2) y.png"}},
       "url(b\\(2\\)\\ y.png)", {{"a(1) x.png", false}}},
      {"hex escapes take one blank with them", "url(\\31 .png) url(\\000041\\42\r\nC)", {},
       "url(\\31 .png) url(\\000041\\42\r\nC)", {{"1.png", false}, {"ABC", false}}},
      {"hex escapes beyond ASCII are UTF-8", "url(\\e9.png) url(\\0.png) url(\\D800)", {},
       "url(\\e9.png) url(\\0.png) url(\\D800)",
       {{"\xc3\xa9.png", false}, {"\xef\xbf\xbd.png", false}, {"\xef\xbf\xbd", false}}},
      {"escaped quotes and a continued line, quoted", "url(\"q\\\"u'o\\\r\nte.png\")",
       {{"q\"u'ote.png", "r\"s'.png"}}, "url(\"r\\\"s'.png\")", {{"q\"u'ote.png", false}}},
      {"unquoted replacement escapes what would end or break it", "url(a)",
       {{"a", "x'y\"z(1) \\w\nv\t"}}, "url(x\\'y\\\"z\\(1\\)\\ \\\\w\\a v\\9 )", {{"a", false}}},
      {"single-quoted replacement escapes its quote, backslash and line breaks", "url('a')",
       {{"a", "x'y\"z\\w\nv"}}, "url('x\\'y\"z\\\\w\\a v')", {{"a", false}}},
      {"an escaped quote in text opens no string", "a\\\" url(b.png) c\\\"url(d.png)", {},
       "a\\\" url(b.png) c\\\"url(d.png)", {{"b.png", false}}},
      {"an escape continues a name", "x\\31 url(b) \\31 ;url(c)", {}, "x\\31 url(b) \\31 ;url(c)",
       {{"c", false}}},
  });
}

TEST(CssScanner, Imports) {
  RunRows({
      {"every form, any case",
       "@import \"a.css\";@import 'b.css' screen;@IMPORT url(c.css);@Import url( \"d.css\" );"
       "@import/**/\"e.css\";@import\n/* x */ url(f.css);@import\"g.css\";",
       {{"a.css", "s/a.css"}, {"c.css", "s/c.css"}, {"g.css", "s/g.css"}},
       "@import \"s/a.css\";@import 'b.css' screen;@IMPORT url(s/c.css);@Import url( \"d.css\" );"
       "@import/**/\"e.css\";@import\n/* x */ url(f.css);@import\"s/g.css\";",
       {{"a.css", true}, {"b.css", true}, {"c.css", true}, {"d.css", true}, {"e.css", true},
        {"f.css", true}, {"g.css", true}}},
      {"other at-rules and names are no imports",
       "@imports \"a.css\";@importurl(b.css);@impor \"c.css\";@media print{a{b:url(d.png)}}", {},
       "@imports \"a.css\";@importurl(b.css);@impor \"c.css\";@media print{a{b:url(d.png)}}",
       {{"d.png", false}}},
      {"an import's url( is followed by plain ones", "@import url(a.css);b{c:url(d.png)}", {},
       "@import url(a.css);b{c:url(d.png)}", {{"a.css", true}, {"d.png", false}}},
  });
}

TEST(CssScanner, CommentsAndStringsAreCopiedUnscanned) {
  RunRows({
      {"urls in comments are no links",
       "/* url(a.png) @import \"b.css\"; */x/**/url(c.png)/***/ /*/ url(d.png) **/url(e.png)", {},
       "/* url(a.png) @import \"b.css\"; */x/**/url(c.png)/***/ /*/ url(d.png) **/url(e.png)",
       {{"c.png", false}, {"e.png", false}}},
      {"a slash alone opens nothing", "a/url(b.png) c/ *url(d)", {}, "a/url(b.png) c/ *url(d)",
       {{"b.png", false}, {"d", false}}},
      {"strings that are no urls", "a{content:\"url(x.png)\";b:'it\\'s url(y.png)'} url(z.png)", {},
       "a{content:\"url(x.png)\";b:'it\\'s url(y.png)'} url(z.png)", {{"z.png", false}}},
      {"a line break ends a string", "a{content:\"abc\nurl(z.png)", {{"z.png", "Z"}},
       "a{content:\"abc\nurl(Z)", {{"z.png", false}}},
      {"a continued line does not", "a{content:\"abc\\\nurl(z.png)\"} url(w)", {},
       "a{content:\"abc\\\nurl(z.png)\"} url(w)", {{"w", false}}},
      {"a quoted url cut by a line break is no link", "url(\"a.png\nb) url(c)", {},
       "url(\"a.png\nb) url(c)", {{"c", false}}},
  });
}

TEST(CssScanner, MalformedAndUnfinished) {
  RunRows({
      {"parentheses inside an unquoted value make it no link",
       "url(a(b).png) url(c.png)", {{"c.png", "C"}}, "url(a(b).png) url(C)", {{"c.png", false}}},
      {"so do quotes and inner blanks", "url(a\"b) url(a b.png) url(a'b) url(\\\n) url(ok)", {},
       "url(a\"b) url(a b.png) url(a'b) url(\\\n) url(ok)", {{"ok", false}}},
      {"an escaped ) does not end the rest of a bad url", "url(a b\\) url(c)) url(d)", {},
       "url(a b\\) url(c)) url(d)", {{"d", false}}},
      {"unquoted value open at the end", "a{b:url(abc", {{"abc", "X"}}, "a{b:url(abc", {}},
      {"blanks after it, open at the end", "a{b:url( abc \t", {{"abc", "X"}}, "a{b:url( abc \t", {}},
      {"quoted value open at the end", "a{b:url(\"abc", {{"abc", "X"}}, "a{b:url(\"abc", {}},
      {"an import open at the end", "@import 'a.css", {{"a.css", "X"}}, "@import 'a.css", {}},
      {"an escape open at the end", "url(\"a\\", {}, "url(\"a\\", {}},
      {"comment, string and keywords open at the end", "/* url(a) *", {}, "/* url(a) *", {}},
      {"a string open at the end", "'url(a)", {}, "'url(a)", {}},
      {"half a keyword at the end", "x @impo", {}, "x @impo", {}},
      {"url( at the end", "x url(", {}, "x url(", {}},
  });
}

TEST(CssScanner, ValuesTooLongForTheBufferPassThrough) {
  const std::string big(kCssValueBufferSize + 50, 'A');
  const std::string exact(kCssValueBufferSize, 'B');
  const std::string sheet = "a{b:url(data:image/png;base64," + big + ")}c{d:url(\"data:," + big +
                            "\")}e{f:url(" + exact + ")}url(g.png)";
  RunRows({
      {"a long url( goes out whole, unasked, and scanning goes on after it", sheet,
       {{"g.png", "G"}, {exact, "E"}},
       "a{b:url(data:image/png;base64," + big + ")}c{d:url(\"data:," + big + "\")}e{f:url(E)}url(G)",
       {{exact, false}, {"g.png", false}}},
      {"one that fills the buffer with blanks", "url(a" + std::string(kCssValueBufferSize, ' ') + ") url(b)",
       {}, "url(a" + std::string(kCssValueBufferSize, ' ') + ") url(b)", {{"b", false}}},
  });
}

TEST(CssScanner, NoLinkCallbackAndOneStateForTwoSheets) {
  CssContext css;
  std::string out;
  css.write = [&](const char* data, std::size_t len) { out.append(data, len); };
  CssScanState state;
  ParseCssChunk(css, "a{b:url(c.png)}", state);
  FinishCss(css, state);
  EXPECT_EQ(out, "a{b:url(c.png)}");
  // The state is ready for the next sheet.
  out.clear();
  ParseCssChunk(css, "url(x", state);
  FinishCss(css, state);
  ParseCssChunk(css, "y)", state);
  FinishCss(css, state);
  EXPECT_EQ(out, "url(xy)");
}

}  // namespace
}  // namespace tk::test

// The scanner end to end: page in, page out plus the links it had fetched.
#include <gtest/gtest.h>

#include "support/scan_harness.h"

namespace tk::test {
namespace {

struct ScanRow {
  const char* name;
  std::string input;
  std::map<std::string, std::string> saved;
  std::string expected;
  std::vector<FetchCall> calls;
  int depth = 0;
  int port = 80;
};

void RunRows(const std::vector<ScanRow>& rows) {
  for (const ScanRow& row : rows) {
    SCOPED_TRACE(row.name);
    ScanSetup setup;
    setup.saved = row.saved;
    setup.depth = row.depth;
    setup.port = row.port;
    const ScanResult result = Scan(row.input, setup);
    EXPECT_EQ(result.output, row.expected);
    EXPECT_EQ(result.calls, row.calls);
  }
}

const std::string kB = "http://h/dir/sub/b.html";
const std::string kY = "http://h/dir/y.html";

TEST(HtmlScanner, HtmlRegionAndCase) {
  RunRows({
      {"no HTML tag: nothing is fetched", "<a href=y.html><img src=a.gif>", {{kY, "h/dir/y.htm"}},
       "<a href=y.html><img src=a.gif>", {}},
      {"upper case", "<HTML><A HREF=sub/b.html></HTML>", {{kB, "h/dir/sub/b.htm"}},
       "<HTML><A HREF=sub/b.htm></HTML>", {{kB, true, 1}}},
      {"lower case", "<html><a href=sub/b.html></html>", {{kB, "h/dir/sub/b.htm"}},
       "<html><a href=sub/b.htm></html>", {{kB, true, 1}}},
      {"html tag with attributes", "<html lang=ja>\n<a href=sub/b.html>", {{kB, "h/dir/sub/b.htm"}},
       "<html lang=ja>\n<a href=sub/b.htm>", {{kB, true, 1}}},
      {"/HTML closes the region", "<html></html><img src=a.gif>", {}, "<html></html><img src=a.gif>",
       {}},
      {"HTML reopens it", "<html></html><html><img src=a.gif>", {},
       "<html></html><html><img src=http://h/dir/a.gif>", {{"http://h/dir/a.gif", false, 1}}},
  });
}

TEST(HtmlScanner, RowsFlagsAndDepth) {
  RunRows({
      {"page links ask for parsing, embedded files do not",
       "<html><frame src=f.htm><iframe src=i.htm><img src=a.gif><script src=s.js>"
       "<body background=bg.gif><object codebase=o/><applet code=C.class>",
       {{"http://h/dir/f.htm", "h/dir/f.htm"}, {"http://h/dir/i.htm", "h/dir/i.htm"},
        {"http://h/dir/a.gif", "h/dir/a.gif"}, {"http://h/dir/s.js", "h/dir/s.js"},
        {"http://h/dir/bg.gif", "h/dir/bg.gif"}, {"http://h/dir/o/", "h/dir/o/index.htm"},
        {"http://h/dir/C.class", "h/dir/C.class"}},
       "<html><frame src=f.htm><iframe src=i.htm><img src=a.gif><script src=s.js>"
       "<body background=bg.gif><object codebase=o/index.htm><applet code=C.class>",
       {{"http://h/dir/f.htm", true, 1},
        {"http://h/dir/i.htm", true, 1},
        {"http://h/dir/a.gif", false, 1},
        {"http://h/dir/s.js", false, 1},
        {"http://h/dir/bg.gif", false, 1},
        {"http://h/dir/o/", false, 1},
        {"http://h/dir/C.class", false, 1}}},
      {"a tag name that is a prefix of a row's tag matches it", "<html><I SRC=a.gif><IM SRC=b.gif>",
       {}, "<html><I SRC=http://h/dir/a.gif><IM SRC=http://h/dir/b.gif>",
       {{"http://h/dir/a.gif", false, 1}, {"http://h/dir/b.gif", false, 1}}},
      {"a longer name does not", "<html><IMGX SRC=a.gif><abbr href=x>", {},
       "<html><IMGX SRC=a.gif><abbr href=x>", {}},
      {"at the last layer hyperlinks are not fetched but made absolute, images are still fetched",
       "<html><A HREF=y.html><IMG SRC=a.gif>", {{"http://h/dir/a.gif", "h/dir/a.gif"}},
       "<html><A HREF=http://h/dir/y.html><IMG SRC=a.gif>", {{"http://h/dir/a.gif", false, 2}}, 1},
      {"a form's action is a hyperlink: fetched within the layers, beyond them made local or absolute",
       "<html><form action=y.html method=get><FORM ACTION=\"sub/b.html?q=1\"><form action=\"\">",
       {{kY, "h/flat/y(2).htm"}},
       "<html><form action=../flat/y(2).htm method=get><FORM ACTION=\"http://h/dir/sub/b.html?q=1\"><form action=\"\">",
       {}, 1},
      {"within the layers it is fetched as a page", "<html><form action=y.html>", {{kY, "h/dir/y.html"}},
       "<html><form action=y.html>", {{kY, true, 1}}},
      {"only a form sent with GET leads anywhere: a missing or unknown method is GET",
       "<html><form method=\"post\" action=\"/cgi/delete.cgi?id=7\"><FORM METHOD=POST ACTION=x.cgi>"
       "<form action=d.html method=Dialog><form method=GeT action=y.html><form method=put action=sub/b.html>",
       {},
       "<html><form method=\"post\" action=\"/cgi/delete.cgi?id=7\"><FORM METHOD=POST ACTION=x.cgi>"
       "<form action=d.html method=Dialog><form method=GeT action=http://h/dir/y.html>"
       "<form method=put action=http://h/dir/sub/b.html>",
       {{kY, true, 1}, {kB, true, 1}}},
      {"frames are fetched at any depth", "<html><frame src=f.htm>", {{"http://h/dir/f.htm", "h/dir/f.htm"}},
       "<html><frame src=f.htm>", {{"http://h/dir/f.htm", true, 3}}, 2},
      {"a refresh at once is a page fetched at any depth; after a delay, a hyperlink held to the layers",
       "<html><meta http-equiv=\"Refresh\" content=\"0; URL=sub/b.html#top\">"
       "<META HTTP-EQUIV=refresh CONTENT='5;url=\"y.html\" '><meta http-equiv=refresh content=30>"
       "<meta name=x content=\"0; url=z.html\"><meta http-equiv=refresh content=\"1,http://o/p.html\">",
       {{kB, "h/flat/b(1).htm"}},
       "<html><meta http-equiv=\"Refresh\" content=\"0; URL=../flat/b(1).htm#top\">"
       "<META HTTP-EQUIV=refresh CONTENT='5;url=\"http://h/dir/y.html\" '><meta http-equiv=refresh content=30>"
       "<meta name=x content=\"0; url=z.html\"><meta http-equiv=refresh content=\"1,http://o/p.html\">",
       {{kB, true, 3}}, 2},
      {"within the layers a delayed refresh is fetched, the delay and the fragment kept",
       "<html><meta http-equiv=refresh content=\"5; url=y.html#a\"><meta http-equiv=refresh content=\"0.5;url=sub/b.html\">",
       {{kY, "h/dir/y2.html"}},
       "<html><meta http-equiv=refresh content=\"5; url=y2.html#a\">"
       "<meta http-equiv=refresh content=\"0.5;url=http://h/dir/sub/b.html\">",
       {{kY, true, 1}, {kB, true, 1}}},
  });
}

TEST(HtmlScanner, AttributeReading) {
  RunRows({
      {"not the first attribute", "<html><A NAME=x HREF=y.html>", {{kY, "h/dir/y2.html"}},
       "<html><A NAME=x HREF=y2.html>", {{kY, true, 1}}},
      {"double quotes after another attribute", "<html><a class=\"nav\" href=\"y.html\">",
       {{kY, "h/up/y.html"}}, "<html><a class=\"nav\" href=\"../up/y.html\">", {{kY, true, 1}}},
      {"fragment kept after the new path", "<html><A HREF=y.html#top>", {{kY, "h/dir/y2.html"}},
       "<html><A HREF=y2.html#top>", {{kY, true, 1}}},
      {"character references decoded before fetching",
       "<html><a href=\"list.php?a=1&amp;b=2\">", {{"http://h/dir/list.php?a=1&b=2", "h/dir/l.htm"}},
       "<html><a href=\"l.htm\">", {{"http://h/dir/list.php?a=1&b=2", true, 1}}},
      {"numeric references are characters of the link, not its fragment; the whole value is replaced",
       "<html><a href=\"/?p=1&#038;replytocom=5#respond\"><a href='caf&#233;.html'><a href=&#x2F;dir&#x2F;f.html>",
       {{"http://h/?p=1&replytocom=5", "h/p1.htm"}, {"http://h/dir/caf\xC3\xA9.html", "h/dir/caf\xC3\xA9.html"},
        {"http://h/dir/f.html", "h/dir/f.html"}},
       "<html><a href=\"../p1.htm#respond\"><a href='caf%C3%A9.html'><a href=f.html>",
       {{"http://h/?p=1&replytocom=5", true, 1}, {"http://h/dir/caf\xC3\xA9.html", true, 1},
        {"http://h/dir/f.html", true, 1}}},
      {"a link not saved reads back as the same URL",
       "<html><a href=\"/?p=1&#038;c=5\"><a href=\"/?a=1&amp;lt=2&amp;x\"><img src=\"i.php?a=1&amp;b=2\">", {},
       "<html><a href=\"http://h/?p=1&c=5\"><a href=\"http://h/?a=1&lt=2&amp;x\"><img src=\"http://h/dir/i.php?a=1&b=2\">",
       {{"http://h/?p=1&c=5", true, 1}, {"http://h/?a=1&lt=2&x", true, 1}, {"http://h/dir/i.php?a=1&b=2", false, 1}}},
      {"empty and missing values", "<html><a href=\"\"><a href><a name=top><a href=#top>", {},
       "<html><a href=\"\"><a href><a name=top><a href=#top>", {}},
      {"a link not saved becomes its absolute URL, fragment kept",
       "<html><a href=\"y.html#s\"><img src='a b\"<c.gif'>", {},
       "<html><a href=\"http://h/dir/y.html#s\"><img src='http://h/dir/a%20b%22%3Cc.gif'>",
       {{kY, true, 1}, {"http://h/dir/a b\"<c.gif", false, 1}}},
      {"a saved name that needs escaping", "<html><a href=y.html>", {{kY, "h/dir/my file#1.txt"}},
       "<html><a href=my%20file%231.txt>", {{kY, true, 1}}},
  });
}

TEST(HtmlScanner, Resolution) {
  RunRows({
      {"other schemes are neither fetched nor touched",
       "<html><a href=\"https://s/x\"><a href=\"javascript:go()\"><a href=mailto:me@h>"
       "<img src=\"data:image/gif;base64,R0lG\"><a href=tel:123>",
       {},
       "<html><a href=\"https://s/x\"><a href=\"javascript:go()\"><a href=mailto:me@h>"
       "<img src=\"data:image/gif;base64,R0lG\"><a href=tel:123>",
       {}},
      {"network-path reference", "<html><img src=//cdn/x.gif>", {}, "<html><img src=http://cdn/x.gif>",
       {{"http://cdn/x.gif", false, 1}}},
      {"the page's port is kept", "<html><a href=y.html><img src=/i.gif>", {},
       "<html><a href=http://h:8080/dir/y.html><img src=http://h:8080/i.gif>",
       {{"http://h:8080/dir/y.html", true, 1}, {"http://h:8080/i.gif", false, 1}}, 0, 8080},
      {"absolute http and ftp links as written", "<html><a href=HTTP://o/p.html><a href=ftp://f/a.zip>",
       {}, "<html><a href=HTTP://o/p.html><a href=ftp://f/a.zip>",
       {{"HTTP://o/p.html", true, 1}, {"ftp://f/a.zip", true, 1}}},
  });
}

TEST(HtmlScanner, TagBoundaries) {
  RunRows({
      {"a < b is text", "<html>a < b <<A HREF=y.html> c", {}, "<html>a < b <<A HREF=y.html> c", {}},
      {"a comment ends at its first >",
       "<html><!-- <a href=x.html> --> <a href=y.html>", {{kY, "h/dir/y2.html"}},
       "<html><!-- <a href=x.html> --> <a href=y2.html>", {{kY, true, 1}}},
      {"a > inside quotes ends the tag", "<html><a href=\"y.html>\">", {{kY, "h/dir/z.htm"}},
       "<html><a href=\"z.htm>\">", {{kY, true, 1}}},
      {"an unclosed last tag is kept as text, not fetched", "<html><body>text<a href=\"x.html", {},
       "<html><body>text<a href=\"x.html", {}},
      {"so is an unclosed comment or attribute", "<html><!-- <a href=y.html", {}, "<html><!-- <a href=y.html",
       {}},
      {"an unclosed tag after a link", "<html><a href=y.html>y</a><img alt='>", {{kY, "h/dir/z.htm"}},
       "<html><a href=z.htm>y</a><img alt='>", {{kY, true, 1}}},
      {"a < at the very end stays", "<html>x<", {}, "<html>x<", {}},
      {"blanks inside a tag", "<html><a\r\n\thref = \"y.html\" >", {{kY, "h/dir/w.htm"}},
       "<html><a\r\n\thref = \"w.htm\" >", {{kY, true, 1}}},
      {"tags a browser would not take are still text", "<html>< a href=y.html><1><>", {},
       "<html>< a href=y.html><1><>", {}},
  });
}

TEST(HtmlScanner, OverlongTagPassesThroughUnscanned) {
  const std::string padding(20000, 'x');
  const std::string page = "<html>before<img title=" + padding + " src=a.gif>after<img src=b.gif>";
  ScanSetup setup;
  setup.saved = {{"http://h/dir/a.gif", "h/a.gif"}, {"http://h/dir/b.gif", "h/dir/c.gif"}};
  for (std::size_t chunk : {std::size_t{1023}, std::size_t{7}, page.size()}) {
    SCOPED_TRACE(chunk);
    std::vector<std::size_t> cuts;
    for (std::size_t at = chunk; at < page.size(); at += chunk) cuts.push_back(at);
    const ScanResult result = ScanWithCuts(page, setup, cuts);
    EXPECT_EQ(result.output,
              "<html>before<img title=" + padding + " src=a.gif>after<img src=c.gif>");
    EXPECT_EQ(result.calls, (std::vector<FetchCall>{{"http://h/dir/b.gif", false, 1}}));
  }
}

TEST(HtmlScanner, TagFillingTheBufferExactlyIsStillScanned) {
  // "img src=a.gif alt=" plus padding makes exactly 16,384 bytes between "<" and ">".
  std::string tag = "img src=a.gif alt=";
  tag += std::string(kTagBufferSize - tag.size(), 'y');
  ScanSetup setup;
  setup.saved = {{"http://h/dir/a.gif", "h/dir/b.gif"}};
  const ScanResult fits = Scan("<html><" + tag + ">", setup);
  EXPECT_EQ(fits.calls.size(), 1u);
  EXPECT_EQ(fits.output, "<html><img src=b.gif" + tag.substr(13) + ">");
  const ScanResult over = Scan("<html><" + tag + "y>", setup);
  EXPECT_TRUE(over.calls.empty());
  EXPECT_EQ(over.output, "<html><" + tag + "y>");
}

TEST(HtmlScanner, NestedFetchScansAnotherPageMidTag) {
  // The engine scans the linked page from inside fetchUrl; the outer page's state must not care.
  std::string inner;
  PageContext innerPage{"h", 80, "/dir/y.html", "h/dir/y.html", 1, 1, nullptr,
                        [&](const char* d, std::size_t n) { inner.append(d, n); }};
  innerPage.fetchUrl = [](const std::string&, bool, int) { return std::string("h/img/i.gif"); };
  std::string outer;
  PageContext outerPage{"h", 80, "/dir/page.html", "h/dir/page.html", 0, 1, nullptr,
                        [&](const char* d, std::size_t n) { outer.append(d, n); }};
  outerPage.fetchUrl = [&](const std::string& url, bool, int) {
    if (url != "http://h/dir/y.html") return std::string("h/img/i.gif");
    ScanState innerState;
    ParseHtmlChunk(innerPage, "<html><img src=../img/i.gif><a href=", innerState);
    ParseHtmlChunk(innerPage, "z.html>", innerState);
    return std::string("h/dir/y.html");
  };
  ScanState state;
  ParseHtmlChunk(outerPage, "<html><a hr", state);
  ParseHtmlChunk(outerPage, "ef=y.html>x<img src=p.gif>", state);
  EXPECT_EQ(inner, "<html><img src=../img/i.gif><a href=http://h/dir/z.html>");
  EXPECT_EQ(outer, "<html><a href=y.html>x<img src=../img/i.gif>");
}

}  // namespace
}  // namespace tk::test

namespace tk::test {
namespace {

const std::string kS = "http://h/dir/s.css";

TEST(HtmlScanner, PageRequisites) {
  const std::map<std::string, std::string> all = {
      {kS, "h/dir/css/s.css"}, {"http://h/dir/a.png", "h/dir/a.png"}, {"http://h/dir/b.png", "h/dir/b (2).png"},
      {"http://h/dir/v.mp4", "h/dir/v.mp4"}, {"http://h/dir/p.jpg", "h/p.jpg"}, {"http://h/x.css", "h/x.css"},
      {"http://h/other/a.gif", "h/other/a.gif"}};
  RunRows({
      {"style sheet and icon are requisites, on the last layer too",
       "<html><link rel=stylesheet href=s.css><LINK REL=\"shortcut icon\" HREF=\"a.png\">", all,
       "<html><link rel=stylesheet href=css/s.css><LINK REL=\"shortcut icon\" HREF=\"a.png\">",
       {{kS, false, 2}, {"http://h/dir/a.png", false, 2}}, 1},
      {"other rels are hyperlinks, held to the layers",
       "<html><link rel=canonical href=a.png><link href=s.css>", all,
       "<html><link rel=canonical href=a.png><link href=css/s.css>", {}, 1},
      {"srcset: every candidate, descriptors kept, after src",
       "<html><img srcset=\"a.png 1x, b.png 2x\" src=a.png>", all,
       "<html><img srcset=\"a.png 1x, b%20(2).png 2x\" src=a.png>",
       {{"http://h/dir/a.png", false, 1}, {"http://h/dir/a.png", false, 1}, {"http://h/dir/b.png", false, 1}}},
      {"picture, video, audio, track, embed, object data, image input",
       "<html><picture><source srcset='a.png 480w,b.png 1080w' sizes=50vw><img src=a.png></picture>"
       "<video poster=p.jpg src=v.mp4><source src=v.mp4><track src=t.vtt></video><audio src=m.ogg>"
       "<embed src=e.swf><object data=o.svg><input type=IMAGE src=a.png><input type=text src=n.png>",
       all,
       "<html><picture><source srcset='a.png 480w,b%20(2).png 1080w' sizes=50vw><img src=a.png></picture>"
       "<video poster=../p.jpg src=v.mp4><source src=v.mp4><track src=http://h/dir/t.vtt></video>"
       "<audio src=http://h/dir/m.ogg><embed src=http://h/dir/e.swf><object data=http://h/dir/o.svg>"
       "<input type=IMAGE src=a.png><input type=text src=n.png>",
       {{"http://h/dir/a.png", false, 1}, {"http://h/dir/b.png", false, 1}, {"http://h/dir/a.png", false, 1},
        {"http://h/dir/v.mp4", false, 1}, {"http://h/dir/p.jpg", false, 1}, {"http://h/dir/v.mp4", false, 1},
        {"http://h/dir/t.vtt", false, 1}, {"http://h/dir/m.ogg", false, 1}, {"http://h/dir/e.swf", false, 1},
        {"http://h/dir/o.svg", false, 1}, {"http://h/dir/a.png", false, 1}}},
      {"style values and blocks",
       "<html><div style=\"color:#fff;background:url('a.png')\" class=x><p style=\"color:#000\">"
       "<style>@import \"/x.css\";\nb{background:URL( b.png )}</STYLE><a style='x:url(#f)'>",
       all,
       "<html><div style=\"color:#fff;background:url('a.png')\" class=x><p style=\"color:#000\">"
       "<style>@import \"../x.css\";\nb{background:URL( b%20%282%29.png )}</STYLE><a style='x:url(#f)'>",
       {{"http://h/dir/a.png", false, 1}, {"http://h/x.css", false, 1}, {"http://h/dir/b.png", false, 1}}},
      {"base href: later links start from it, and it is emptied in the copy",
       "<html><img src=a.png><base href=\"/other/\"><img src=a.gif><base href=/ignored/><img src=b.gif>", all,
       "<html><img src=a.png><base href=\"\"><img src=../other/a.gif><base href=/ignored/>"
       "<img src=http://h/other/b.gif>",
       {{"http://h/dir/a.png", false, 1}, {"http://h/other/a.gif", false, 1}, {"http://h/other/b.gif", false, 1}}},
  });
}

TEST(Chunking, RequisitesAtEveryPairOfSplitPositions) {
  const std::string page =
      "<html><link rel=stylesheet href=s.css><img srcset=\"a.png 1x, b.png 2x\" src=a.png>"
      "<div style=\"background:url( 'a.png' )\"><style>/* </s */ @import url(\"/x.css\");"
      "\nb{background:url(b.png)} a:after{content:\"url(no)\"}</style >"
      "<base href=/other/><img src=a.gif><STYLE>x{y:url(p.jpg)}";
  ScanSetup setup;
  setup.saved = {{kS, "h/dir/s.css"}, {"http://h/dir/a.png", "h/dir/a.png"}, {"http://h/x.css", "h/x(1).css"},
                 {"http://h/other/a.gif", "h/other/a.gif"}};
  auto scan = [&](const std::vector<std::size_t>& cuts) {
    ScanResult result = ScanWithCuts(page, setup, cuts);
    return result;
  };
  const ScanResult whole = scan({});
  EXPECT_EQ(whole.output,
            "<html><link rel=stylesheet href=s.css><img srcset=\"a.png 1x, http://h/dir/b.png 2x\" src=a.png>"
            "<div style=\"background:url( 'a.png' )\"><style>/* </s */ @import url(\"../x%281%29.css\");"
            "\nb{background:url(http://h/dir/b.png)} a:after{content:\"url(no)\"}</style >"
            "<base href=\"\"><img src=../other/a.gif><STYLE>x{y:url(http://h/other/p.jpg)}");
  EXPECT_EQ(whole.calls.size(), 9u);
  for (std::size_t i = 0; i <= page.size(); ++i) {
    for (std::size_t j = i; j <= page.size(); j += 3) {
      const ScanResult split = scan({i, j});
      ASSERT_EQ(split.output, whole.output) << "cuts at " << i << ", " << j;
      ASSERT_EQ(split.calls, whole.calls) << "cuts at " << i << ", " << j;
    }
  }
}

}  // namespace
}  // namespace tk::test

// Paths written into saved pages in place of their links.
#include <gtest/gtest.h>

#include "links/relative_path.h"

namespace tk {
namespace {

TEST(MakeRelativeLocalPath, Rows) {
  const struct {
    const char* page;
    const char* target;
    const char* relative;
  } rows[] = {
      {"h/dir/index.htm", "h/img/a.gif", "../img/a.gif"},
      {"h/index.htm", "h/sub/x.gif", "sub/x.gif"},
      {"h/d/a.htm", "h/x.gif", "../x.gif"},
      {"h1/a.htm", "h2/x.gif", "../h2/x.gif"},
      {"a.htm", "b.gif", "b.gif"},
      {"h/d/p.htm", "h/d/p.htm", "p.htm"},
      {"H/a.htm", "h/b.gif", "../h/b.gif"},
      {"h/a/b/c.htm", "h/a/x/y/z.gif", "../x/y/z.gif"},
      {"a.htm", "h/x/y.gif", "h/x/y.gif"},
      {"h/x/y.htm", "z.gif", "../../z.gif"},
      {"h/d/p.htm", "h/d/my file#1.txt", "my%20file%231.txt"},
      {"h/p.htm", "h/100%.htm", "100%25.htm"},
      {"h/p.htm", "h/q?.htm", "q%3F.htm"},
      {"h/p.htm", "h/a\"b'c<d>e&f\\g.htm", "a%22b%27c%3Cd%3Ee%26f%5Cg.htm"},
      {"h/p.htm", "h/tab\there\x7F.htm", "tab%09here%7F.htm"},
      {"a.htm", "a:b.htm", "./a:b.htm"},
      {"h/d/a.htm", "h/a:b.htm", "../a:b.htm"},
      {"h/p.htm", "h/\xE6\x97\xA5\xE6\x9C\xAC.gif", "%E6%97%A5%E6%9C%AC.gif"},
      {"h/\xE8\xB3\x87/p.htm", "h/caf\xC3\xA9/a b.htm", "../caf%C3%A9/a%20b.htm"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(MakeRelativeLocalPath(r.page, r.target), r.relative) << r.page << " -> " << r.target;
}

// A link left pointing at the server: every byte that could end the attribute or url() it
// stands in, or that is no printable ASCII, is escaped wherever it stands; the rest is kept.
TEST(AbsoluteLinkText, EscapesWhatWouldEndTheValueAndKeepsTheRest) {
  const struct {
    const char* url;
    const char* text;
  } rows[] = {
      {"http://h/a/b.htm?x=1&y=2#f", "http://h/a/b.htm?x=1&y=2#f"},
      {"", ""},
      {" lead", "%20lead"},
      {"trail\\", "trail%5C"},
      {"http://h/a b\"c'd<e>f(g)h", "http://h/a%20b%22c%27d%3Ce%3Ef%28g%29h"},
      {"\x01\x1F\x7F\xFF", "%01%1F%7F%FF"},
      {"http://h/caf\xC3\xA9.htm", "http://h/caf%C3%A9.htm"},
      {"%41~!$*+,;=:@", "%41~!$*+,;=:@"},
  };
  for (const auto& r : rows) EXPECT_EQ(AbsoluteLinkText(r.url), r.text) << r.url;
}

}  // namespace
}  // namespace tk

// The user's URL filters: the glob, and which links a crawl follows under include and exclude
// globs.
#include "engine/url_filters.h"
#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

TEST(GlobMatches, StarIsAnyRunSlashesIncludedAndTheRestLiteral) {
  struct Row {
    const char* glob;
    const char* text;
    bool matches;
  } rows[] = {
      {"*", "", true},
      {"*", "/a/b?c", true},
      {"/a/*", "/a/b/c.htm", true},
      {"/a/*", "/a", false},
      {"/a/*", "/b/a/x", false},
      {"*.pdf", "/x/Y.PDF", true},
      {"*.pdf", "/x/y.pdf?dl=1", false},
      {"*.pdf*", "/x/y.pdf?dl=1", true},
      {"/a*b*c", "/axxbyyc", true},
      {"/a*b*c", "/axxbyyd", false},
      {"/a**b", "/ab", true},
      {"*?id=*", "/q.htm?id=7", true},
      {"/a.htm", "/a_htm", false},
      {"/a?b", "/axb", false},
      {"/[ab].htm", "/a.htm", false},
      {"/[ab].htm", "/[ab].htm", true},
      // A long text against many stars stays quick: no backtracking blow-up.
      {"*a*a*a*a*a*a*a*a*a*a*a*b", "/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
  };
  for (const Row& row : rows) EXPECT_EQ(GlobMatches(row.glob, row.text), row.matches) << row.glob << " " << row.text;
}

TEST(UrlFilters, AGlobIsSpelledAsTheUrlsItMeets) {
  UrlFilters filters({"/docs/*"}, {"/docs/日本 語/*"});
  EXPECT_TRUE(filters.Allows("/docs/a.htm"));
  EXPECT_FALSE(filters.Allows("/docs/%E6%97%A5%E6%9C%AC%20%E8%AA%9E/a.htm"));
  EXPECT_FALSE(filters.Allows("/other.htm"));
  EXPECT_TRUE(filters.Allows("/docs/a.htm#part"));
}

using UrlFilterRun = CrawlFixture;

TEST_F(UrlFilterRun, IncludeAndExcludeGlobsChooseTheLinksFollowed) {
  const std::vector<std::string> links = {"/a/1.htm", "/a/2.pdf", "/b/3.htm", "/b/c/4.htm?x=1", "/A/5.htm", "/q.htm?id=7",
                                          "/r.htm"};
  struct Row {
    const char* what;
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    std::vector<std::string> requested;  // besides the start page, in crawl order
  } rows[] = {
      {"no filter",
       {},
       {},
       {"/a/1.htm", "/a/2.pdf", "/b/3.htm", "/b/c/4.htm?x=1", "/A/5.htm", "/q.htm?id=7", "/r.htm", "/b/moved.htm"}},
      {"an include; case is not told apart", {"/a/*"}, {}, {"/a/1.htm", "/a/2.pdf", "/A/5.htm"}},
      {"an exclude",
       {},
       {"*.pdf"},
       {"/a/1.htm", "/b/3.htm", "/b/c/4.htm?x=1", "/A/5.htm", "/q.htm?id=7", "/r.htm", "/b/moved.htm"}},
      {"an exclude wins", {"/a/*"}, {"*.pdf"}, {"/a/1.htm", "/A/5.htm"}},
      {"a star crosses folders", {"/b/*"}, {}, {"/b/3.htm", "/b/c/4.htm?x=1"}},
      {"the query counts", {"*?id=*", "*?x=*"}, {}, {"/b/c/4.htm?x=1", "/q.htm?id=7"}},
      // A redirect's target is judged as well: dropped like a file of an excluded type.
      {"a redirect into an exclude", {}, {"/b/*"}, {"/a/1.htm", "/a/2.pdf", "/A/5.htm", "/q.htm?id=7", "/r.htm"}},
      {"the start page always", {"/nothing/*"}, {"/index.htm"}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    net = FakeNet{};
    std::string index;
    for (const std::string& link : links) index += "<a href=\"" + link + "\">x</a>";
    net.Page("h:80/index.htm", "<html>" + index + "</html>");
    for (const std::string& link : links) net.Page("h:80" + link, "<html>page</html>");
    net.Page("h:80/b/moved.htm", "<html>moved</html>");
    net.Redirect("h:80/r.htm", "http://h/b/moved.htm");
    settings.IncludeUrls = row.include;
    settings.ExcludeUrls = row.exclude;
    host.startUrls = {"http://h/index.htm"};
    std::filesystem::remove_all(save.Path());
    std::filesystem::create_directories(save.Path());
    const std::string log = Run();
    std::vector<std::string> requested;
    for (const std::string& request : net.requests)
      if (request != "GET h:80/index.htm") requested.push_back(request.substr(std::string("GET h:80").size()));
    EXPECT_EQ(requested, row.requested) << log;
    // A link filtered out gets no line and changes no counter, as a file of an excluded type.
    EXPECT_EQ(counters.Errors, 0);
    EXPECT_EQ(counters.FilesSkipped, 0);
    EXPECT_EQ(log.find("NG:"), std::string::npos);
  }
}

}  // namespace
}  // namespace tk::test

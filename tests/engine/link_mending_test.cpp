// The links of a copy, whatever order the crawl met their targets in: local when the run saved
// the target (before or after the page), absolute when it did not, and pages met first on a
// deep layer crawled again from the higher one.
#include <sys/stat.h>
#include <unistd.h>

#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

using LinkMending = CrawlFixture;

std::string Html(const std::string& inner) { return "<html>" + inner + "</html>"; }

TEST_F(LinkMending, LastLayerLinksAreLocalAbsoluteOrMendedWhenTheRunEnds) {
  settings.SameSiteOnly = 1;
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<a href=a.htm>a</a><a href=b.htm>b</a>"));
  // a.htm is on the last layer: none of its hyperlinks is fetched from here.
  net.Page("h:80/a.htm", Html("<a href=\"/index.htm\">up</a><a href=/b.htm#s>later</a>"
                              "<a href='never.htm?q=a b'>never</a><a href=http://o/x.htm>off</a>"
                              "<a href=a.htm>self</a>"));
  net.Page("h:80/b.htm", Html("<a href=a.htm#top>back</a>"));
  net.Page("h:80/never.htm", "never fetched");
  std::string log = Run();
  EXPECT_EQ(log, header +
                     "http://h/index.htm(OK:Saved as[index.htm])\r\n"
                     "http://h/a.htm(OK:Saved as[a.htm])\r\n"
                     "http://h/b.htm(OK:Saved as[b.htm])\r\n" +
                     Summary(3, 0, 0,
                             static_cast<long>(net.http["h:80/index.htm"].body.size() +
                                               net.http["h:80/a.htm"].body.size() +
                                               net.http["h:80/b.htm"].body.size())));
  EXPECT_EQ(Saved("a.htm"), Html("<a href=\"index.htm\">up</a><a href=b.htm#s>later</a>"
                                 "<a href='http://h/never.htm?q=a%20b'>never</a><a href=http://o/x.htm>off</a>"
                                 "<a href=a.htm>self</a>"));
  EXPECT_EQ(Saved("b.htm"), Html("<a href=a.htm#top>back</a>"));
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"index.htm", "a.htm", "b.htm"}));
}

TEST_F(LinkMending, APageMetFirstOnTheLastLayerIsCrawledAgainFromAHigherOne) {
  settings.LinkLayers = 2;
  settings.SaveFlat = 0;
  host.startUrls = {"http://h/index.htm", "http://h/deep/y.htm"};
  // index -> x -> y (last layer: z is left), then index -> y again one layer up: z is fetched
  // then, from the saved y, without y being fetched or logged again. The second start page is
  // y once more, at the top: w, two layers down, comes in then.
  net.Page("h:80/index.htm", Html("<a href=x.htm>x</a><a href=deep/y.htm>y</a>"));
  net.Page("h:80/x.htm", Html("<a href=deep/y.htm>y</a>"));
  net.Page("h:80/deep/y.htm", Html("<a href=z.htm>z</a><img src=../i.gif>"));
  net.Page("h:80/deep/z.htm", Html("<a href=w.htm>w</a>"));
  net.Page("h:80/deep/w.htm", Html("end"));
  net.Page("h:80/i.gif", "GIF", "image/gif");
  std::string log = Run();
  EXPECT_EQ(log.substr(header.size(), log.find("Summary:") - header.size()),
            "http://h/index.htm(OK:Saved as[h/index.htm])\r\n"
            "http://h/x.htm(OK:Saved as[h/x.htm])\r\n"
            "http://h/deep/y.htm(OK:Saved as[h/deep/y.htm])\r\n"
            "http://h/deep/../i.gif(OK:Saved as[h/i.gif])\r\n"
            "http://h/deep/z.htm(OK:Saved as[h/deep/z.htm])\r\n"
            "http://h/deep/w.htm(OK:Saved as[h/deep/w.htm])\r\n");
  EXPECT_EQ(net.requests.size(), 6u);
  EXPECT_EQ(Saved("h/deep/y.htm"), Html("<a href=z.htm>z</a><img src=../i.gif>"));
  EXPECT_EQ(Saved("h/deep/z.htm"), Html("<a href=w.htm>w</a>"));
}

TEST_F(LinkMending, PagesMetBeyondTheLayersAreCrawledAgainEachTimeTheyAreMetHigher) {
  settings.LinkLayers = 3;
  host.startUrls = {"http://h/index.htm", "http://h/c.htm"};
  // c and g are met first on the last layer: their hyperlinks wait, one to a page not met yet
  // (d, h), one to a page met already, spelled as it was first asked for (b) or otherwise
  // (./a). index reaches c again a layer up, and the second start page once more at the top:
  // each time the pages below it are crawled again from there, without being fetched again.
  net.Page("h:80/index.htm", Html("<a href=a.htm>a</a><a href=c.htm>c</a>"));
  net.Page("h:80/a.htm", Html("<a href=b.htm>b</a>"));
  net.Page("h:80/b.htm", Html("<a href=c.htm>c</a><a href=g.htm>g</a>"));
  net.Page("h:80/c.htm", Html("<a href=d.htm>d</a><a href=./a.htm>a</a><a href=b.htm>b</a>"));
  net.Page("h:80/g.htm", Html("<a href=h.htm>h</a>"));
  net.Page("h:80/d.htm", Html("<a href=e.htm>e</a>"));
  net.Page("h:80/e.htm", Html("<a href=f.htm>f</a>"));
  net.Page("h:80/f.htm", Html("f"));
  net.Page("h:80/h.htm", Html("h"));
  std::string log = Run();
  std::string expected;
  for (const char* name : {"index", "a", "b", "c", "g", "d", "e", "f", "h"})
    expected += std::string("http://h/") + name + ".htm(OK:Saved as[" + name + ".htm])\r\n";
  EXPECT_EQ(log.substr(header.size(), log.find("Summary:") - header.size()), expected);
  EXPECT_EQ(net.requests.size(), 9u);
  // The links written before their targets were saved are local once the run ends.
  EXPECT_EQ(Saved("c.htm"), Html("<a href=d.htm>d</a><a href=a.htm>a</a><a href=b.htm>b</a>"));
  EXPECT_EQ(Saved("g.htm"), Html("<a href=h.htm>h</a>"));
  EXPECT_EQ(Saved("e.htm"), Html("<a href=f.htm>f</a>"));
  // Nothing of the run's own is left beside the copy.
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"index.htm", "a.htm", "b.htm", "c.htm", "g.htm", "d.htm", "e.htm",
                                                 "f.htm", "h.htm"}));
}

TEST(EditSavedFile, ReplacesRangesOrLeavesTheFileAsItWas) {
  TempDir dir;
  const auto file = dir / "p.htm";
  struct Row {
    const char* name;
    std::vector<FileEdit> edits;
    bool ok;
    std::string after;
  } rows[] = {
      {"two ranges, one growing, one shrinking", {{2, 3, "abcdef"}, {7, 3, "Z"}}, true, "01abcdef56Z"},
      {"a range at the very end", {{8, 2, "xy"}}, true, "01234567xy"},
      {"shrinking, as a local path replaces a URL", {{2, 5, "x"}, {8, 1, ""}}, true, "01x79"},
      {"a range beyond the end", {{8, 3, "xy"}}, false, "0123456789"},
      {"ranges out of order", {{5, 1, "a"}, {2, 1, "b"}}, false, "0123456789"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(file, "0123456789");
    ::chmod(file.c_str(), 0640);
    EXPECT_EQ(EditSavedFile(dir.Path(), "p.htm", row.edits), row.ok);
    EXPECT_EQ(ReadFile(file), row.after);
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
  }
  // Never through a symlink, and no temporary file is left behind.
  WriteFile(dir / "target.htm", "0123456789");
  ::symlink("target.htm", (dir / "link.htm").c_str());
  EXPECT_FALSE(EditSavedFile(dir.Path(), "link.htm", {{0, 1, "x"}}));
  EXPECT_EQ(ReadFile(dir / "target.htm"), "0123456789");
  // Nor through a symlinked folder on the way.
  std::filesystem::create_directory(dir / "real");
  WriteFile(dir / "real/p.htm", "0123456789");
  ::symlink("real", (dir / "folder").c_str());
  EXPECT_FALSE(EditSavedFile(dir.Path(), "folder/p.htm", {{0, 1, "x"}}));
  EXPECT_EQ(ReadFile(dir / "real/p.htm"), "0123456789");
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.path().filename() != "" ? 1 : 0;
  EXPECT_EQ(files, 5u);
}

}  // namespace
}  // namespace tk::test

namespace tk::test {
namespace {

TEST_F(LinkMending, ACancelledRunWritesThePageItLoggedWholeAndMendsWhatItSaved) {
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<a href=a.htm>a</a><a href=b.htm>b</a><a href=c.htm>c</a>"));
  net.Page("h:80/a.htm", Html("<a href=b.htm>later</a>"));
  net.Page("h:80/b.htm", Html("<a href=a.htm>back</a><img src=i.gif><a href=c.htm>c</a>"));
  net.Page("h:80/c.htm", Html("never"));
  // Cancelled as b.htm is logged: its scan fetches nothing more, yet it is written whole.
  host.cancelAfterCounts = 3;
  std::string log = Run();
  EXPECT_EQ(log.find("c.htm"), std::string::npos) << log;
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"index.htm", "a.htm", "b.htm"}));
  EXPECT_EQ(Saved("a.htm"), Html("<a href=b.htm>later</a>"));
  EXPECT_EQ(Saved("b.htm"), Html("<a href=a.htm>back</a><img src=http://h/i.gif><a href=http://h/c.htm>c</a>"));
  EXPECT_EQ(Saved("index.htm"), Html("<a href=a.htm>a</a><a href=b.htm>b</a><a href=http://h/c.htm>c</a>"));
}

}  // namespace
}  // namespace tk::test

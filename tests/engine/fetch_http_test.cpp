// HTTP retrieval: the outcome table, rules, redirects, passwords, cancellation, disk failures.
#include <unistd.h>

#include "support/crawl_fixture.h"
#include "support/file_size_limit.h"

namespace tk::test {
namespace {

using FetchHttp = CrawlFixture;

std::string Html(const std::string& inner) { return "<html>" + inner + "</html>"; }

TEST_F(FetchHttp, PagesAndTheirLinksAreSavedDepthFirstAndRewritten) {
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm", Html("<a href=\"a.htm\">A</a><img src=pic.gif><a href=\"a.htm#top\">again</a>"));
  net.Page("h:80/a.htm", Html("<a href=deep.htm>too deep</a><img src=\"pic2.gif\">"), "TEXT/HTML; charset=utf-8");
  net.Page("h:80/pic.gif", "GIF89a", "image/gif");
  net.Page("h:80/pic2.gif", "GIF", "image/gif");
  net.Page("h:80/deep.htm", "never");
  std::string log = Run();
  std::size_t pageBytes = net.http["h:80/index.htm"].body.size() + net.http["h:80/a.htm"].body.size();
  EXPECT_EQ(log, header +
                     "http://h/index.htm(OK:Saved as[index.htm])\r\n"
                     "http://h/a.htm(OK:Saved as[a.htm])\r\n"
                     "http://h/pic2.gif(OK:Saved as[pic2.gif])\r\n"
                     "http://h/pic.gif(OK:Saved as[pic.gif])\r\n" +
                     Summary(4, 0, 0, static_cast<long>(pageBytes + 6 + 3)));
  // Every link points at its local copy; the fragment stays on the rewritten link. The link
  // beyond the layers, not saved, leads to the server.
  ExpectFiles({{"index.htm", net.http["h:80/index.htm"].body},
               {"a.htm", Html("<a href=http://h/deep.htm>too deep</a><img src=\"pic2.gif\">")},
               {"pic.gif", "GIF89a"},
               {"pic2.gif", "GIF"}});
  EXPECT_EQ(host.files.front(), "http://h/index.htm -> index.htm (" +
                                    std::to_string(net.http["h:80/index.htm"].body.size()) + ")");
}

TEST_F(FetchHttp, ServerLayoutKeepsHostPortAndFolders) {
  settings.SaveFlat = 0;
  host.startUrls = {"http://h:8080/Dir/Index.HTML"};
  net.Page("h:8080/Dir/Index.HTML", Html("<img src=\"../img/a.gif\">"));
  net.Page("h:8080/img/a.gif", "GIF", "image/gif");
  Run();
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"h~8080/Dir/index.html", "h~8080/img/a.gif"}));
  EXPECT_EQ(Saved("h~8080/Dir/index.html"), Html("<img src=\"../img/a.gif\">"));
}

TEST_F(FetchHttp, AnotherLabelIsAnotherSiteAnotherPortIsNot) {
  host.startUrls = {"http://h/"};
  net.Page("h:80/", Html("<img src=http://www.h/x.gif><img src=http://H:81/y.gif>"));
  net.Page("www.h:80/x.gif", "x", "image/gif");
  net.Page("H:81/y.gif", "y", "image/gif");
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/(OK:Saved as[~TrawlDlFile_0.htm])\r\nhttp://H:81/y.gif(OK:Saved as[y.gif])\r\n" +
                     Summary(2, 0, 0, static_cast<long>(net.http["h:80/"].body.size() + 1)));
}

TEST_F(FetchHttp, ExcludedTypesSpareStartPagesAndAreCheckedAgainOnTheName) {
  settings.ExcludeType = ".gif";
  host.startUrls = {"http://h/start.gif"};
  net.Page("h:80/start.gif", Html("<img src=b.gif><img src=\"/a/b.gif?x=1\"><img src=\"/a/b.gif?x=1\">"), "text/html");
  net.Page("h:80/a/b.gif?x=1", "GIF", "image/gif");
  std::string log = Run();
  // Received as HTML, it is named for a browser to show.
  EXPECT_EQ(log, header + "http://h/start.gif(OK:Saved as[start.gif.htm])\r\n" +
                     Summary(1, 0, 0, static_cast<long>(net.http["h:80/start.gif"].body.size())));
  // b.gif never asked for; b.gif?x=1 asked for once, then dropped on its name.
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/start.gif", "GET h:80/a/b.gif?x=1"}));
}

TEST_F(FetchHttp, FailuresOfTheOutcomeTable) {
  host.startUrls = {"http://h/404.htm", "http://h/noloc.htm", "http://h/badloc.htm", "http://h/https.htm",
                    "http://h/down.htm", "http://h/auth.htm", "http://h/500.htm", "http://h/emptyloc.htm"};
  net.http["h:80/404.htm"].status = 404;
  net.http["h:80/noloc.htm"].status = 302;
  net.http["h:80/emptyloc.htm"].status = 301;
  net.http["h:80/emptyloc.htm"].extraHeaders = "Location: \r\n";
  net.Redirect("h:80/badloc.htm", "http://h:99999/");
  net.Redirect("h:80/https.htm", "https://h/secure.htm", 301);
  net.http["h:80/down.htm"].failOpen = true;
  net.http["h:80/auth.htm"].user = "u";
  net.http["h:80/500.htm"].status = 500;
  std::string log = Run();
  EXPECT_EQ(log, header +
                     "http://h/404.htm(NG:Bad Status(404))\r\n"
                     "http://h/noloc.htm(NG:Site redirects with no new location)\r\n"
                     "http://h/badloc.htm(NG:The redirected URL could not be parsed(http://h:99999/))\r\n"
                     "http://h/https.htm(NG:The redirected URL does not reference a HTTP resource(https://h/secure.htm))\r\n"
                     "http://h/down.htm(NG:The server name or address could not be resolved(12007))\r\n"
                     "http://h/auth.htm(NG:Cancelled by user)\r\n"
                     "http://h/500.htm(NG:Bad Status(500))\r\n"
                     "http://h/emptyloc.htm(NG:The redirected URL could not be parsed())\r\n" +
                     Summary(8, 8, 0, 0));
  EXPECT_TRUE(SavedFiles().empty());
  // An empty location is asked for once, not followed back to itself.
  EXPECT_EQ(std::count(net.requests.begin(), net.requests.end(), "GET h:80/emptyloc.htm"), 1);
}

TEST_F(FetchHttp, RedirectsAreFollowedResolvedAndBounded) {
  host.startUrls = {"http://h/dir/old.htm", "http://h/a.htm", "http://h/see.htm"};
  net.Redirect("h:80/dir/old.htm", "new.htm", 301);  // relative: resolved against the request
  net.Page("h:80/dir/new.htm", "new");
  net.Redirect("h:80/a.htm", "http://h/b.htm");
  net.Redirect("h:80/b.htm", "/a.htm");
  net.Redirect("h:80/see.htm", "http://h/dir/new.htm#frag", 303);
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/dir/old.htm(OK:Saved as[new.htm])\r\nhttp://h/a.htm(NG:Too many redirects)\r\n" +
                     "http://h/see.htm(OK:Saved as[new(1).htm])\r\n" + Summary(3, 1, 0, 6));
  long cycle = std::count_if(net.requests.begin(), net.requests.end(), [](const std::string& r) {
    return r == "GET h:80/a.htm" || r == "GET h:80/b.htm";
  });
  EXPECT_EQ(cycle, 21);  // the request and 20 redirects
}

TEST_F(FetchHttp, AConnectionServesOneHostAndPort) {
  host.startUrls = {"http://h/a.htm", "http://H/b.htm", "http://h:8080/c.htm", "http://h/d.htm"};
  for (const char* k : {"h:80/a.htm", "H:80/b.htm", "h:8080/c.htm", "h:80/d.htm"}) net.Page(k, "x");
  Run();
  EXPECT_EQ(net.httpConnects, 3);
  EXPECT_EQ(counters.FilesDownloaded, 4);
}

TEST_F(FetchHttp, ABodyCutShortIsAnErrorNeverOk) {
  host.startUrls = {"http://h/big.bin", "http://h/page.htm"};
  net.Page("h:80/big.bin", std::string(5000, 'b'), "application/octet-stream");
  net.http["h:80/big.bin"].cutShort = true;
  net.Page("h:80/page.htm", Html("<img src=x.gif>"));
  net.http["h:80/page.htm"].cutShort = true;
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/big.bin(NG:The connection with the server was reset(12030))\r\n" +
                     "http://h/page.htm(NG:The connection with the server was reset(12030))\r\n" + Summary(2, 2, 0, 0));
  EXPECT_EQ(net.requests.size(), 2u);  // the broken page is not scanned
}

TEST_F(FetchHttp, DiskFailuresEndTheFileAsNotSaved) {
  std::filesystem::create_directory(save / "dir.htm");
  host.startUrls = {"http://h/full.bin", "http://h/full.htm", "http://h/dir.htm"};
  net.Page("h:80/full.bin", std::string(100000, 'x'), "application/octet-stream");
  const std::string page = Html(std::string(100000, 't'));
  net.Page("h:80/full.htm", page);
  net.Page("h:80/dir.htm", "x");
  std::string log;
  {
    FileSizeLimit full(8192);
    log = Run();
  }
  // A parsed page is logged OK before it is written; its failed write adds an error below it.
  EXPECT_EQ(log, header + "http://h/full.bin(NG:Failed in saving to[full.bin])\r\n" +
                     "http://h/full.htm(OK:Saved as[full.htm])\r\nhttp://h/full.htm(NG:Failed in saving to[full.htm])\r\n" +
                     "http://h/dir.htm(NG:Failed in saving to[dir.htm])\r\n" +
                     Summary(3, 3, 0, static_cast<long>(page.size())));
}

// Once a page's file fails (here at its first full buffer), its scan stops: nothing more is
// fetched into a copy that is already broken, for pages and style sheets alike.
TEST_F(FetchHttp, APageThatCanNoLongerBeWrittenStopsItsScan) {
  const std::string filler(70000, 'x');
  host.startUrls = {"http://h/full.htm", "http://h/full.css"};
  net.Page("h:80/full.htm", Html("<p>" + filler + "</p><img src=1.gif><a href=2.htm>2</a>"));
  net.Page("h:80/full.css", "/*" + filler + "*/ p { background: url(3.gif) }", "text/css");
  for (const char* k : {"h:80/1.gif", "h:80/3.gif"}) net.Page(k, "GIF", "image/gif");
  net.Page("h:80/2.htm", Html("two"));
  std::string log;
  {
    FileSizeLimit full(8192);
    log = Run();
  }
  EXPECT_EQ(log, header + "http://h/full.htm(OK:Saved as[full.htm])\r\nhttp://h/full.htm(NG:Failed in saving to[full.htm])\r\n" +
                     "http://h/full.css(OK:Saved as[full.css])\r\nhttp://h/full.css(NG:Failed in saving to[full.css])\r\n" +
                     Summary(2, 2, 0, static_cast<long>(net.http["h:80/full.htm"].body.size() +
                                                        net.http["h:80/full.css"].body.size())));
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/full.htm", "GET h:80/full.css"}));
}

// A cancel that arrives after a response's headers leaves an earlier run's copy as it was.
TEST_F(FetchHttp, AfterCancelNoFurtherFileIsCreated) {
  host.startUrls = {"http://h/"};
  net.Page("h:80/", Html("<img src=1.gif><img src=2.gif><img src=3.gif>"));
  for (const char* k : {"h:80/1.gif", "h:80/2.gif", "h:80/3.gif"}) net.Page(k, "GIF", "image/gif");
  net.ftp["f:21"] = {{"/old.bin", "new"}};
  WriteFile(save / "1.gif", "earlier copy");
  host.onBeginFile = [&](const std::string& url) {
    if (url == "http://h/1.gif") host.cancel = true;
  };
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/(OK:Saved as[~TrawlDlFile_0.htm])\r\n" +
                     Summary(1, 0, 0, static_cast<long>(net.http["h:80/"].body.size())));
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"~TrawlDlFile_0.htm", "1.gif"}));
  EXPECT_EQ(Saved("1.gif"), "earlier copy");
  EXPECT_EQ(net.requests.size(), 2u);

  // The same over FTP: the cancel comes as the file's transfer opens.
  std::filesystem::remove(save / "Trawlkit.txt");
  host.cancel = false;
  host.startUrls = {"ftp://f/old.bin"};
  WriteFile(save / "old.bin", "earlier copy");
  host.onBeginFile = [&](const std::string&) { host.cancel = true; };
  Run();
  EXPECT_EQ(Saved("old.bin"), "earlier copy");
}

// Links as a browser reads them: an empty query is no query, character references are the
// link's characters, and a form that posts or a refresh that waits is no link to follow here.
TEST_F(FetchHttp, LinksAreTheUrlsABrowserWouldAskFor) {
  host.startUrls = {"http://h/index.htm"};
  net.Page("h:80/index.htm",
           Html("<img src=\"f.gif?#iefix\"><img src=f.gif><a href=\"/?p=1&#038;replytocom=5#respond\">c</a>"
                "<a href='caf&#233;.htm'>e</a><a href=&#x2F;dir&#x2F;f.htm>d</a>"
                "<form method=post action=/cgi/delete.cgi?id=7><form action=list.htm>"
                "<meta http-equiv=refresh content=\"5; url=later.htm\">"));
  net.Page("h:80/f.gif", "GIF", "image/gif");
  net.Page("h:80/?p=1&replytocom=5", Html("<meta http-equiv=refresh content=\"5;url=deep.htm\">"
                                          "<meta http-equiv=refresh content=\"0;url=now.htm\">"));
  net.Page("h:80/caf%C3%A9.htm", "e");
  net.Page("h:80/dir/f.htm", "d");
  net.Page("h:80/list.htm", "l");
  net.Page("h:80/later.htm", Html("<a href=deep.htm>x</a>"));
  net.Page("h:80/now.htm", Html("<a href=deep.htm>x</a><img src=\"/?p=1&amp;replytocom=5\">"));
  net.Page("h:80/cgi/delete.cgi?id=7", "deleted");
  net.Page("h:80/deep.htm", "too deep");
  Run();
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET h:80/index.htm", "GET h:80/f.gif",
                                                    "GET h:80/?p=1&replytocom=5", "GET h:80/now.htm",
                                                    "GET h:80/caf%C3%A9.htm", "GET h:80/dir/f.htm",
                                                    "GET h:80/list.htm", "GET h:80/later.htm"}));
  const std::string page = Saved("index.htm");
  EXPECT_NE(page.find("<img src=\"f.gif#iefix\"><img src=f.gif>"), std::string::npos) << page;
  EXPECT_NE(page.find("<a href='caf%C3%A9.htm'>e</a><a href=f.htm>d</a>"), std::string::npos) << page;
  EXPECT_NE(page.find("<form method=post action=/cgi/delete.cgi?id=7><form action=list.htm>"), std::string::npos)
      << page;
  EXPECT_EQ(SavedFiles().count("f(1).gif"), 0u);
  // Beyond the layers the delayed refresh is not followed; its absolute URL reads back as itself.
  EXPECT_NE(Saved("now.htm").find("<a href=http://h/deep.htm>"), std::string::npos) << Saved("now.htm");
}

TEST_F(FetchHttp, ADroppedUrlGetsItsChanceInAnotherContextOnly) {
  host.startUrls = {"http://one/", "http://two/", "http://two/x.htm"};
  net.Page("one:80/", Html("<a href=http://two/x.htm>x</a><a href=http://two/x.htm>x</a><a href=http://two/>t</a>"));
  net.Page("two:80/", Html("<a href=x.htm>x</a>"));
  net.Page("two:80/x.htm", "x");
  std::string log = Run();
  EXPECT_EQ(log, header + "http://one/(OK:Saved as[~TrawlDlFile_0.htm])\r\n" +
                     "http://two/(OK:Saved as[~TrawlDlFile_1.htm])\r\nhttp://two/x.htm(OK:Saved as[x.htm])\r\n" +
                     Summary(3, 0, 0,
                             static_cast<long>(net.http["one:80/"].body.size() + net.http["two:80/"].body.size() + 1)));
  EXPECT_EQ(net.requests, (std::vector<std::string>{"GET one:80/", "GET two:80/", "GET two:80/x.htm"}));
}

}  // namespace
}  // namespace tk::test

#include <gtest/gtest.h>

#include <set>

#include <filesystem>

#include "engine/local_names.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::TempDir;

TEST(MakeLocalName, NameComesFromThePathLowerCasedBeforeAnyQuery) {
  RunState s;
  EXPECT_EQ(MakeLocalName(s, "/Dir/Index.HTML", "text/html"), "index.html");
  EXPECT_EQ(MakeLocalName(s, "/cgi-bin/list.cgi?page=2", "text/html"), "list.cgi");
  EXPECT_EQ(MakeLocalName(s, "/a/b&c=d.htm", ""), "b.htm");  // cut at "&", then ".htm" added
  EXPECT_EQ(MakeLocalName(s, "/img/logo", "image/gif"), "logo.htm");
  EXPECT_EQ(MakeLocalName(s, "/img/logo", "IMAGE/X-XBITMAP"), "logo.xbm");
  EXPECT_EQ(MakeLocalName(s, "/img/logo.png", "image/x-xbitmap"), "logo.png.xbm");
  EXPECT_EQ(MakeLocalName(s, "/data.tar.gz", "application/x-gzip"), "data.tar.gz");
}

TEST(MakeLocalName, EmptyNamesAreNumberedThroughTheRun) {
  RunState s;
  EXPECT_EQ(MakeLocalName(s, "/news/", "text/html"), "~TrawlDlFile_0.htm");
  EXPECT_EQ(MakeLocalName(s, "/?q=1", "text/html"), "~TrawlDlFile_1.htm");
  EXPECT_EQ(MakeUnnamedName(s), "~TrawlDlFile_2.htm");
  EXPECT_EQ(s.UnnamedCount, 3);
}

// Escapes are decoded into the name where they give plain UTF-8; otherwise they all stay.
TEST(MakeLocalName, NamesKeepTheCharactersOfTheUrl) {
  struct Row {
    const char* object;
    const char* contentType;
    const char* name;
  } rows[] = {
      {"/docs/my%20file.pdf", "application/pdf", "my file.pdf"},
      {"/img/caf%C3%A9.png", "image/png", "caf\xC3\xA9.png"},
      {"/%E8%B3%87%E6%96%99/%E6%A6%82%E8%A6%81.html", "text/html", "\xE6\xA6\x82\xE8\xA6\x81.html"},
      {"/%C3%89T%C3%89.HTML", "text/html", "\xC3\x89t\xC3\x89.html"},  // only ASCII letters fold
      {"/%41%42.txt", "text/plain", "ab.txt"},
      {"/100%.html", "text/html", "100%.html"},              // no escape at all
      {"/caf%E9.png", "image/png", "caf%e9.png"},            // Latin-1, not UTF-8
      {"/a%2Fb.txt", "text/plain", "a%2fb.txt"},             // would be a folder
      {"/a%5Cb%20c.txt", "text/plain", "a%5cb%20c.txt"},     // "\" keeps the whole segment's escapes
      {"/x%00y.txt", "text/plain", "x%00y.txt"},
      {"/bell%07.txt", "text/plain", "bell%07.txt"},
      {"/c1%C2%85.txt", "text/plain", "c1%c2%85.txt"},       // U+0085 is a control character
      {"/q%3Fx%23y.txt", "text/plain", "q?x#y.txt"},         // escaped stops are plain name bytes
      {"/%2E%2E", "text/plain", "_"},                        // ".." never climbs out
  };
  for (const Row& row : rows) {
    RunState s;
    EXPECT_EQ(MakeLocalName(s, row.object, row.contentType), row.name) << row.object;
  }
}

TEST(HtmlPageName, PagesReceivedAsHtmlEndInHtmOrHtml) {
  struct Row {
    const char* name;
    const char* contentType;
    const char* result;
  } rows[] = {
      {"list.php", "text/html", "list.php.htm"},
      {"run.cgi", "TEXT/HTML; charset=utf-8", "run.cgi.htm"},
      {"index.html", "text/html", "index.html"},
      {"INDEX.HTM", "text/html", "INDEX.HTM"},
      {"list.php", "application/octet-stream", "list.php"},
      {"data.json", "application/json", "data.json"},
      {"a.shtml", "text/html", "a.shtml.htm"},
  };
  for (const Row& row : rows) EXPECT_EQ(HtmlPageName(row.name, row.contentType), row.result) << row.name;
}

TEST(MakeLocalName, DotNamesNeverClimbOut) {
  RunState s;
  EXPECT_EQ(MakeLocalName(s, "/a/..", ""), "_");
  EXPECT_EQ(MakeLocalName(s, "/a/.", ""), "_");
  EXPECT_EQ(MakeLocalName(s, std::string("/a/x\0y", 6), ""), "_");
}

TEST(MakeServerPath, HostPortAndFoldersCreatedUnderTheSaveFolder) {
  TempDir d;
  EXPECT_EQ(MakeServerPath(d.Path(), true, "server1", "/docs/a/page.html?x=1/y", 8080, "page.html"),
            "server1~8080/docs/a/page.html");
  EXPECT_TRUE(std::filesystem::is_directory(d / "server1~8080/docs/a"));
  EXPECT_EQ(MakeServerPath(d.Path(), true, "Server1", "/Dir/Index.HTML", 80, "index.html"),
            "Server1/Dir/index.html");
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "x.htm", 80, "x.htm"), "h/x.htm");
  EXPECT_EQ(MakeServerPath(d.Path(), false, "files1", "/pub/*.txt", 21, "a.txt"), "ftp_files1/pub/a.txt");
  EXPECT_EQ(MakeServerPath(d.Path(), false, "files1", "/a.txt", 2121, "a.txt"), "ftp_files1~2121/a.txt");
  EXPECT_TRUE(std::filesystem::is_directory(d / "ftp_files1/pub"));
  // Folders are decoded like names, and keep their letter case.
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/a%20b/%E8%B3%87/x%2Fy/", 80, "i.htm"),
            "h/a b/\xE8\xB3\x87/x%2Fy/i.htm");
  EXPECT_TRUE(std::filesystem::is_directory(d / "h/a b/\xE8\xB3\x87/x%2Fy"));
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/%2e%2E/a%00/p.htm", 80, "p.htm"), "h/_/a%00/p.htm");
  // The port is shown as the unsigned 16-bit number it is.
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/", 65535, "i.htm"), "h~65535/i.htm");
  // An https host shares the folder of its http site; a port shows when it is not the scheme's.
  EXPECT_EQ(MakeServerPath(d.Path(), true, "Server1", "/Dir/a.htm", 443, "a.htm", true), "Server1/Dir/a.htm");
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/x.htm", 8443, "x.htm", true), "h~8443/x.htm");
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/x.htm", 80, "x.htm", true), "h~80/x.htm");
  EXPECT_EQ(MakeServerPath(d.Path(), true, "h", "/x.htm", 443, "x.htm"), "h~443/x.htm");
}

TEST(MakeServerPath, EveryPathStaysInsideTheSaveFolder) {
  TempDir d;
  std::filesystem::create_directory(d / "save");
  auto save = d / "save";
  EXPECT_EQ(MakeServerPath(save, true, "..", "/x.htm", 80, "x.htm"), "_/x.htm");
  EXPECT_EQ(MakeServerPath(save, true, "h", "/a/../../b/", 80, ".."), "h/a/_/_/b/_");
  EXPECT_EQ(MakeServerPath(save, true, "h", "//etc//x", 80, "x.htm"), "h/_/etc/_/x.htm");
  EXPECT_EQ(MakeServerPath(save, false, "h", "/./p/", 21, "."), "ftp_h/_/p/_");
  EXPECT_EQ(MakeServerPath(save, true, "", "/x", 80, "x.htm"), "_/x.htm");
  for (auto& e : std::filesystem::directory_iterator(d.Path())) EXPECT_EQ(e.path().filename(), "save");
}

TEST(MakeUniqueName, NumbersTakenNamesCaseInsensitively) {
  RunState s;
  EXPECT_EQ(MakeUniqueName(s, "about.htm"), "about.htm");
  EXPECT_EQ(MakeUniqueName(s, "About.htm"), "About(1).htm");
  EXPECT_EQ(MakeUniqueName(s, "about.htm"), "about(2).htm");
  EXPECT_EQ(MakeUniqueName(s, "readme"), "readme");
  EXPECT_EQ(MakeUniqueName(s, "readme"), "readme(1)");
  EXPECT_EQ(MakeUniqueName(s, "server1/a/page.htm"), "server1/a/page.htm");
  EXPECT_EQ(MakeUniqueName(s, "server1/a/page.htm"), "server1/a/page(1).htm");
}

TEST(MakeUniqueName, ANameIsGivenToOneFileOnly) {
  RunState s;
  EXPECT_EQ(MakeUniqueName(s, "page.htm"), "page.htm");
  EXPECT_EQ(MakeUniqueName(s, "page.htm"), "page(1).htm");
  EXPECT_EQ(MakeUniqueName(s, "page(2).htm"), "page(2).htm");
  // The next numbered variant skips the one a URL took for itself...
  EXPECT_EQ(MakeUniqueName(s, "page.htm"), "page(3).htm");
  // ...and a URL named like an earlier variant gets a name of its own.
  EXPECT_EQ(MakeUniqueName(s, "PAGE(1).htm"), "PAGE(1)(1).htm");
  EXPECT_EQ(s.UsedNames.size(), 5u);
}

TEST(MakeUniqueName, ADotInAFolderNeverTakesTheNumber) {
  RunState s;
  MakeUniqueName(s, "host/v1.2/readme");
  EXPECT_EQ(MakeUniqueName(s, "host/v1.2/readme"), "host/v1.2/readme(1)");
}

TEST(MakeUniqueName, ThousandsOfEqualNamesEachGetTheirNumber) {
  RunState s;
  std::set<std::string> names;
  std::string last;
  for (int i = 0; i < 20000; ++i) names.insert(last = MakeUniqueName(s, "index.htm"));
  EXPECT_EQ(names.size(), 20000u);
  EXPECT_EQ(last, "index(19999).htm");
}

TEST(MakeDirs, CreatesMissingFoldersAndReportsFailure) {
  TempDir d;
  EXPECT_EQ(MakeDirs((d / "a/b/c").string()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(d / "a/b/c"));
  EXPECT_EQ(MakeDirs((d / "a/b/c").string()), 0);
  test::WriteFile(d / "file", "x");
  EXPECT_EQ(MakeDirs((d / "file/sub").string()), -1);
  EXPECT_EQ(MakeDirs(""), 0);
}

}  // namespace
}  // namespace tk

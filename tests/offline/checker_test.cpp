// The offline checks themselves: a sound copy passes, and each way a copy can be broken is
// caught, so that a green end-to-end run means something.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/headless_chromium.h"
#include "support/saved_site.h"
#include "support/temp_dir.h"

namespace tk::test {
namespace {
namespace fs = std::filesystem;

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += "\n  " + line;
  return out;
}

bool Mentions(const std::vector<std::string>& problems, std::string_view text) {
  return std::any_of(problems.begin(), problems.end(),
                     [&](const std::string& problem) { return problem.find(text) != std::string::npos; });
}

void Replace(const fs::path& file, const std::string& from, const std::string& to) {
  std::string text = ReadFile(file);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  WriteFile(file, text.replace(at, from.size(), to));
}

// A site of two pages and a picture, and its flat copy as a sound run leaves it.
class OfflineSavedSite : public ::testing::Test {
 protected:
  OfflineSavedSite() {
    fs::create_directories(site / "sub");
    WriteFile(site / "index.html", "<html><title>index.html</title><a href=\"sub/b.html#x\">b</a>"
                                   "<IMG SRC=a.gif><a href='mailto:x'>m</a><a href=gone.html#g>g</a></html>");
    WriteFile(site / "sub/b.html", "<html><title>sub/b.html</title><img src=\"../a.gif\"></html>");
    WriteFile(site / "a.gif", "GIF89a");
    WriteSoundCopy();
  }
  void WriteSoundCopy() {
    fs::remove_all(save);
    fs::create_directories(save);
    WriteFile(save / "index.html", "<html><title>index.html</title><a href=\"b.html#x\">b</a>"
                                   "<IMG SRC=a.gif><a href='mailto:x'>m</a><a href=http://h/gone.html#g>g</a></html>");
    WriteFile(save / "b.html", "<html><title>sub/b.html</title><img src=\"a.gif\"></html>");
    WriteFile(save / "a.gif", "GIF89a");
    WriteFile(save / "Trawlkit.txt", log);
  }
  SiteReport Check() { return CheckSavedSite({site.Path(), save, log, {"mailto:x"}, {"gone.html#g"}}); }

  TempDir site;
  TempDir outer;
  fs::path save = outer / "save";
  std::string log = "http://h/index.html(OK:Saved as[index.html])\r\nhttp://h/sub/b.html(OK:Saved as[b.html])\r\n"
                    "http://h/a.gif(OK:Saved as[a.gif])\r\nhttp://h/gone.html(NG:Bad Status(404))\r\n";
};

TEST_F(OfflineSavedSite, ASoundCopyPasses) {
  const SiteReport report = Check();
  EXPECT_TRUE(report.problems.empty()) << Join(report.problems);
  EXPECT_EQ(report.pages, (std::vector<std::string>{"b.html", "index.html"}));
  EXPECT_EQ(report.rewritten, 3);
}

TEST_F(OfflineSavedSite, EachBreakageIsCaught) {
  const struct {
    const char* what;
    std::function<void()> breakIt;
    const char* problem;
  } rows[] = {
      {"link left as written", [&] { Replace(save / "index.html", "b.html#x", "sub/b.html#x"); }, "leads to no file"},
      {"link to the wrong file", [&] { Replace(save / "b.html", "a.gif", "b.html"); }, "not to the copy of a.gif"},
      {"link out of the folder", [&] { Replace(save / "index.html", "SRC=a.gif", "SRC=../a.gif"); },
       "leads outside the save folder"},
      {"fragment lost", [&] { Replace(save / "index.html", "b.html#x", "b.html"); }, "lost its fragment"},
      {"absolute path", [&] { Replace(save / "b.html", "\"a.gif", "\"" + (save / "a.gif").string()); },
       "not rewritten to a relative local path"},
      {"followed a kept value", [&] { Replace(save / "index.html", "mailto:x", "a.gif"); }, "should stay as written"},
      {"unsaved link left relative", [&] { Replace(save / "index.html", "http://h/gone.html", "gone.html"); },
       "should have become an absolute URL"},
      {"unsaved link made absolute wrongly", [&] { Replace(save / "index.html", "h/gone.html", "h/sub/gone.html"); },
       "absolute URL of another file"},
      {"text changed", [&] { Replace(save / "index.html", ">b<", ">B<"); }, "text other than its link values"},
      {"tag lost", [&] { Replace(save / "b.html", "<img src=\"a.gif\">", ""); }, "0 link values, the original has 1"},
      {"stray file", [&] { WriteFile(save / "stray.gif", "x"); }, "stray.gif: saved, but the log does not say so"},
      {"file missing", [&] { fs::remove(save / "a.gif"); }, "a.gif: in the log, but not in the save folder"},
      {"bytes changed", [&] { WriteFile(save / "a.gif", "GIF87a"); }, "does not hold the bytes"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    WriteSoundCopy();
    row.breakIt();
    const auto problems = Check().problems;
    EXPECT_TRUE(Mentions(problems, row.problem)) << Join(problems);
  }
}

TEST(OfflineLinkExtraction, FollowsTheScannersTagRulesAndHtmlsAttributeRules) {
  const std::string page =
      "<html><!-- <a href=\"hidden.html\"> --><a name=n HREF = 'x y.html' >x</a>"
      "<img alt=\">\" src=p.gif><img src=q.gif/>"
      "a < b <body background=\"bg.gif\"><frame src=f.html><iframe src=\"i.html\"></iframe>"
      "<script src=s.js></script><a href=\"\">empty</a><link href=\"style.css\"></html>";
  std::vector<std::string> found;
  for (const auto& link : ExtractLinks(page)) {
    found.push_back(link.tag + " " + link.value);
    EXPECT_EQ(page.substr(link.begin, link.value.size()), link.value);
  }
  // A ">" inside a quoted value ends the tag as it does for the scanner, so that image keeps no
  // src; an unquoted value runs to a blank, "/" included. Empty values and tags outside the link
  // table are left out.
  EXPECT_EQ(found, (std::vector<std::string>{"a x y.html", "img q.gif/", "body bg.gif", "frame f.html",
                                             "iframe i.html", "script s.js"}));
}

TEST(OfflineLinkExtraction, UrlsAndPaths) {
  EXPECT_EQ(PercentDecode("my%20page.html%2"), "my page.html%2");
  EXPECT_EQ(FileUrl("/tmp/a b/it's#1.html"), "file:///tmp/a%20b/it's%231.html");
  EXPECT_EQ(FileUrlPath("file:///tmp/a%20b/x.html#top"), fs::path("/tmp/a b/x.html"));
  EXPECT_EQ(FileUrlPath("http://h/x.html"), fs::path());
  EXPECT_TRUE(IsInside("/tmp/s", "/tmp/s/a/../b.gif"));
  EXPECT_FALSE(IsInside("/tmp/s", "/tmp/s/a/../../t/b.gif"));
  EXPECT_FALSE(IsInside("/tmp/s", "/tmp/s"));
  EXPECT_EQ(SiteFileOf("/site", "http://h:1/__/redirect?to=/a/b.html"), fs::path("/site/a/b.html"));
  EXPECT_EQ(SiteFileOf("/site", "http://h/../../up.html?x=1#y"), fs::path("/site/up.html"));
  EXPECT_EQ(PageTitle("<HTML><Title>t</TITLE>"), "t");
}

TEST(OfflineBrowserVerdict, EachItemIsJudged) {
  TempDir outer;
  const fs::path save = outer / "save";
  fs::create_directories(save);
  WriteFile(save / "p.html", "<title>p</title>");
  WriteFile(save / "a.gif", "GIF89a");
  const std::string p = FileUrl(save / "p.html");
  const std::string a = FileUrl(save / "a.gif");
  auto verdict = [](const std::string& lines) { return "<html><pre id=\"verdict\">" + lines + "</pre></html>"; };
  const std::string good = "PAGE\t" + p + "\tp\nIMG\t" + p + "\ta.gif\t" + a + "\tok\nLINK\t" + p +
                           "\tmailto:x\tmailto:x\nFRAME\t" + p + "\tp.html\t" + p + "\tp\nDONE";
  const auto clean = CheckVerdict(verdict(good), save, {"mailto:x"}, 1);
  EXPECT_TRUE(clean.empty()) << Join(clean);

  const struct {
    std::string lines;
    const char* problem;
  } rows[] = {
      {"PAGE\t" + p + "\tp\nIMG\t" + p + "\ta.gif\t" + a + "\tbroken\nDONE", "did not load"},
      {"PAGE\t" + p + "\tp\nLINK\t" + p + "\tq.html\t" + FileUrl(save / "q.html") + "\nDONE", "leads to no file"},
      {"PAGE\t" + p + "\tp\nLINK\t" + p + "\tx\thttp://127.0.0.1/x\nDONE", "is not a local file"},
      {"PAGE\t" + p + "\tp\nLINK\t" + p + "\t../o.gif\t" + FileUrl(outer / "o.gif") + "\nDONE", "outside"},
      {"PAGE\t" + p + "\tp\nSCRIPT\t" + p + "\ts.js\t" + a + "\tnot run\nDONE", "did not run"},
      {"PAGE\t" + p + "\tp\nFRAME\t" + p + "\ta.gif\t" + a + "\t\nDONE", "did not show the saved page"},
      {"PAGE\t" + p + "\t404\nDONE", "did not render as the saved page"},
      {"PAGE\t" + p + "\tp\nERROR\tTypeError\nDONE", "the checker failed"},
      {"pending", "did not finish"},
      {"DONE", "opened 0 of 1 pages"},
  };
  for (const auto& row : rows) {
    const auto problems = CheckVerdict(verdict(row.lines), save, {}, 1);
    EXPECT_TRUE(Mentions(problems, row.problem)) << row.lines << Join(problems);
  }
  EXPECT_EQ(CheckVerdict("<html></html>", save, {}, 1), std::vector<std::string>{"the checker's verdict is missing"});
}

TEST(OfflineBrowserStart, ABrowserThatCannotStartIsReportedNotFailed) {
  TempDir outer;
  WriteFile(outer / "page.html", "<html></html>");
  const char* old = std::getenv("TRAWLKIT_CHROMIUM");
  const std::string saved = old ? old : "";
  for (const char* browser : {"/nonexistent/chromium", "/bin/false", "/bin/true"}) {
    setenv("TRAWLKIT_CHROMIUM", browser, 1);
    const BrowserRun run = DumpDomOffline(outer / "page.html", outer / "profile", std::chrono::seconds(10));
    EXPECT_FALSE(run.started) << browser;
    EXPECT_NE(run.message.find(browser), std::string::npos) << run.message;
  }
  if (old) setenv("TRAWLKIT_CHROMIUM", saved.c_str(), 1);
  else unsetenv("TRAWLKIT_CHROMIUM");
}

}  // namespace
}  // namespace tk::test

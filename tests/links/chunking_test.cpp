// A page cut into chunks anywhere must come out exactly as the page fed whole.
#include <gtest/gtest.h>

#include "support/scan_harness.h"

namespace tk::test {
namespace {

const std::string kPage =
    "<!DOCTYPE html>\n<HTML lang=ja><head><script src=\"s.js\"></script></head>\n"
    "<body background=bg.gif>a < b, <<A HREF=no.html> x<3 y\n"
    "<!-- <a href=hidden.html> --> <a class=\"nav\" href=\"list.php?a=1&amp;b=2#p\">list</a>\n"
    "<IMG SRC='img/a.gif' alt=\"A\"><a href=\"mailto:me@h\">me</a><iframe src=f.htm></iframe>\n"
    "<a href=y.html#top>y</a>\n</HTML><img src=after.gif> tail<a href=open.html";

ScanSetup Saving() {
  ScanSetup setup;
  setup.saved = {{"http://h/dir/s.js", "h/dir/s.js"},
                 {"http://h/dir/bg.gif", "h/bg.gif"},
                 {"http://h/dir/list.php?a=1&b=2", "h/dir/list.htm"},
                 {"http://h/dir/img/a.gif", "h/dir/img/a b.gif"},
                 {"http://h/dir/y.html", "h/dir/y.html"}};
  return setup;
}

TEST(Chunking, WholePageReference) {
  const ScanResult whole = Scan(kPage, Saving());
  EXPECT_EQ(whole.output,
            "<!DOCTYPE html>\n<HTML lang=ja><head><script src=\"s.js\"></script></head>\n"
            "<body background=../bg.gif>a < b, <<A HREF=no.html> x<3 y\n"
            "<!-- <a href=hidden.html> --> <a class=\"nav\" href=\"list.htm#p\">list</a>\n"
            "<IMG SRC='img/a%20b.gif' alt=\"A\"><a href=\"mailto:me@h\">me</a><iframe src=http://h/dir/f.htm></iframe>\n"
            "<a href=y.html#top>y</a>\n</HTML><img src=after.gif> tail<a href=open.html");
  EXPECT_EQ(whole.calls, (std::vector<FetchCall>{{"http://h/dir/s.js", false, 1},
                                                 {"http://h/dir/bg.gif", false, 1},
                                                 {"http://h/dir/list.php?a=1&b=2", true, 1},
                                                 {"http://h/dir/img/a.gif", false, 1},
                                                 {"http://h/dir/f.htm", true, 1},
                                                 {"http://h/dir/y.html", true, 1}}));
}

// Cutting at i == j, or at the page's end, makes this every single split position as well.
TEST(Chunking, EveryPairOfSplitPositions) {
  const ScanResult whole = Scan(kPage, Saving());
  for (std::size_t i = 0; i <= kPage.size(); ++i) {
    for (std::size_t j = i; j <= kPage.size(); ++j) {
      const ScanResult split = ScanWithCuts(kPage, Saving(), {i, j});
      ASSERT_EQ(split.output, whole.output) << "cuts at " << i << ", " << j;
      ASSERT_EQ(split.calls, whole.calls) << "cuts at " << i << ", " << j;
    }
  }
}

TEST(Chunking, ByteAtATimeAndEmptyChunks) {
  const ScanResult whole = Scan(kPage, Saving());
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i <= kPage.size(); ++i) {
    cuts.push_back(i);
    cuts.push_back(i);  // an empty chunk changes nothing
  }
  const ScanResult bytes = ScanWithCuts(kPage, Saving(), cuts);
  EXPECT_EQ(bytes.output, whole.output);
  EXPECT_EQ(bytes.calls, whole.calls);
}

TEST(Chunking, LargePageInEngineChunks) {
  std::string page = "<html>";
  std::string expected = "<html>";
  ScanSetup setup;
  for (int i = 0; i < 2000; ++i) {
    const std::string n = std::to_string(i);
    page += "<p>text " + n + " <a href=\"p" + n + ".html\">link</a> <img src=i" + n + ".gif>\n";
    expected += "<p>text " + n + " <a href=\"s/p" + n + ".htm\">link</a> <img src=http://h/dir/i" + n + ".gif>\n";
    setup.saved["http://h/dir/p" + n + ".html"] = "h/dir/s/p" + n + ".htm";
  }
  const ScanResult result = ScanInEngineChunks(page, setup);
  EXPECT_EQ(result.output, expected);
  EXPECT_EQ(result.calls.size(), 4000u);
}

TEST(Chunking, OverlongTagCutNearTheBufferEdge) {
  const std::string tag = "img src=a.gif alt=" + std::string(kTagBufferSize, 'z');
  const std::string page = "<html>x<" + tag + ">y<img src=b.gif>";
  ScanSetup setup;
  setup.saved = {{"http://h/dir/b.gif", "h/dir/c.gif"}};
  const std::string expected = "<html>x<" + tag + ">y<img src=c.gif>";
  for (std::size_t cut = kTagBufferSize - 4; cut <= kTagBufferSize + 30; ++cut) {
    const ScanResult result = ScanWithCuts(page, setup, {cut, cut + 1});
    ASSERT_EQ(result.output, expected) << cut;
    ASSERT_EQ(result.calls.size(), 1u) << cut;
  }
}

}  // namespace
}  // namespace tk::test

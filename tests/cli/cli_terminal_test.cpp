// What trawlkit-cli writes to a terminal: texts made safe, the progress line, and that line erased
// before the run's last lines.
#include <gtest/gtest.h>

#include "cli/progress_line.h"
#include "cli/terminal_text.h"
#include "support/cli_fixture.h"

namespace tk::cli {
namespace {

TEST(TerminalText, ControlsEncodedLineEndsAndTabsKept) {
  struct Row {
    std::string in, out;
  } rows[] = {
      {"plain\r\n", "plain\r\n"},
      {"a\tb\nc\r\n", "a\tb\nc\r\n"},
      {"\x1b]0;title\x07", "%1B]0;title%07"},
      {"over\rwrite", "over%0Dwrite"},
      {"\r\r\n", "%0D\r\n"},
      {"csi \xc2\x9b" "2J", "csi %C2%9B2J"},
      {"bad \xff utf-8", "bad %FF utf-8"},
      {"日本語.html", "日本語.html"},
      {"100%", "100%"},
  };
  for (const Row& r : rows) EXPECT_EQ(TerminalSafe(r.in), r.out) << r.out;
}

TEST(TerminalText, NamesShortenedInTheMiddleByColumns) {
  struct Row {
    std::string in;
    std::size_t width;
    std::string out;
  } rows[] = {
      {"docs/_static/searchindex.js", 40, "docs/_static/searchindex.js"},
      {"docs/_static/searchindex.js", 15, "docs/_s…ndex.js"},
      {"docs/_static/searchindex.js", 27, "docs/_static/searchindex.js"},
      {"docs/_static/searchindex.js", 26, "docs/_static…earchindex.js"},
      // Wide characters take two columns and are never split.
      {"資料/日本語のページ.html", 12, "資料/….html"},
      {"abc", 0, ""},
  };
  for (const Row& r : rows) {
    const std::string shortened = ShortenMiddle(r.in, r.width);
    EXPECT_EQ(shortened, r.out) << r.in << " " << r.width;
    EXPECT_LE(DisplayWidth(shortened), r.width);
  }
  EXPECT_EQ(DisplayWidth("日本語.html"), 11u);
}

TEST(ProgressLine, TheWholeRunThenTheCurrentFile) {
  RunCounters counts;
  counts.FilesDownloaded = 12;
  counts.BytesDownloaded = 3 * 1024 * 1024;
  RunCounters troubled = counts;
  troubled.Errors = 1;
  troubled.FilesSkipped = 2;
  struct Row {
    RunCounters counts;
    std::int64_t bytes, total;
    std::uint32_t ms;
    std::string name;
    std::size_t columns;
    std::string line;
  } rows[] = {
      {{}, 0, 0, 10, "", 80, "0 files, 0 B"},
      {{1, 0, 0, 900}, 0, 0, 500, "", 80, "1 file, 900 B"},
      {counts, 1024 * 1024, 4 * 1024 * 1024, 2000, "docs/_static/searchindex.js", 80,
       "12 files, 4.0 MB, 2.0 MB/s  docs/_static/searchindex.js 25%"},
      {troubled, 512, 0, 1000, "a.bin", 80, "12 files, 1 error, 2 skipped, 3.0 MB, 3.0 MB/s  a.bin 512 B"},
      {counts, 1024 * 1024, 4 * 1024 * 1024, 2000, "docs/_static/searchindex.js", 50,
       "12 files, 4.0 MB, 2.0 MB/s  docs/_st…index.js 25%"},
      // Too narrow for a readable name: the figures alone; narrower still, what fits.
      {counts, 0, 0, 10, "docs/_static/searchindex.js", 30, "12 files, 3.0 MB"},
      {counts, 0, 0, 10, "x", 12, "12 fi….0 MB"},
  };
  for (const Row& r : rows) {
    const std::string line = ProgressLine({r.counts, r.bytes, r.total, r.ms, r.name}, r.columns);
    EXPECT_EQ(line, r.line);
    EXPECT_LT(DisplayWidth(line), r.columns) << line;
  }
}

// Each drawing of the line, as the terminal shows it after the carriage return and erase.
std::vector<std::string> Drawings(const std::string& err) {
  std::vector<std::string> drawings;
  const std::string erase = "\r\x1b[K";
  for (std::size_t at = err.find(erase); at != std::string::npos;) {
    const std::size_t next = err.find(erase, at + erase.size());
    drawings.push_back(err.substr(at + erase.size(), next == std::string::npos ? std::string::npos : next - at - erase.size()));
    at = next;
  }
  return drawings;
}

TEST_F(Cli, TheProgressLineShowsTheRunAndIsErasedBeforeItsLastLines) {
  const std::string name = "a-rather-long-folder-name/another-folder/the-file-we-are-fetching.js";
  net.Page("h:80/", "<html><a href=\"" + name + "\">x</a><a href=b.bin>b</a></html>");
  net.Page("h:80/" + name, std::string(5000, 'x'), "application/javascript");
  net.Page("h:80/b.bin", std::string(3000, 'y'), "application/octet-stream");
  // Each chunk takes a while, as on a real line: the line is drawn for every one.
  net.onChunk = [this](const std::string&) { clock.tick += 250; };
  context.progress = true;
  context.columns = 60;
  ASSERT_EQ(Run({"-u", "http://h/", "-d", Save(), "--server-tree", "-l", "1"}), 0) << err.str();
  const std::vector<std::string> drawings = Drawings(err.str());
  ASSERT_GE(drawings.size(), 3u) << err.str();
  bool sawShortened = false;
  for (std::size_t i = 0; i + 1 < drawings.size(); ++i) {
    EXPECT_EQ(drawings[i].find('\n'), std::string::npos) << drawings[i];
    EXPECT_LT(DisplayWidth(drawings[i]), 60u) << drawings[i];
    sawShortened |= drawings[i].starts_with("1 file, ") && drawings[i].find("  h/a-rather") != std::string::npos &&
                    drawings[i].find("…") != std::string::npos && drawings[i].find("-fetching.js ") != std::string::npos;
  }
  EXPECT_TRUE(sawShortened) << err.str();
  // After the last erase only whole lines follow: the line is gone before the run's last lines.
  EXPECT_NE(drawings.back().find("open: " + (save / "out" / "h" / "~TrawlDlFile_0.htm").string() + "\n"), std::string::npos)
      << drawings.back();
  EXPECT_EQ(drawings.back().find('\r'), std::string::npos);
  EXPECT_TRUE(drawings.back().ends_with('\n'));
  EXPECT_NE(out.str().find("Summary:\r\n"), std::string::npos);
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);

  // A quiet run, or no terminal: nothing of it at all.
  ASSERT_EQ(Run({"-q", "-u", "http://h/b.bin", "-d", Save()}), 0);
  EXPECT_EQ(err.str().find_first_of("\r\x1b"), std::string::npos) << err.str();
  context.progress = false;
  ASSERT_EQ(Run({"-u", "http://h/b.bin", "-d", Save()}), 0);
  EXPECT_EQ(err.str().find_first_of("\r\x1b"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("open: " + (save / "out" / "b.bin").string() + "\n"), std::string::npos);
}

}  // namespace
}  // namespace tk::cli

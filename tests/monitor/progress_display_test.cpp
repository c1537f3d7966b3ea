// The transfer display and the log box, driven the way the engine drives them, with the tick
// under the test's control.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "monitor/progress_display.h"
#include "monitor_test_util.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_template.h"

namespace tk {
namespace {

// The page's controls exist before the display looks them up.
struct DownloadLayout {
  DownloadLayout() { res::BuildDialog(*res::FindDialog(res::kDlgDownload), &page); }
  QWidget page;
};

class ProgressDisplayTest : public ::testing::Test {
 protected:

  QString Text(int id) const { return qobject_cast<QLabel*>(res::FindControlWidget(&page, id))->text(); }
  int Bar() const { return qobject_cast<QProgressBar*>(res::FindControlWidget(&page, 1026))->value(); }
  QString Log() const {
    return qobject_cast<QPlainTextEdit*>(res::FindControlWidget(&page, 1000))->toPlainText();
  }

  DownloadLayout layout;
  QWidget& page = layout.page;
  test::SettableClock clock;
  ProgressDisplay display{page, clock};
};

TEST_F(ProgressDisplayTest, KnownSizeCountsUpPaddedAndFillsTheBar) {
  display.BeginFile("http://h/a.bin", "a.bin", "2048");
  EXPECT_EQ(Text(1028), QStringLiteral("http://h/a.binから"));
  EXPECT_EQ(Text(1032), QStringLiteral("a.binへ"));
  const struct {
    int chunk;
    const char* text;
    int bar;
  } steps[] = {{1023, "   1023/2048", 49}, {1023, "   2046/2048", 99}, {2, "   2048/2048", 100}};
  for (const auto& s : steps) {
    display.AddBytes(s.chunk);
    EXPECT_EQ(Text(1029), QString::fromLatin1(s.text));
    EXPECT_EQ(Bar(), s.bar);
  }
}

TEST_F(ProgressDisplayTest, UnknownSizeShowsQuestionMarksAndLeavesTheBarAlone) {
  for (const char* size : {"", "abc", "0"}) {
    display.BeginFile("http://h/x", "x", size);
    display.AddBytes(1023);
    EXPECT_EQ(Text(1029), QStringLiteral("   1023/???")) << size;
    EXPECT_EQ(Bar(), 0) << size;
  }
}

TEST_F(ProgressDisplayTest, RateAppearsOnlyAfterTheFirstSecond) {
  clock.tick = 5000;
  display.BeginFile("http://h/x", "x", "100000");
  clock.tick = 6000;  // exactly one second: still nothing
  display.AddBytes(40000);
  EXPECT_TRUE(Text(1031).isEmpty());
  clock.tick = 7000;
  display.AddBytes(60000);
  EXPECT_EQ(Text(1031), QStringLiteral("50.00KB/S"));
  // The next file starts without the last one's rate.
  display.BeginFile("http://h/y", "y", "10");
  EXPECT_TRUE(Text(1031).isEmpty());
  EXPECT_TRUE(Text(1029).isEmpty());
}

TEST_F(ProgressDisplayTest, RateSurvivesTheTickWrappingAround) {
  clock.tick = 0xFFFFFC18u;  // 1000 ms before the wrap
  display.BeginFile("http://h/x", "x", "");
  clock.tick = 1000;  // 2000 ms later
  display.AddBytes(100000);
  EXPECT_EQ(Text(1031), QStringLiteral("50.00KB/S"));
}

TEST_F(ProgressDisplayTest, HugeFilesClimbToAHundredWithoutOverflow) {
  // Beyond 2 GiB as well: the engine counts in 64 bits.
  for (const std::int64_t total : {std::int64_t{100'000'000}, std::int64_t{6'000'000'000}}) {
    display.BeginFile("http://h/big", "big", std::to_string(total));
    int last = 0;
    const std::int64_t step = total / 8;
    for (std::int64_t got = 0; got < total; got += step) {
      display.AddBytes(std::min(step, total - got));
      EXPECT_GE(Bar(), last);
      last = Bar();
    }
    EXPECT_EQ(Bar(), 100);
  }
}

TEST_F(ProgressDisplayTest, CountersLineUpUnderTheHeading) {
  RunCounters c;
  c.FilesDownloaded = 4;
  c.Errors = 1;
  c.BytesDownloaded = 3000;
  display.ShowCounts(c);
  EXPECT_EQ(Text(1030), QStringLiteral("\t\t\t       4\t\t               1\t\t       0\t\t\t            3000"));
}

TEST_F(ProgressDisplayTest, EndOfTransfersLeavesOnlyTheEndText) {
  display.BeginFile("http://h/x", "x", "10");
  clock.tick = 5000;
  display.AddBytes(5);
  display.EndTransfers();
  EXPECT_EQ(Text(1028), QStringLiteral("ダウンロード終了"));
  for (int id : {1032, 1029, 1031}) EXPECT_TRUE(Text(id).isEmpty()) << id;
  EXPECT_EQ(Bar(), 0);
}

TEST_F(ProgressDisplayTest, LogBoxTakesCrLfLinesInPiecesAndClears) {
  display.AppendLog("12:00:00:Start downloading\r\nExcluding");
  display.AppendLog(" file types:\r\n");
  display.AppendLog("http://h/日本.html(OK:Saved as[日本.html])\r\n");
  EXPECT_EQ(Log(), QStringLiteral("12:00:00:Start downloading\nExcluding file types:\n"
                                  "http://h/日本.html(OK:Saved as[日本.html])\n"));
  // A selection the user made meanwhile does not take the next line's place.
  auto* log = qobject_cast<QPlainTextEdit*>(res::FindControlWidget(&page, 1000));
  log->selectAll();
  display.AppendLog("x\r\n");
  EXPECT_TRUE(Log().endsWith(QStringLiteral("])\nx\n")));
  display.ClearLog();
  EXPECT_TRUE(Log().isEmpty());
}

}  // namespace
}  // namespace tk

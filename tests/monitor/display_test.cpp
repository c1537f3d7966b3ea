// The transfer display and the log box driven as the engine drives them, with the tick under
// the test's control; the animation's frame rules.
#include <QProgressBar>

#include "monitor/progress_display.h"
#include "monitor/truck_animation.h"
#include "resources/dialog_builder.h"
#include "resources/images.h"
#include "support/monitor_test_util.h"

namespace tk::test {
namespace {

class ProgressDisplayTest : public ::testing::Test {
 protected:
  QString Text(int id) { return page.findChild<QLabel*>(QStringLiteral("ctl%1").arg(id))->text(); }
  int Bar() { return page.findChild<QProgressBar*>()->value(); }
  QString Log() { return page.findChild<QPlainTextEdit*>()->toPlainText(); }

  QWidget page;
  bool built = (res::BuildDialog(*res::FindDialog(res::kDlgDownload), &page), true);  // before `display`
  SettableClock clock;
  ProgressDisplay display{page, clock};
};

TEST_F(ProgressDisplayTest, RateOnlyAfterTheFirstSecondAlsoAcrossTheTickWrap) {
  clock.tick = 0xFFFFFC18u;  // the tick wraps during this file
  display.BeginFile("http://h/x", "x", "100000");
  clock.tick = 0;  // one second in, across the wrap: no rate yet
  display.AddBytes(40000);
  EXPECT_TRUE(Text(res::kDownloadRate).isEmpty());
  clock.tick = 1000;  // two seconds in
  display.AddBytes(60000);
  EXPECT_EQ(Text(res::kDownloadRate), QStringLiteral("50.00KB/S"));
  display.BeginFile("http://h/y", "y", "10");  // the next file starts blank
  EXPECT_TRUE(Text(res::kDownloadRate).isEmpty());
  EXPECT_TRUE(Text(res::kDownloadByteCount).isEmpty());
}

// Each call reaches its own controls; the texts' arithmetic is the engine's and tested there.
TEST_F(ProgressDisplayTest, EachCallReachesItsControls) {
  display.BeginFile("http://h/a.bin", "a.bin", "2048");
  EXPECT_EQ(Text(res::kDownloadSource), QStringLiteral("http://h/a.binから"));
  EXPECT_EQ(Text(res::kDownloadDestination), QStringLiteral("a.binへ"));
  display.AddBytes(1024);
  EXPECT_EQ(Text(res::kDownloadByteCount), QStringLiteral("   1024/2048"));
  EXPECT_EQ(Bar(), 50);

  RunCounters c;
  c.FilesDownloaded = 4;
  c.Errors = 1;
  c.BytesDownloaded = 3000;
  display.ShowCounts(c);
  EXPECT_EQ(Text(res::kDownloadCounters),
            QStringLiteral("\t\t\t       4\t\t               1\t\t       0\t\t\t            3000"));
  display.EndTransfers();
  EXPECT_EQ(Text(res::kDownloadSource), QStringLiteral("ダウンロード終了"));
  for (int id : {res::kDownloadDestination, res::kDownloadByteCount, res::kDownloadRate})
    EXPECT_TRUE(Text(id).isEmpty()) << id;

  // CR LF lines arriving in pieces, one line each; a selection made meanwhile is not replaced.
  display.AppendLog("Start\r\nExcluding");
  display.AppendLog(" file types:\r\nhttp://h/日本.html(OK)\r\n");
  page.findChild<QPlainTextEdit*>()->selectAll();
  display.AppendLog("x\r\n");
  EXPECT_EQ(Log(), QStringLiteral("Start\nExcluding file types:\nhttp://h/日本.html(OK)\nx\n"));
  display.ClearLog();
  EXPECT_TRUE(Log().isEmpty());
}

TEST(TruckFrameAt, PathIconsAndSprites) {
  const TruckPath path{505, 67, 20};
  EXPECT_EQ(TruckFrameAt(0, path).x, 505);
  EXPECT_EQ(TruckFrameAt(50, path).x, 505 - 438 / 2);
  EXPECT_EQ(TruckFrameAt(100, path).x, 67);
  EXPECT_EQ(TruckFrameAt(101, path).x, 505);
  EXPECT_FALSE(TruckFrameAt(0, path).clearOld);
  EXPECT_TRUE(TruckFrameAt(101, path).clearOld);
  EXPECT_FALSE(TruckFrameAt(100, path).clearOld);
  const struct {
    unsigned n;
    int globe, computer;
  } rows[] = {{0, res::kIconGlobe1, 0},   {17, res::kIconGlobe2, 0}, {33, res::kIconGlobe3, 0},
              {150, res::kIconGlobe1, 0}, {97, 0, res::kIconComputerFlash}, {103, 0, res::kIconComputer},
              {2, 0, res::kIconComputer}, {1, 0, 0},                  {101, 0, 0}};
  for (const auto& r : rows) {
    EXPECT_EQ(TruckFrameAt(r.n, path).globeIcon, r.globe) << r.n;
    EXPECT_EQ(TruckFrameAt(r.n, path).computerIcon, r.computer) << r.n;
  }
  for (unsigned n : {0u, 1u, 2u, 3u}) EXPECT_EQ(TruckFrameAt(n, path).sprite, res::kBitmapTruckFirst + static_cast<int>(n % 3));
}

}  // namespace
}  // namespace tk::test

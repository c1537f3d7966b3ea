// The worker's side of the run host and the waits around the worker: questions reach the page's
// host on the GUI thread and bring their answers back, display calls never wait for it; nothing
// blocks the GUI thread.
#include <QTest>
#include <QThread>

#include "monitor/cancel_wait_dlg.h"
#include "monitor/display_feed.h"
#include "monitor/marshalling_host.h"
#include "monitor/overwrite_dlg.h"
#include "monitor/worker_thread.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "support/monitor_test_util.h"
#include "support/recording_host.h"

namespace tk::test {
namespace {

class GuiThreadHost : public RecordingHost {
 public:
  int offGui = 0;
  void Check() { offGui += QThread::currentThread() != qApp->thread(); }
  OverwriteAnswer AskOverwrite(const std::string& p) override {
    Check();
    return RecordingHost::AskOverwrite(p);
  }
  std::size_t StartUrlCount() override {
    Check();
    return RecordingHost::StartUrlCount();
  }
  std::string StartUrl(std::size_t i) override {
    Check();
    return RecordingHost::StartUrl(i);
  }
};

TEST(MarshallingHost, QuestionsRunOnTheGuiThreadDisplayCallsNeverWaitForIt) {
  GuiThreadHost gui;
  gui.startUrls = {"http://a/", "http://b/"};
  gui.overwriteAnswers = {OverwriteAnswer::OverwriteAll};
  QObject context;
  std::atomic<bool> cancel{false};
  DisplayFeed feed;
  SettableClock clock;
  clock.tick = 5;
  MarshallingHost host(gui, feed, clock, &context, cancel);
  WorkerThread worker;
  EXPECT_FALSE(worker.IsRunning());  // never started counts as ended

  // The GUI thread does not serve events here: the display calls must return all the same.
  RunCounters counts;
  counts.FilesDownloaded = 3;
  worker.Start([&] {
    host.ClearLog();
    host.AppendLog("line\r\n");
    host.AppendLog("half\r");
    host.BeginFile("http://h/a", "a", "10");
    host.AddBytes(4);
    clock.tick = 9;
    host.AddBytes(3);
    host.ShowCounts(counts);
  });
  for (int i = 0; i < 10000 && worker.IsRunning(); ++i) QThread::msleep(1);
  ASSERT_FALSE(worker.IsRunning()) << "a display call waited for the GUI thread";
  worker.Reap();
  DisplayUpdate update = feed.Take();
  EXPECT_TRUE(update.clearLog);
  EXPECT_EQ(update.log, "line\r\nhalf");  // the CR waits for its LF
  EXPECT_EQ(update.transfer, DisplayUpdate::Transfer::NewFile);
  EXPECT_EQ(update.url, "http://h/a");
  EXPECT_EQ(update.beginTick, 5u);
  EXPECT_EQ(update.bytes, 7);
  EXPECT_EQ(update.bytesTick, 9u);
  EXPECT_EQ(update.counters.FilesDownloaded, 3);
  host.AppendLog("\n");
  EXPECT_EQ(feed.Take(true).log, "\r\n");
  EXPECT_TRUE(feed.Take(true).Empty());
  EXPECT_EQ(gui.box, "");

  // Questions and the start pages wait for the GUI thread and bring its answers back.
  std::vector<std::string> urls;
  OverwriteAnswer answer = OverwriteAnswer::Skip;
  worker.Start([&] {
    for (std::size_t i = 0; i < host.StartUrlCount(); ++i) urls.push_back(host.StartUrl(i));
    answer = host.AskOverwrite("a.html");
  });
  ASSERT_TRUE(PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();
  EXPECT_EQ(urls, gui.startUrls);
  EXPECT_EQ(answer, OverwriteAnswer::OverwriteAll);
  EXPECT_EQ(gui.offGui, 0);

  // From the GUI thread itself the calls run directly; a blocking call to oneself would hang.
  EXPECT_EQ(host.StartUrl(1), "http://b/");
}

TEST(WorkerThread, ReapingNeverWaitsForARunningThread) {
  WorkerThread worker;
  std::atomic<bool> release{false};
  worker.Start([&] {
    while (!release) QThread::msleep(1);
  });
  worker.Reap();
  EXPECT_TRUE(worker.IsRunning());
  release = true;
  ASSERT_TRUE(PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();
}

TEST(CCancelWaitDlg, OnlyTheWorkersEndClosesIt) {
  std::atomic<bool> running{true};
  CCancelWaitDlg dialog([&] { return running.load(); });
  EXPECT_EQ(dialog.PollTimer().interval(), 100);
  int pokes = 0;
  QTimer poke;
  QObject::connect(&poke, &QTimer::timeout, [&] {
    if (++pokes <= 4) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
      dialog.close();
    } else {
      running = false;
    }
  });
  poke.start(60);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_GT(pokes, 4);
  EXPECT_FALSE(dialog.PollTimer().isActive());
}

TEST(COverwriteDlg, ButtonsEndWithTheirIdsEscapeSkipsEnterOverwritesOne) {
  auto click = [](int id) -> std::function<void(QWidget*)> {
    return [id](QWidget* m) { qobject_cast<QPushButton*>(res::FindControlWidget(m, id))->click(); };
  };
  const std::pair<std::function<void(QWidget*)>, OverwriteAnswer> rows[] = {
      {click(res::kOverwriteOne), OverwriteAnswer::Overwrite},
      {click(res::kOverwriteSkip), OverwriteAnswer::Skip},
      {click(res::kOverwriteAll), OverwriteAnswer::OverwriteAll},
      {click(res::kOverwriteSkipAll), OverwriteAnswer::SkipAll},
      {[](QWidget* m) { QTest::keyClick(m, Qt::Key_Escape); }, OverwriteAnswer::Skip},
      // The layout marks two default buttons; Enter must not mean "all".
      {[](QWidget* m) { QTest::keyClick(m, Qt::Key_Return); }, OverwriteAnswer::Overwrite},
  };
  for (const auto& [act, expected] : rows) {
    COverwriteDlg dialog("host/dir/a.html");
    EXPECT_EQ(qobject_cast<QLabel*>(res::FindControlWidget(&dialog, res::kOverwritePath))->text(),
              QStringLiteral("host/dir/a.html"));
    WhenModal(act);
    EXPECT_EQ(COverwriteDlg::AnswerFor(dialog.exec()), expected);
  }
}

}  // namespace
}  // namespace tk::test

// The worker's side of the run host and the waits around the worker: calls reach the page's
// host on the GUI thread and bring their answers back; nothing blocks the GUI thread.
#include <QTest>
#include <QThread>

#include "engine/recording_host.h"
#include "monitor/cancel_wait_dlg.h"
#include "monitor/marshalling_host.h"
#include "monitor/overwrite_dlg.h"
#include "monitor/worker_thread.h"
#include "monitor_test_util.h"

namespace tk::test {
namespace {

class GuiThreadHost : public RecordingHost {
 public:
  int offGui = 0;
  void Check() { offGui += QThread::currentThread() != qApp->thread(); }
  void AppendLog(std::string_view t) override {
    Check();
    RecordingHost::AppendLog(t);
  }
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

TEST(MarshallingHost, WorkerCallsRunOnTheGuiThreadAndAnswerBack) {
  GuiThreadHost gui;
  gui.startUrls = {"http://a/", "http://b/"};
  gui.overwriteAnswers = {OverwriteAnswer::OverwriteAll};
  QObject context;
  std::atomic<bool> cancel{false};
  MarshallingHost host(gui, &context, cancel);
  std::vector<std::string> urls;
  OverwriteAnswer answer = OverwriteAnswer::Skip;
  WorkerThread worker;
  EXPECT_FALSE(worker.IsRunning());  // never started counts as ended
  worker.Start([&] {
    host.AppendLog("line\r\n");
    for (std::size_t i = 0; i < host.StartUrlCount(); ++i) urls.push_back(host.StartUrl(i));
    answer = host.AskOverwrite("a.html");
  });
  ASSERT_TRUE(PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();
  EXPECT_EQ(urls, gui.startUrls);
  EXPECT_EQ(answer, OverwriteAnswer::OverwriteAll);
  EXPECT_EQ(gui.box, "line\r\n");
  EXPECT_EQ(gui.offGui, 0);

  // From the GUI thread itself the calls run directly; a blocking call to oneself would hang.
  host.AppendLog("x");
  EXPECT_EQ(host.StartUrl(1), "http://b/");
  EXPECT_EQ(gui.box, "line\r\nx");
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
  const std::pair<std::function<void(QWidget*)>, OverwriteAnswer> rows[] = {
      {[](QWidget* m) { m->findChild<QPushButton*>(QStringLiteral("ctl1029"))->click(); }, OverwriteAnswer::Overwrite},
      {[](QWidget* m) { m->findChild<QPushButton*>(QStringLiteral("ctl1030"))->click(); }, OverwriteAnswer::Skip},
      {[](QWidget* m) { m->findChild<QPushButton*>(QStringLiteral("ctl1031"))->click(); }, OverwriteAnswer::OverwriteAll},
      {[](QWidget* m) { m->findChild<QPushButton*>(QStringLiteral("ctl1033"))->click(); }, OverwriteAnswer::SkipAll},
      {[](QWidget* m) { QTest::keyClick(m, Qt::Key_Escape); }, OverwriteAnswer::Skip},
      // The layout marks two default buttons; Enter must not mean "all".
      {[](QWidget* m) { QTest::keyClick(m, Qt::Key_Return); }, OverwriteAnswer::Overwrite},
  };
  for (const auto& [act, expected] : rows) {
    COverwriteDlg dialog("host/dir/a.html");
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("ctl1034"))->text(), QStringLiteral("host/dir/a.html"));
    WhenModal(act);
    EXPECT_EQ(COverwriteDlg::AnswerFor(dialog.exec()), expected);
  }
}

}  // namespace
}  // namespace tk::test

// The worker's side of the run host: every call reaches the page's host on the GUI thread and
// comes back with its answer, while the GUI thread never blocks; the worker thread's end is
// seen without waiting.
#include <gtest/gtest.h>

#include <QThread>

#include <thread>

#include "engine/recording_host.h"
#include "monitor/marshalling_host.h"
#include "monitor/worker_thread.h"
#include "monitor_test_util.h"

namespace tk {
namespace {

// Records the thread of every call it gets.
class ThreadCheckingHost : public test::RecordingHost {
 public:
  std::vector<bool> onGui;
  void Note() { onGui.push_back(QThread::currentThread() == qApp->thread()); }
  void AppendLog(std::string_view t) override { Note(), RecordingHost::AppendLog(t); }
  void AddBytes(std::int64_t n) override { Note(), RecordingHost::AddBytes(n); }
  OverwriteAnswer AskOverwrite(const std::string& p) override { return Note(), RecordingHost::AskOverwrite(p); }
  std::optional<Credentials> AskPassword(const std::string& u, const std::string& h) override {
    return Note(), RecordingHost::AskPassword(u, h);
  }
  std::size_t StartUrlCount() override { return Note(), RecordingHost::StartUrlCount(); }
  std::string StartUrl(std::size_t i) override { return Note(), RecordingHost::StartUrl(i); }
};

TEST(MarshallingHost, WorkerCallsRunOnTheGuiThreadAndBringTheirAnswersBack) {
  ThreadCheckingHost gui;
  gui.startUrls = {"http://a/", "http://b/"};
  gui.overwriteAnswers = {OverwriteAnswer::OverwriteAll};
  gui.passwords = {Credentials{"u", "p"}};
  QObject context;
  std::atomic<bool> cancel{false};
  MarshallingHost host(gui, &context, cancel);

  std::vector<std::string> urls;
  OverwriteAnswer answer = OverwriteAnswer::Skip;
  std::optional<Credentials> login;
  WorkerThread worker;
  worker.Start([&] {
    host.AppendLog("line\r\n");
    for (std::size_t i = 0; i < host.StartUrlCount(); ++i) urls.push_back(host.StartUrl(i));
    host.AddBytes(1023);
    answer = host.AskOverwrite("a.html");
    login = host.AskPassword("http://a/", "a");
  });
  ASSERT_TRUE(test::PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();

  EXPECT_EQ(urls, gui.startUrls);
  EXPECT_EQ(answer, OverwriteAnswer::OverwriteAll);
  ASSERT_TRUE(login);
  EXPECT_EQ(login->User, "u");
  EXPECT_EQ(gui.box, "line\r\n");
  EXPECT_EQ(gui.chunks, std::vector<std::int64_t>{1023});
  EXPECT_EQ(gui.onGui, std::vector<bool>(gui.onGui.size(), true));
  EXPECT_EQ(gui.onGui.size(), 9u);  // log, count x3, url x2, bytes, overwrite, password
}

TEST(MarshallingHost, CallsFromTheGuiThreadRunDirectly) {
  // A blocking queued call to one's own thread would never return: this must not hang.
  test::RecordingHost gui;
  gui.startUrls = {"http://a/"};
  QObject context;
  std::atomic<bool> cancel{false};
  MarshallingHost host(gui, &context, cancel);
  host.AppendLog("x");
  EXPECT_EQ(host.StartUrlCount(), 1u);
  EXPECT_EQ(host.StartUrl(0), "http://a/");
  EXPECT_EQ(gui.box, "x");
}

TEST(MarshallingHost, CancelFlagIsReadWithoutTheGuiThread) {
  // The GUI thread is busy (not pumping) while the worker polls the flag.
  test::RecordingHost gui;
  QObject context;
  std::atomic<bool> cancel{false};
  MarshallingHost host(gui, &context, cancel);
  std::atomic<int> seen{0};
  std::thread worker([&] {
    seen = host.CancelRequested() ? 1 : 2;
    while (!host.CancelRequested()) std::this_thread::yield();
    seen = 3;
  });
  while (seen == 0) std::this_thread::yield();
  EXPECT_EQ(seen, 2);
  cancel = true;
  worker.join();
  EXPECT_EQ(seen, 3);
}

TEST(WorkerThread, EndIsSeenWithoutWaitingAndOutlivesReaping) {
  WorkerThread worker;
  EXPECT_FALSE(worker.IsRunning());  // never started counts as ended
  std::atomic<bool> release{false};
  worker.Start([&] {
    while (!release) std::this_thread::yield();
  });
  EXPECT_TRUE(worker.IsRunning());
  worker.Reap();  // must not wait for a running thread
  EXPECT_TRUE(worker.IsRunning());
  release = true;
  ASSERT_TRUE(test::PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();
  EXPECT_FALSE(worker.IsRunning());
  // A second run on the same object.
  bool ran = false;
  worker.Start([&] { ran = true; });
  ASSERT_TRUE(test::PumpUntil([&] { return !worker.IsRunning(); }));
  worker.Reap();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace tk

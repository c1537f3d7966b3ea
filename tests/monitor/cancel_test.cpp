// Cancelling a run from the wizard: refused, confirmed during a slow body, the page going away
// while its worker runs, and Close after the run acting as Finish.
#include "monitor/cancel_wait_dialog.h"
#include "page_fixture.h"

namespace tk::test {
namespace {

const QString kCancelQuestion = QStringLiteral("ダウンロードをキャンセルしますか？");

class CancelRun : public PageFixture {
 protected:
  // A body that takes minutes to arrive, then a file that must never be fetched after a cancel.
  void StartSlowRun() {
    slow = Url("/__/slow?n=400000&chunk=100&delay=50");
    after = SiteFile("after.txt", "after");
    Project().StartUrls = {slow, after};
    Enter();
    ASSERT_TRUE(PumpUntil([this] { return !Text(1029).isEmpty(); })) << "no bytes arrived";
  }
  std::string slow, after;
};

bool IsWaitDialog(QWidget* modal) { return qobject_cast<CCancelWaitDlg*>(modal) != nullptr; }

TEST_F(CancelRun, RefusedConfirmationChangesNothing) {
  StartSlowRun();
  ModalAnswers answers;
  QString caption;
  answers.Add(MessageBoxAnswer(kCancelQuestion, QMessageBox::Cancel, &caption));
  Button(B::Cancel)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_EQ(caption, QStringLiteral("キャンセル確認"));
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_TRUE(page->IsRunning());
  EXPECT_FALSE(page->CancelFlag());
  // The run goes on: more bytes arrive.
  const QString before = Text(1029);
  EXPECT_TRUE(PumpUntil([&] { return Text(1029) != before; }));
  EXPECT_EQ(Button(B::Cancel)->text(), QStringLiteral("キャンセル"));
}

TEST_F(CancelRun, ConfirmedCancelWaitsForTheWorkerThenCloses) {
  StartSlowRun();
  ModalAnswers answers;
  answers.Add(MessageBoxAnswer(kCancelQuestion, QMessageBox::Ok));
  answers.Add(IsWaitDialog);  // only seen: it must close by itself
  Button(B::Cancel)->click();
  // The click returns once the sheet has closed, and that only after the worker's end.
  EXPECT_FALSE(page->IsRunning());
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Rejected);
  EXPECT_EQ(answers.seen, (std::vector<std::string>{"QMessageBox", "tk::CCancelWaitDlg"}));

  const std::string log = RunLog();
  EXPECT_NE(log.find("Summary:\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.compare(log.size() - 18, 18, ":End downloading\r\n"), 0) << log;
  // The cancelled file has no line, and the next start page was never fetched.
  EXPECT_EQ(log.find(slow + "("), std::string::npos) << log;
  EXPECT_EQ(log.find(after), std::string::npos) << log;
  EXPECT_FALSE(std::filesystem::exists(save / "after.txt"));
  // The counters of the summary: nothing finished.
  EXPECT_NE(log.find("\t                   0                   0                   0                   0\r\n"),
            std::string::npos)
      << log;
}

TEST_F(CancelRun, PageGoingAwayMidRunStopsTheWorkerFirst) {
  StartSlowRun();
  sheet.reset();  // the application quitting around a running download
  page = nullptr;
  const std::string log = RunLog();
  EXPECT_EQ(log.compare(log.size() - 18, 18, ":End downloading\r\n"), 0) << log;
  EXPECT_EQ(log.find(after), std::string::npos);
}

TEST_F(CancelRun, CloseAfterTheRunActsAsFinish) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  ASSERT_EQ(Button(B::Cancel)->text(), QStringLiteral("閉じる"));

  // With the save box checked it asks for the project file; cancelling that keeps the wizard.
  ModalAnswers answers;
  answers.Add(SaveDialogAnswer(""));
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return answers.pending.empty(); }));
  ProcessPosted();
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(answers.seen, std::vector<std::string>{"QFileDialog"});

  // Without it, Close finishes: accepted, not cancelled, and no question about cancelling.
  SaveBox()->setChecked(false);
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return !sheet->isVisible(); }));
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_EQ(answers.seen.size(), 1u);
}

TEST_F(CancelRun, ClosingTheWindowAsksLikeCancel) {
  StartSlowRun();
  ModalAnswers answers;
  answers.Add(MessageBoxAnswer(kCancelQuestion, QMessageBox::Cancel));
  EXPECT_FALSE(sheet->close());
  EXPECT_TRUE(sheet->isVisible());
  answers.Add(MessageBoxAnswer(kCancelQuestion, QMessageBox::Ok));
  EXPECT_TRUE(sheet->close());
  EXPECT_FALSE(page->IsRunning());
  EXPECT_TRUE(answers.pending.empty());
}

}  // namespace
}  // namespace tk::test

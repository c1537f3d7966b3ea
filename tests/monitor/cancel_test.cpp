// Cancelling a run from the wizard: refused, confirmed during a slow body, the page going away
// while its worker runs, and Close after the run acting as Finish.
#include "monitor/cancel_wait_dlg.h"
#include "support/monitor_test_util.h"

namespace tk::test {
namespace {

const QString kQuestion = QStringLiteral("ダウンロードをキャンセルしますか？");

class CancelRun : public PageFixture {
 protected:
  // A body that takes minutes, then a start page that a cancel must leave unfetched.
  void StartSlowRun() {
    slow = Url("/__/slow?n=400000&chunk=100&delay=50");
    after = SiteFile("after.txt", "after");
    Project().StartUrls = {slow, after};
    Enter();
    ASSERT_TRUE(PumpUntil([this] { return !Text(res::kDownloadByteCount).isEmpty(); })) << "no bytes arrived";
  }
  void ExpectCancelledLog() {
    const std::string log = RunLog();
    ASSERT_GT(log.size(), 18u);
    EXPECT_EQ(log.substr(log.size() - 18), ":End downloading\r\n") << log;
    EXPECT_NE(log.find("Summary:\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(slow + "("), std::string::npos) << log;  // no line for the cancelled file
    EXPECT_EQ(log.find(after), std::string::npos) << log;
  }
  std::string slow, after;
};

TEST_F(CancelRun, RefusedThenConfirmedWaitsForTheWorkerBeforeClosing) {
  StartSlowRun();
  // While the run surely goes on: neither Finish nor Back, and no Next at all.
  ASSERT_TRUE(page->IsRunning());
  EXPECT_FALSE(Button(B::Finish)->isEnabled());
  EXPECT_FALSE(Button(B::Back)->isEnabled());
  EXPECT_FALSE(Button(B::Next)->isVisible());
  ModalAnswers answers;
  QString caption;
  answers.Add(MessageBoxAnswer(kQuestion, QMessageBox::Cancel, &caption));
  EXPECT_FALSE(sheet->close());  // the window's close box asks the same question
  EXPECT_EQ(caption, QStringLiteral("キャンセル確認"));
  EXPECT_TRUE(page->IsRunning());
  EXPECT_FALSE(page->CancelFlag());
  const QString before = Text(res::kDownloadByteCount);
  EXPECT_TRUE(PumpUntil([&] { return Text(res::kDownloadByteCount) != before; }));  // and the run goes on

  SaveBox()->setChecked(false);  // the project save after a cancel has tests of its own
  answers.Add(MessageBoxAnswer(kQuestion, QMessageBox::Ok));
  answers.Add([](QWidget* modal) { return qobject_cast<CCancelWaitDlg*>(modal) != nullptr; });  // seen only
  Button(B::Cancel)->click();
  // The click returns once the sheet has closed, and that only after the worker's end.
  EXPECT_FALSE(page->IsRunning());
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Rejected);
  EXPECT_EQ(answers.seen, (std::vector<std::string>{"QMessageBox", "QMessageBox", "tk::CCancelWaitDlg"}));
  ExpectCancelledLog();
}

// The cancel question promises that the job goes on next time: the project is saved first, as
// Finish would, through the real save dialog.
TEST_F(CancelRun, ACancelWithTheSaveBoxTickedSavesTheProjectThenCloses) {
  StartSlowRun();
  ASSERT_TRUE(SaveBox()->isChecked());
  const std::string project = (save / "job.tkp").string();
  ModalAnswers answers;
  answers.Add(MessageBoxAnswer(kQuestion, QMessageBox::Ok));
  answers.Add([](QWidget* modal) { return qobject_cast<CCancelWaitDlg*>(modal) != nullptr; });
  answers.Add(SaveDialogAnswer(project));
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return !sheet->isVisible(); }));
  EXPECT_EQ(answers.seen, (std::vector<std::string>{"QMessageBox", "tk::CCancelWaitDlg", "QFileDialog"}));
  EXPECT_FALSE(page->IsRunning());
  ProjectSettings saved;
  LoadProject(saved, project);
  EXPECT_EQ(saved.StartUrls, (std::vector<std::string>{slow, after}));
  ExpectCancelledLog();
}

TEST_F(CancelRun, ACancelledSaveDialogKeepsTheWizardOpenOnTheEndedRun) {
  StartSlowRun();
  ModalAnswers answers;
  answers.Add(MessageBoxAnswer(kQuestion, QMessageBox::Ok));
  answers.Add([](QWidget* modal) { return qobject_cast<CCancelWaitDlg*>(modal) != nullptr; });
  answers.Add(SaveDialogAnswer(""));
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return answers.pending.empty(); }));
  ProcessPosted();
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_FALSE(page->IsRunning());
  EXPECT_EQ(Button(B::Cancel)->text(), QStringLiteral("閉じる"));
  EXPECT_TRUE(Button(B::Finish)->isEnabled());
  EXPECT_FALSE(page->AnimationTimer().isActive());
  ExpectCancelledLog();
  EXPECT_TRUE(page->Get<QPlainTextEdit>(res::kDownloadLog)->toPlainText().endsWith(
      QStringLiteral("0 files: 0 new, 0 changed, 0 unchanged, 0 failed\n")));
  SaveBox()->setChecked(false);
  Button(B::Cancel)->click();  // Close, now: Finish
  ASSERT_TRUE(PumpUntil([&] { return !sheet->isVisible(); }));
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

// A start page written whole is the copy's, also when the run was cancelled during its scan.
TEST_F(CancelRun, ACopyCutDuringTheStartPagesScanStillOpens) {
  const std::string slowImage = Url("/__/slow?n=400000&chunk=100&delay=50");
  Project().StartUrls = {SiteFile("index.html", "<html><img src=\"" + slowImage + "\"></html>")};
  Enter();
  ASSERT_TRUE(PumpUntil([this] { return !Text(res::kDownloadByteCount).isEmpty(); })) << "no bytes arrived";
  SaveBox()->setChecked(false);
  ModalAnswers answers;
  answers.Add(MessageBoxAnswer(kQuestion, QMessageBox::Ok));
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return !sheet->isVisible(); }));
  EXPECT_EQ(page->StartPageUrl(), QUrl::fromLocalFile(QString::fromStdString((save / "index.html").string())));
  EXPECT_EQ(ReadFile(save / "index.html"), "<html><img src=\"" + slowImage + "\"></html>");
}

TEST_F(CancelRun, PageGoingAwayMidRunStopsTheWorkerFirst) {
  StartSlowRun();
  sheet.reset();  // the application quitting around a running download
  ExpectCancelledLog();
}

TEST_F(CancelRun, CloseAfterTheRunActsAsFinish) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  ModalAnswers answers;
  answers.Add(SaveDialogAnswer(""));  // the project save is offered; cancelling it stays
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return answers.pending.empty(); }));
  ProcessPosted();
  EXPECT_TRUE(sheet->isVisible());
  SaveBox()->setChecked(false);
  Button(B::Cancel)->click();
  ASSERT_TRUE(PumpUntil([&] { return !sheet->isVisible(); }));
  EXPECT_EQ(sheet->result(), QDialog::Accepted);  // finished, not cancelled, never asked
  EXPECT_EQ(answers.seen, std::vector<std::string>{"QFileDialog"});
}

}  // namespace
}  // namespace tk::test

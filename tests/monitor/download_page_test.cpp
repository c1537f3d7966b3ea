// The download page through whole runs against the local HTTP server: the log, the counters, the
// buttons and the animation while the run goes and after it, and Finish with its project save.
#include <QListWidget>

#include "engine/progress_text.h"
#include "page_fixture.h"

namespace tk::test {
namespace {

using DownloadPage = PageFixture;

TEST_F(DownloadPage, RunFillsTheLogAndCountersAndEndsWithFinishEnabled) {
  const std::string a = SiteFile("a.txt", std::string(3000, 'a'));
  const std::string b = SiteFile("b.html", "<html><body>hello</body></html>");
  const std::string missing = Url("/missing.txt");
  Project().StartUrls = {a, b, missing};
  MakeSheet();
  Enter();
  // While the run goes: Finish reads 完了 and is greyed, Back and Next cannot be used.
  EXPECT_EQ(Button(B::Finish)->text(), QStringLiteral("完了"));
  EXPECT_TRUE(sheet->windowTitle().startsWith(QStringLiteral("Trawlkit(")));
  EXPECT_TRUE(sheet->windowTitle().endsWith(QStringLiteral(")ダウンロード")));
  if (page->IsRunning()) {
    EXPECT_EQ(sheet->WizardButtonState(), unsigned{kWizDisabledFinish});
    EXPECT_FALSE(Button(B::Finish)->isEnabled());
    EXPECT_FALSE(Button(B::Back)->isEnabled());
    EXPECT_FALSE(Button(B::Next)->isVisible());
  }
  ASSERT_TRUE(WaitForEnd());

  // The box shows exactly what the run log received, line for line.
  QString expected = QString::fromStdString(RunLog());
  expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(LogBox(), expected);
  const std::string log = RunLog();
  EXPECT_NE(log.find(a + "(OK:Saved as[a.txt])\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(b + "(OK:Saved as[b.html])\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(missing + "(NG:Bad Status(404))\r\n"), std::string::npos) << log;
  EXPECT_NE(log.rfind(":End downloading\r\n"), std::string::npos);

  RunCounters counts;
  counts.FilesDownloaded = 3;
  counts.Errors = 1;
  counts.BytesDownloaded = 3000 + 31;
  EXPECT_EQ(Text(1030), QString::fromStdString(FormatCounts(counts)));
  EXPECT_EQ(Text(1028), QStringLiteral("ダウンロード終了"));
  for (int id : {1032, 1029, 1031}) EXPECT_TRUE(Text(id).isEmpty()) << id;

  // The end within one timer period: truck gone, timer off, Close and Finish offered.
  EXPECT_FALSE(page->Truck()->isVisible());
  EXPECT_FALSE(page->AnimationTimer().isActive());
  EXPECT_EQ(Button(B::Cancel)->text(), QStringLiteral("閉じる"));
  EXPECT_TRUE(Button(B::Finish)->isEnabled());
  EXPECT_FALSE(Button(B::Back)->isEnabled());
  EXPECT_EQ(ReadFile(save / "a.txt"), std::string(3000, 'a'));
}

TEST_F(DownloadPage, AnimationPathRunsFromTheGlobeToTheComputer) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  MakeSheet();
  Enter();
  const QWidget* globe = page->Control(CStep2Pg::kGlobe);
  const QWidget* computer = page->Control(CStep2Pg::kComputer);
  EXPECT_EQ(page->Path().y, globe->y());
  EXPECT_EQ(page->Path().startX, globe->x() - 47);
  EXPECT_EQ(page->Path().endX, computer->x() + computer->width() + 7);
  EXPECT_GT(page->Path().startX, page->Path().endX);
  EXPECT_EQ(page->AnimationTimer().interval(), 20);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_GE(page->FrameCount(), 1u);
}

TEST_F(DownloadPage, StartUrlsComeFromTheStartPagesListInItsOrder) {
  const std::string one = SiteFile("one.txt", "1");
  const std::string two = SiteFile("two.txt", "22");
  Project().StartUrls = {SiteFile("project.txt", "not this one")};
  MakeSheet();
  auto* list = sheet->Page(kStartPage)->Get<QListWidget>(1003);
  ASSERT_NE(list, nullptr);
  list->addItem(QString::fromStdString(two));
  list->addItem(QString::fromStdString(one));
  RunToEnd();
  const std::string log = RunLog();
  const auto second = log.find(two + "(OK");
  const auto first = log.find(one + "(OK");
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(second, first);
  EXPECT_EQ(log.find("project.txt"), std::string::npos);
}

TEST_F(DownloadPage, FinishSavesTheProjectOnlyUnderAProjectFileName) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  ASSERT_TRUE(SaveBox()->isChecked());
  EXPECT_EQ(SaveBox()->toolTip(), QStringLiteral("オンの時、オンの時、終了前にプロジェクトを保存する。"));

  // A .txt name: the error, and the page stays.
  ModalAnswers answers;
  QString caption;
  answers.Add(SaveDialogAnswer((save / "proj.txt").string()));
  answers.Add(MessageBoxAnswer(QStringLiteral("プロジェクトファイルではありません！"), QMessageBox::Ok, &caption));
  Button(B::Finish)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_EQ(caption, QStringLiteral("入力エラー"));
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_FALSE(std::filesystem::exists(save / "proj.txt"));

  // Cancelling the dialog stays as well.
  answers.Add(SaveDialogAnswer(""));
  Button(B::Finish)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_TRUE(sheet->isVisible());

  // A .tkp name: saved, and the wizard closes as finished.
  answers.Add(SaveDialogAnswer((save / "proj.tkp").string()));
  Button(B::Finish)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  const std::string saved = ReadFile(save / "proj.tkp");
  EXPECT_NE(saved.find("[SETTING]"), std::string::npos);
  EXPECT_NE(saved.find(Project().StartUrls.front()), std::string::npos);
}

TEST_F(DownloadPage, FinishWithoutTheSaveBoxClosesAtOnce) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  SaveBox()->setChecked(false);
  ModalAnswers answers;  // nothing may come up
  Button(B::Finish)->click();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_TRUE(answers.seen.empty());
}

TEST_F(DownloadPage, ProjectSavedBeforeTheRunHidesTheSaveBox) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  MakeSheet();
  sheet->SetActivePage(kOptionsPage);
  ProcessPosted();
  auto* saveFirst = sheet->Page(kOptionsPage)->Get<QCheckBox>(CStep2Pg::kOptionsSaveFirstBox);
  ASSERT_NE(saveFirst, nullptr);
  saveFirst->setChecked(true);
  Enter();
  EXPECT_FALSE(SaveBox()->isChecked());
  EXPECT_FALSE(SaveBox()->isVisible());
  EXPECT_FALSE(SaveBox()->isEnabled());
  ASSERT_TRUE(WaitForEnd());
  Button(B::Finish)->click();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(DownloadPage, NextIsNeverAWayOffThePage) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  EXPECT_EQ(page->OnWizardNext(), CWizardPage::kStay);
  ProcessPosted();
  EXPECT_EQ(sheet->ActiveIndex(), kDownloadPage);
  EXPECT_EQ(sheet->WizardButtonState(), 0u);
}

}  // namespace
}  // namespace tk::test

// The download page through whole runs against the local HTTP server: the log, the counters, the
// buttons and the animation while the run goes and after it, and Finish with its project save.
#include <QListWidget>

#include <unistd.h>

#include "engine/progress_text.h"
#include "monitor/progress_display.h"
#include "support/monitor_test_util.h"

namespace tk::test {
namespace {

using DownloadPage = PageFixture;

TEST_F(DownloadPage, RunFillsTheLogAndCountersThenOffersFinish) {
  const std::string a = SiteFile("a.txt", std::string(3000, 'a'));
  const std::string missing = Url("/missing.txt");
  Project().StartUrls = {a, missing};
  Enter();
  EXPECT_EQ(Button(B::Finish)->text(), QStringLiteral("完了"));
  EXPECT_TRUE(sheet->windowTitle().endsWith(QStringLiteral(")ダウンロード")));
  const QWidget* globe = page->Control(res::kDownloadGlobe);
  const QWidget* computer = page->Control(res::kDownloadComputer);
  EXPECT_EQ(page->Path().startX, globe->x() - 47);
  EXPECT_EQ(page->Path().endX, computer->x() + computer->width() + 7);
  ASSERT_TRUE(WaitForEnd());

  // The box holds exactly what the run log received, then what the run did to the copy.
  QString expected = QString::fromStdString(RunLog());
  expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  expected += QStringLiteral("2 files: 1 new, 0 changed, 0 unchanged, 1 failed\n");
  EXPECT_EQ(page->Get<QPlainTextEdit>(res::kDownloadLog)->toPlainText(), expected);
  const std::string log = RunLog();
  EXPECT_NE(log.find(a + "(OK:Saved as[a.txt])\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(missing + "(NG:Bad Status(404))\r\n"), std::string::npos) << log;
  RunCounters counts;
  counts.FilesDownloaded = 2;
  counts.Errors = 1;
  counts.BytesDownloaded = 3000;
  EXPECT_EQ(Text(res::kDownloadCounters), QString::fromStdString(FormatCounts(counts)));
  EXPECT_EQ(Text(res::kDownloadSource), QStringLiteral("ダウンロード終了"));
  EXPECT_TRUE(Text(res::kDownloadByteCount).isEmpty());
  // The end display: truck gone, timer off, Close and Finish offered, Back still not.
  EXPECT_FALSE(page->Truck()->isVisible());
  EXPECT_FALSE(page->AnimationTimer().isActive());
  EXPECT_EQ(Button(B::Cancel)->text(), QStringLiteral("閉じる"));
  EXPECT_TRUE(Button(B::Finish)->isEnabled());
  EXPECT_FALSE(Button(B::Back)->isEnabled());
}

// The worker runs ahead of the screen; however fast the lines come, the box ends holding every
// one of them in order, and the counters their last values.
TEST_F(DownloadPage, ALongFastRunLeavesEveryLogLineInTheBoxInOrder) {
  std::string index = "<html>";
  std::int64_t bytes = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    SiteFile(name, std::string(static_cast<std::size_t>(i % 50), 'x'));
    bytes += i % 50;
    index += "<a href=\"" + name + "\">" + name + "</a>\n";
  }
  index += "</html>";
  Project().StartUrls = {SiteFile("index.html", index)};
  Project().LinkLayers = 1;
  RunToEnd();
  QString expected = QString::fromStdString(RunLog());
  expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  expected += QStringLiteral("401 files: 401 new, 0 changed, 0 unchanged, 0 failed\n");
  const auto* box = page->Get<QPlainTextEdit>(res::kDownloadLog);
  EXPECT_EQ(box->toPlainText(), expected);
  EXPECT_GT(box->blockCount(), 400);
  RunCounters counts;
  counts.FilesDownloaded = 401;
  counts.BytesDownloaded = bytes + static_cast<std::int64_t>(index.size());
  EXPECT_EQ(Text(res::kDownloadCounters), QString::fromStdString(FormatCounts(counts)));
  EXPECT_EQ(Text(res::kDownloadSource), QStringLiteral("ダウンロード終了"));
  EXPECT_FALSE(page->DrainTimer().isActive());
}

// Where the painted runs of a label begin, left to right: runs are parted by at least `gap`
// blank pixel columns, so the letters of one word or the digits of one number make one run.
std::vector<int> InkStarts(QWidget* label, int gap = 8) {
  const QImage image = label->grab().toImage();
  const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
  std::vector<int> starts;
  int blank = gap;
  for (int x = 0; x < image.width(); ++x) {
    bool ink = false;
    for (int y = 0; y < image.height() && !ink; ++y) ink = image.pixel(x, y) != background;
    if (ink && blank >= gap) starts.push_back(x);
    blank = ink ? 0 : blank + 1;
  }
  return starts;
}

// Each counter stands under its heading, however many digits it and the ones before it have.
TEST_F(DownloadPage, EachCounterStandsUnderItsHeading) {
  RunToEnd();
  SettableClock clock;
  ProgressDisplay display(*page, clock);
  const std::vector<int> heading = InkStarts(page->Get<QLabel>(res::kDownloadCountersHeading));
  ASSERT_EQ(heading.size(), 5u);  // the caption, then files, errors, skipped, bytes
  const std::int64_t rows[][4] = {{4, 1, 0, 3000}, {10000, 0, 0, 77473499}, {123456, 7890, 12, 9876543210}};
  for (const auto& row : rows) {
    RunCounters counts;
    counts.FilesDownloaded = row[0];
    counts.Errors = row[1];
    counts.FilesSkipped = row[2];
    counts.BytesDownloaded = row[3];
    display.ShowCounts(counts);
    EXPECT_EQ(Text(res::kDownloadCounters), QString::fromStdString(FormatCounts(counts)));  // the text stays as it was
    const std::vector<int> numbers = InkStarts(page->Get<QLabel>(res::kDownloadCounters));
    ASSERT_EQ(numbers.size(), 4u) << row[0];
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(numbers[i], heading[i + 1], 3) << row[0] << " field " << i;
  }
}

TEST_F(DownloadPage, OnceTheRunIsOverTheCopyOpensFromItsFirstStartPage) {
  // The first start page fails; the second one is where the copy starts. The slow third keeps
  // the run going long enough to look at the page meanwhile.
  Project().StartUrls = {Url("/missing.html"), SiteFile("index.html", "<html>home</html>"),
                         Url("/__/slow?n=3000&chunk=100&delay=30")};
  MakeSheet();
  std::vector<QUrl> opened;
  page->SetOpener([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  Enter();
  auto* button = page->Get<QPushButton>(res::kDownloadOpenCopy);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), QStringLiteral("コピーを開く"));
  ASSERT_TRUE(page->IsRunning());
  EXPECT_FALSE(button->isVisible());
  EXPECT_FALSE(button->isEnabled());
  EXPECT_TRUE(page->StartPageUrl().isEmpty());
  ASSERT_TRUE(WaitForEnd());
  const QUrl start = QUrl::fromLocalFile(QString::fromStdString((save / "index.html").string()));
  EXPECT_EQ(page->StartPageUrl(), start);
  EXPECT_TRUE(button->isVisible());
  ASSERT_TRUE(button->isEnabled());
  button->click();
  EXPECT_EQ(opened, std::vector<QUrl>{start});
}

TEST_F(DownloadPage, ARunThatSavedNoStartPageOffersNoCopyToOpen) {
  Project().StartUrls = {Url("/missing.html")};
  RunToEnd();
  EXPECT_FALSE(page->Get<QPushButton>(res::kDownloadOpenCopy)->isVisible());
  EXPECT_TRUE(page->StartPageUrl().isEmpty());
}

// The run log is refused when it is another name of some file; the log box says so first, and the
// run goes on.
TEST_F(DownloadPage, ARunLogThatCannotBeWrittenIsSaidInTheLogBox) {
  WriteFile(site / "elsewhere.txt", "not theirs to grow");
  ASSERT_EQ(::link((site / "elsewhere.txt").c_str(), (save / "Trawlkit.txt").c_str()), 0);
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  const QString box = page->Get<QPlainTextEdit>(res::kDownloadLog)->toPlainText();
  EXPECT_TRUE(box.startsWith(QStringLiteral("The run log cannot be written (it has other hard links): ") +
                             QString::fromStdString((save / "Trawlkit.txt").string()) + QStringLiteral("\n")))
      << box.toStdString();
  EXPECT_TRUE(box.endsWith(QStringLiteral("1 file: 1 new, 0 changed, 0 unchanged, 0 failed\n")));
  EXPECT_EQ(ReadFile(site / "elsewhere.txt"), "not theirs to grow");
}

TEST_F(DownloadPage, StartUrlsComeFromTheStartPagesListInItsOrder) {
  const std::string one = SiteFile("one.txt", "1"), two = SiteFile("two.txt", "22");
  Project().StartUrls = {SiteFile("project.txt", "not this one")};
  MakeSheet();
  auto* list = sheet->Page(kStartPage)->Get<QListWidget>(res::kStartUrlList);
  list->addItems({QString::fromStdString(two), QString::fromStdString(one)});
  RunToEnd();
  const std::string log = RunLog();
  ASSERT_NE(log.find(one + "(OK"), std::string::npos) << log;
  EXPECT_LT(log.find(two + "(OK"), log.find(one + "(OK"));
  EXPECT_EQ(log.find("project.txt"), std::string::npos);
}

TEST_F(DownloadPage, FinishSavesTheProjectOnlyUnderAProjectFileName) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  RunToEnd();
  ASSERT_TRUE(SaveBox()->isChecked());
  EXPECT_EQ(SaveBox()->toolTip(), QStringLiteral("オンの時、オンの時、終了前にプロジェクトを保存する。"));
  ModalAnswers answers;
  QString caption;
  answers.Add(SaveDialogAnswer((save / "proj.txt").string()));
  answers.Add(MessageBoxAnswer(QStringLiteral("プロジェクトファイルではありません！"), QMessageBox::Ok, &caption));
  Button(B::Finish)->click();
  EXPECT_EQ(caption, QStringLiteral("入力エラー"));
  EXPECT_TRUE(sheet->isVisible());
  answers.Add(SaveDialogAnswer(""));  // cancelled: stays too
  Button(B::Finish)->click();
  EXPECT_TRUE(sheet->isVisible());
  answers.Add(SaveDialogAnswer((save / "proj.tkp").string()));
  Button(B::Finish)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_EQ(answers.seen.size(), 4u);
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_FALSE(std::filesystem::exists(save / "proj.txt"));
  EXPECT_NE(ReadFile(save / "proj.tkp").find(Project().StartUrls.front()), std::string::npos);
}

TEST_F(DownloadPage, FinishOffersTheProjectsOwnFileAndStaysWhenItCannotBeWritten) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  Project().ProjectPath = (save / "job.tkp").string();
  MakeSheet();
  std::vector<std::pair<std::string, std::string>> asked;
  std::string answer = (save / "folder.tkp").string();
  std::filesystem::create_directory(answer);
  page->SetSavePrompt([&](QWidget*, const std::string& folder, const std::string& name, std::string& path) {
    asked.emplace_back(folder, name);
    path = answer;
    return true;
  });
  RunToEnd();
  ModalAnswers answers;
  QString caption;
  answers.Add(MessageBoxAnswer(QString::fromStdString("プロジェクトファイル「" + answer + "」を保存できません！"),
                               QMessageBox::Ok, &caption));
  Button(B::Finish)->click();
  EXPECT_TRUE(answers.pending.empty());
  EXPECT_EQ(caption, QStringLiteral("入力エラー"));
  EXPECT_TRUE(sheet->isVisible());
  // No folder of its own: the dialog opens where the project's file is.
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, std::string>>{{"", Project().ProjectPath}}));

  answer = (save / "job.tkp").string();
  Button(B::Finish)->click();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_NE(ReadFile(answer).find(Project().StartUrls.front()), std::string::npos);
}

TEST_F(DownloadPage, ProjectSavedBeforeTheRunLeavesNothingToSaveAtFinish) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  MakeSheet();
  sheet->SetActivePage(kOptionsPage);
  sheet->Page(kOptionsPage)->Get<QCheckBox>(res::kOptionsSaveFirst)->setChecked(true);
  RunToEnd();
  EXPECT_FALSE(SaveBox()->isChecked());
  EXPECT_FALSE(SaveBox()->isVisible());
  EXPECT_FALSE(SaveBox()->isEnabled());
  ModalAnswers answers;
  Button(B::Finish)->click();
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_TRUE(answers.seen.empty());
}

}  // namespace
}  // namespace tk::test

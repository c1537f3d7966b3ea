// The start page in the real wizard: the default save folder, adding URLs, the checks of Next
// and what it commits, and opening a project.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <ctime>
#include <filesystem>

#include "pages/delete_button.h"
#include "support/page_test_util.h"
#include "pages/file_type_tree.h"
#include "pages/start_pg.h"
#include "pages/step1_pg.h"
#include "pages/url_list_box.h"
#include "resources/control_ids.h"
#include "resources/images.h"
#include "settings/ini_file.h"
#include "pages/delete_button.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

namespace fs = std::filesystem;

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char date[16];
  std::strftime(date, sizeof date, "%Y%m%d", &tm);
  return date;
}

struct StartFixture : test::WizardFixture {
  CStartPg* page;
  explicit StartFixture(const std::string& project = "") : WizardFixture(kStartPage, project) {
    page = Page<CStartPg>(kStartPage);
  }
  void Answer(const char* url) {
    page->SetUrlPrompt([url](QWidget*, std::string& out) {
      out = url;
      return true;
    });
    page->OnAdd();
  }
};

TEST(StartPage, DefaultSaveFolderIsDatedAndNumberedWhenTaken) {
  std::string base;
  {
    StartFixture f;
    base = (f.home.Path() / "TrawlFiles" / Today()).string();
    EXPECT_EQ(f.page->FolderField()->text().toStdString(), base);
    EXPECT_EQ(Project().SaveDir, base);  // written into the project at once
    EXPECT_FALSE(fs::exists(base));      // and not created
    fs::create_directories(base);
    test::WriteFile(base + "(1)", "a plain file counts as taken too");
    Project().SaveDir.clear();
    f.page->Refresh();
    EXPECT_EQ(f.page->FolderField()->text().toStdString(), base + "(2)");
  }
  StartFixture f;
  Project().SaveDir = "/somewhere/that/does/not/exist";
  f.page->Refresh();
  EXPECT_EQ(f.page->FolderField()->text(), QStringLiteral("/somewhere/that/does/not/exist"));
}

TEST(StartPage, ActivationSetsButtonsCaptionAndTheRestingDeletePicture) {
  StartFixture f;
  EXPECT_EQ(f.sheet->windowTitle(), QStringLiteral("Trawlkit(無題.tkp)スタート"));
  EXPECT_EQ(f.sheet->WizardButtonState(), unsigned{kWizBack | kWizNext});
  f.page->DeleteButton()->StartAnimation();
  f.page->DeleteButton()->OnTimer(CDeleteButton::kTimerId);
  f.sheet->SetActivePage(kIntroPage);
  f.sheet->SetActivePage(kStartPage);
  EXPECT_EQ(f.page->DeleteButton()->ShownIcon(), res::kIconDeleteFirst);
  EXPECT_EQ(f.page->DeleteButton()->AnimStep(), 0);
  EXPECT_FALSE(f.page->DeleteButton()->toolTip().isEmpty());
}

TEST(StartPage, AddSkipsAUrlTheListHoldsInAnyCase) {
  StartFixture f;
  f.Answer("http://b/");
  f.Answer("http://a/");
  f.Answer("HTTP://B/");
  ASSERT_EQ(f.page->List()->count(), 2);
  EXPECT_EQ(f.page->List()->item(0)->text(), QStringLiteral("http://a/"));
  EXPECT_EQ(UrlHistory().Entries(), (std::vector<std::string>{"http://a/", "http://b/"}));
}

TEST(StartPage, NextWithAnEmptyListAsksForAUrlFirst) {
  StartFixture f;
  f.page->FolderField()->clear();
  EXPECT_EQ(f.Next(), QStringLiteral("スタートページリスト(URL)を追加してください！"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
  EXPECT_EQ(f.sheet->focusWidget(), f.page->Get<QPushButton>(res::kStartAdd));
  EXPECT_TRUE(Project().StartUrls.empty());
}

TEST(StartPage, NextAsksBeforeCreatingTheFolderAndCommitsInSortedOrder) {
  StartFixture f;
  f.Answer("http://c/");
  f.Answer("ftp://b/");
  f.Answer("http://A/");
  const std::string folder = (f.home.Path() / "dl" / "sub").string();
  f.page->FolderField()->setText(QString::fromStdString(folder));
  EXPECT_EQ(f.Next(QMessageBox::Cancel), QString::fromStdString("ディレクトリ「" + folder +
                                                                "」が存在しません。\n作成してもいいですか？"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(Project().StartUrls.empty());

  EXPECT_FALSE(f.Next(QMessageBox::Ok).isEmpty());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  EXPECT_EQ(Project().StartUrls, (std::vector<std::string>{"ftp://b/", "http://A/", "http://c/"}));
  EXPECT_EQ(Project().SaveDir, folder);
  EXPECT_EQ(IniReadKeyNames(f.config.IniPath(), "HISTORY").size(), 3u);
}

TEST(StartPage, ExistingFolderGoesOnWithoutAQuestionUnlessItEndsInASlash) {
  StartFixture f;
  f.Answer("http://a/");
  const std::string folder = f.home.Path().string();
  f.page->FolderField()->setText(QString::fromStdString(folder + "/"));
  EXPECT_FALSE(f.Next(QMessageBox::Ok).isEmpty());  // asked, and creating what exists succeeds
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  f.sheet->SetActivePage(kStartPage);
  f.page->FolderField()->setText(QString::fromStdString(folder));
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_EQ(Project().SaveDir, folder);
}

// An empty save folder would let the run write into the program's working folder; the dated
// default folder takes its place, with the usual question before it is created.
TEST(StartPage, EmptyFolderFieldTakesTheDefaultFolder) {
  StartFixture f;
  f.Answer("http://a/");
  f.page->FolderField()->clear();
  const std::string folder = (f.home.Path() / "TrawlFiles" / Today()).string();
  EXPECT_EQ(f.Next(), QString::fromStdString("ディレクトリ「" + folder + "」が存在しません。\n作成してもいいですか？"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  EXPECT_EQ(Project().SaveDir, folder);
  EXPECT_TRUE(fs::is_directory(folder));
}

// "~/dl" is the home folder's, as in a shell; a Windows project's folder is shown as stored and
// refused until the user corrects it, and neither becomes a folder in the working folder.
TEST(StartPage, FoldersAsALinuxUserTypesThem) {
  test::TempDir dir;
  const std::string path = (dir / "win.tkp").string();
  test::WriteFile(path, "[SETTING]\r\nSaveDir=C:\\Web\\\r\n[URL]\r\nURL0=\"http://a/\"\r\n");
  StartFixture f(path);
  EXPECT_TRUE(f.page->FolderField()->text().startsWith(QStringLiteral("C:\\Web")));
  EXPECT_EQ(f.Next(), QStringLiteral("ファイル保存ディレクトリ作成失敗！"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
  EXPECT_EQ(f.sheet->focusWidget(), f.page->FolderField());
  EXPECT_FALSE(fs::exists("C:\\Web"));

  const std::string home = f.home.Path().string();
  f.page->FolderField()->setText(QStringLiteral("~/dl"));
  EXPECT_EQ(f.Next(), QString::fromStdString("ディレクトリ「" + home + "/dl」が存在しません。\n作成してもいいですか？"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  EXPECT_EQ(Project().SaveDir, home + "/dl");
  EXPECT_TRUE(fs::is_directory(home + "/dl"));
  EXPECT_FALSE(fs::exists("~"));
}

// The folder question keeps each of its lines whole, however long the folder's name: no line
// is broken inside a word.
TEST(StartPage, TheFolderQuestionBreaksOnlyBetweenItsLines) {
  StartFixture f;
  f.Answer("http://a/");
  const std::string folder = (f.home.Path() / std::string(12, 'x') / "ダウンロードしたファイル").string();
  f.page->FolderField()->setText(QString::fromStdString(folder));
  int lines = 0;
  bool whole = false;
  test::WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    auto* label = box ? box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")) : nullptr;
    if (label) {
      const QFontMetrics metrics = label->fontMetrics();
      whole = true;
      for (const QString& line : label->text().split(QLatin1Char('\n'))) {
        ++lines;
        whole = whole && label->contentsRect().width() >= metrics.horizontalAdvance(line);
      }
      whole = whole && label->contentsRect().height() < (lines + 1) * metrics.lineSpacing();
    }
    if (box) box->button(QMessageBox::Cancel)->click();
  });
  f.sheet->ButtonWidget(CTrawlSheet::Button::Next)->click();
  test::ProcessPosted();
  EXPECT_EQ(lines, 2);
  EXPECT_TRUE(whole);
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
}

TEST(StartPage, AFolderThatCannotBeCreatedIsReported) {
  StartFixture f;
  f.Answer("http://a/");
  test::WriteFile(f.home.Path() / "file", "");
  f.page->FolderField()->setText(QString::fromStdString((f.home.Path() / "file" / "sub").string()));
  test::SeenMessage failure;
  // The question first, then the failure.
  test::WhenModal([&failure](QWidget* modal) {
    static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    test::AnswerMessage(&failure);
  });
  f.sheet->ButtonWidget(CTrawlSheet::Button::Next)->click();
  test::ProcessPosted();
  EXPECT_EQ(failure.text, QStringLiteral("ファイル保存ディレクトリ作成失敗！"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
  EXPECT_EQ(f.sheet->focusWidget(), f.page->FolderField());
  EXPECT_TRUE(Project().StartUrls.empty());
}

TEST(StartPage, TheHttpsBoxTravelsWithTheProjectAndTrawlkitIniAndGatesDrops) {
  test::TempDir dir;
  const std::string path = (dir / "tls.tkp").string();
  test::WriteFile(path, "[SETTING]\nSaveDir=" + dir.Path().string() + "\nHttps=1\n[URL]\nURL0=\"https://s/\"\n");
  StartFixture f(path);
  QCheckBox* box = f.page->HttpsBox();
  EXPECT_TRUE(box->isChecked());
  EXPECT_FALSE(box->toolTip().isEmpty());
  auto drop = [&](const std::string& url) { return test::Drag(f.page->List()->viewport(), *test::Text(url)).dropAccepted; };
  EXPECT_TRUE(drop("https://dropped/"));
  box->click();
  EXPECT_FALSE(drop("https://refused/"));
  EXPECT_EQ(f.page->List()->count(), 2);

  // Next commits the box, and Trawlkit.ini remembers it for the next new project.
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_EQ(Project().Https, 0);
  EXPECT_EQ(IniReadInt(f.config.IniPath(), "REGISTER", "Https", -1), 0);
  f.sheet->SetActivePage(kStartPage);
  box->click();
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_EQ(Project().Https, 1);
  EXPECT_EQ(IniReadInt(f.config.IniPath(), "REGISTER", "Https", -1), 1);
  ASSERT_TRUE(SaveProject(path));
  EXPECT_NE(test::ReadFile(path).find("\nHttps=1\n"), std::string::npos);
  LoadProject("");
  EXPECT_EQ(Project().Https, 1);
  f.page->Refresh();
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(drop("https://new/"));
}

TEST(StartPage, OpeningAProjectReloadsBothPagesUnlessItIsTheCurrentOne) {
  test::TempDir dir;
  const std::string current = (dir / "cur.tkp").string(), other = (dir / "other.tkp").string();
  test::WriteFile(current, "[SETTING]\nSaveDir=/x\n[URL]\nURL0=\"http://cur/\"\n");
  test::WriteFile(other, "[SETTING]\nLink=3\nExcludeType=.gif\n[URL]\nURL0=\"http://other/\"\n");
  StartFixture f(current);
  auto* options = f.Page<CStep1Pg>(kOptionsPage);
  f.sheet->SetActivePage(kOptionsPage);  // the options page exists before the project opens
  f.sheet->SetActivePage(kStartPage);
  f.Answer("http://typed/");
  auto open = [&](const std::string& path) {
    f.page->SetProjectPrompt([path](QWidget*, std::string& out) {
      out = path;
      return true;
    });
    f.page->OnOpenProject();
  };
  open(current);  // the current project again: nothing changes
  EXPECT_EQ(f.page->List()->count(), 2);
  // File names are case-sensitive: other letters name another project, which opens.
  const std::string upper = (dir / "Cur.tkp").string();
  test::WriteFile(upper, "[URL]\nURL0=\"http://upper/\"\n");
  open(upper);
  EXPECT_EQ(Project().ProjectPath, upper);
  ASSERT_EQ(f.page->List()->count(), 1);
  EXPECT_EQ(f.page->List()->item(0)->text(), QStringLiteral("http://upper/"));

  open(other);
  EXPECT_EQ(Project().ProjectPath, other);
  EXPECT_EQ(f.sheet->windowTitle(), QStringLiteral("Trawlkit(other.tkp)スタート"));
  ASSERT_EQ(f.page->List()->count(), 1);
  EXPECT_EQ(f.page->List()->item(0)->text(), QStringLiteral("http://other/"));
  // The new project has no SaveDir, so the default rule ran again.
  EXPECT_EQ(Project().SaveDir, (f.home.Path() / "TrawlFiles" / Today()).string());
  EXPECT_EQ(options->LayersField()->text(), QStringLiteral("3"));
  EXPECT_EQ(options->Tree()->topLevelItemCount(), 1);
}

}  // namespace
}  // namespace tk

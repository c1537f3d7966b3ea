// Start-up as the program runs it: the command line, the intro preference in Trawlkit.ini, the
// histories and the project, and the real wizard pages on the sheet.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMessageBox>
#include <QTranslator>
#include <QPushButton>

#include <filesystem>

#include "app/qt_translations.h"
#include "app/trawl_app.h"
#include "pages/intro_pg.h"
#include "settings/history.h"
#include "settings/ini_file.h"
#include "settings/project.h"
#include "shell/trawl_sheet.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::ReadFile;
using test::WriteFile;

QStringList Args(std::initializer_list<std::string> args) {
  QStringList list{QStringLiteral("trawlkit")};
  for (const std::string& a : args) list << QString::fromStdString(a);
  return list;
}

std::string Cwd(const std::string& name) { return (std::filesystem::current_path() / name).string(); }

// Qt's standard buttons speak Japanese beside the program's own texts.
TEST(QtTranslations, StandardButtonsSpeakJapanese) {
  QTranslator* translator = InstallQtTranslations(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
  const QString cancel = box.button(QMessageBox::Cancel)->text(), yes = box.button(QMessageBox::Yes)->text();
  QCoreApplication::removeTranslator(translator);
  delete translator;
  EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
  EXPECT_TRUE(yes.startsWith(QStringLiteral("はい"))) << yes.toStdString();
}

TEST(ProjectArgument, FirstPlainArgumentAfterTheFlags) {
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({})), "");
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"-style", "-x"})), "");
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"/p", "/web/site.tkp"})), "/web/site.tkp");
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"/web/a.tkp", "/web/b.tkp"})), "/web/a.tkp");
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"-p", "/dde", "x.tkp", "y.tkp"})), Cwd("x.tkp"));
  // A relative name is taken against the folder the program was started in, once and for all.
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"readme.txt"})), Cwd("readme.txt"));
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"sub/site.tkp"})), Cwd("sub/site.tkp"));
}

TEST(ProjectArgument, SlashFlagsAndAbsolutePathsAreToldApart) {
  test::TempDir dir;
  // "/name" with no further "/" is a flag unless such a file exists.
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"/nonexistent-flag.tkp"})), "");
  const std::string existing = (dir / "there.tkp").string();
  WriteFile(existing, "");
  EXPECT_EQ(CTrawlApp::ProjectArgument(Args({"/p", existing})), existing);
}

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override { HideIntro() = 0; }
  void TearDown() override { LoadProject(""); }

  std::unique_ptr<CTrawlSheet> Start(QStringList args) {
    auto sheet = m_app.InitInstance(args);
    sheet->show();
    test::ProcessPosted();
    return sheet;
  }
  static void Click(CTrawlSheet& sheet, CTrawlSheet::Button b) {
    sheet.ButtonWidget(b)->click();
    test::ProcessPosted();
  }
  static QCheckBox* IntroBox(CTrawlSheet& sheet) {
    return static_cast<CIntroPg*>(sheet.Page(kIntroPage))->CheckBox();
  }

  test::ScopedConfigHome m_config;
  test::TempDir m_dir;
  CTrawlApp m_app;
};

TEST_F(StartUp, ProjectOnTheCommandLineIsLoadedAndNamedInTheCaption) {
  const std::string project = (m_dir / "site.TKP").string();
  WriteFile(project, "[SETTING]\nLink=3\n[URL]\nURL0=\"http://a/\"\n");
  std::filesystem::create_directories(m_config.IniPath().parent_path());
  WriteFile(m_config.IniPath(), "[TKPHIST]\nTKP0=\"/old/earlier.tkp\"\n");

  auto sheet = Start(Args({"/p", project}));
  EXPECT_EQ(Project().ProjectPath, project);
  EXPECT_EQ(Project().LinkLayers, 3);
  EXPECT_EQ(Project().StartUrls, std::vector<std::string>{"http://a/"});
  // The project joined the stored history rather than replacing it.
  EXPECT_EQ(ProjectHistory().Entries(), (std::vector<std::string>{project, "/old/earlier.tkp"}));
  EXPECT_EQ(IniReadKeyNames(m_config.IniPath(), "TKPHIST").size(), 2u);

  EXPECT_EQ(sheet->ActiveIndex(), kIntroPage);
  Click(*sheet, CTrawlSheet::Button::Next);
  EXPECT_EQ(sheet->ActiveIndex(), kStartPage);
  EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Trawlkit(site.TKP)スタート"));
}

TEST_F(StartUp, WithoutAProjectTheDefaultIsInForce) {
  for (const QStringList& args : {Args({}), Args({(m_dir / "readme.txt").string()}), Args({"-platform"})}) {
    Project().ProjectPath = "stale.tkp";
    auto sheet = Start(args);
    EXPECT_EQ(Project().ProjectPath, "無題.tkp") << args.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(Project().SameSiteOnly, 1);
  }
}

TEST_F(StartUp, OnlyTheFirstOfTwoProjectsIsLoaded) {
  const std::string a = (m_dir / "a.tkp").string(), b = (m_dir / "b.tkp").string();
  WriteFile(a, "[SETTING]\nLink=1\n");
  WriteFile(b, "[SETTING]\nLink=2\n");
  auto sheet = Start(Args({a, b}));
  EXPECT_EQ(Project().ProjectPath, a);
  EXPECT_EQ(Project().LinkLayers, 1);
  EXPECT_EQ(ProjectHistory().Entries(), std::vector<std::string>{a});
}

TEST_F(StartUp, APathSplitAtABlankLoadsNothing) {
  // "My Documents/a.tkp" unquoted reaches the program as two arguments; the first is no project.
  std::filesystem::create_directories(m_dir / "My Documents");
  WriteFile(m_dir / "My Documents" / "a.tkp", "[SETTING]\nLink=5\n");
  auto sheet = Start(Args({(m_dir / "My").string(), "Documents/a.tkp"}));
  EXPECT_EQ(Project().ProjectPath, "無題.tkp");
  EXPECT_EQ(Project().LinkLayers, 0);
}

TEST_F(StartUp, NoSettingsFileOpensOnTheIntroWithTheBoxClearAndWritesNothing) {
  auto sheet = Start(Args({}));
  EXPECT_EQ(sheet->ActiveIndex(), kIntroPage);
  EXPECT_FALSE(IntroBox(*sheet)->isChecked());
  EXPECT_FALSE(sheet->ButtonWidget(CTrawlSheet::Button::Back)->isEnabled());
  EXPECT_TRUE(sheet->ButtonWidget(CTrawlSheet::Button::Next)->isEnabled());
  EXPECT_FALSE(sheet->ButtonWidget(CTrawlSheet::Button::Finish)->isVisible());
  Click(*sheet, CTrawlSheet::Button::Cancel);
  EXPECT_FALSE(sheet->isVisible());
  sheet.reset();
  // Nothing is saved at exit.
  EXPECT_FALSE(std::filesystem::exists(m_config.IniPath()));
}

TEST_F(StartUp, HiddenIntroOpensOnTheStartPageAndBackStillReachesIt) {
  for (const char* stored : {"1", "7"}) {
    std::filesystem::create_directories(m_config.IniPath().parent_path());
    WriteFile(m_config.IniPath(), std::string("[REGISTER]\nIntro=") + stored + "\n");
    auto sheet = Start(Args({}));
    EXPECT_EQ(HideIntro(), 1) << stored;
    EXPECT_EQ(sheet->ActiveIndex(), kStartPage) << stored;
    EXPECT_FALSE(sheet->Page(kIntroPage)->IsCreated());
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Trawlkit(無題.tkp)スタート"));
    Click(*sheet, CTrawlSheet::Button::Back);
    EXPECT_EQ(sheet->ActiveIndex(), kIntroPage);
    EXPECT_TRUE(IntroBox(*sheet)->isChecked());
    // Reached with Back, the intro page still offers no Back.
    EXPECT_FALSE(sheet->ButtonWidget(CTrawlSheet::Button::Back)->isEnabled());
  }
}

TEST_F(StartUp, TheIntroBoxIsWrittenAtOnceAndDecidesTheNextStart) {
  auto sheet = Start(Args({}));
  QCheckBox* box = IntroBox(*sheet);
  box->click();
  EXPECT_EQ(HideIntro(), 1);
  EXPECT_EQ(ReadFile(m_config.IniPath()), "[REGISTER]\nIntro=1\n");
  EXPECT_EQ(sheet->ActiveIndex(), kIntroPage);  // no effect on the running sheet
  Click(*sheet, CTrawlSheet::Button::Cancel);
  sheet.reset();

  sheet = Start(Args({}));
  EXPECT_EQ(sheet->ActiveIndex(), kStartPage);
  Click(*sheet, CTrawlSheet::Button::Back);
  box = IntroBox(*sheet);
  ASSERT_TRUE(box->isChecked());
  box->click();
  EXPECT_EQ(HideIntro(), 0);
  EXPECT_EQ(IniReadString(m_config.IniPath(), "REGISTER", "Intro", "x"), "0");
  sheet.reset();

  sheet = Start(Args({}));
  EXPECT_EQ(sheet->ActiveIndex(), kIntroPage);
}

// Stops before the download page, whose activation starts a run.
TEST_F(StartUp, TheWizardRunsFromIntroToTheOptionsPageWithEachPagesCaption) {
  const std::string project = (m_dir / "job.tkp").string();
  WriteFile(project, "[SETTING]\nSaveDir=" + m_dir.Path().string() + "\n[URL]\nURL0=\"http://a/\"\n");
  auto sheet = Start(Args({project}));
  const QString expected[] = {QStringLiteral("Trawlkit(job.tkp)スタート"),
                              QStringLiteral("Trawlkit(job.tkp)オプション")};
  EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Trawlkit"));  // the intro page sets none
  for (const QString& caption : expected) {
    Click(*sheet, CTrawlSheet::Button::Next);
    EXPECT_EQ(sheet->windowTitle(), caption);
  }
  EXPECT_EQ(sheet->ActiveIndex(), kOptionsPage);
  EXPECT_EQ(Project().StartUrls, std::vector<std::string>{"http://a/"});
}

}  // namespace
}  // namespace tk

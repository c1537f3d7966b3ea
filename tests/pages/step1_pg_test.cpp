// The options page and its file-type tree in the real wizard.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "pages/add_type_dlg.h"
#include "pages/file_type_tree.h"
#include "pages/step1_pg.h"
#include "resources/control_ids.h"
#include "settings/app_ini.h"
#include "settings/ini_file.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

struct OptionsFixture : test::WizardFixture {
  CStep1Pg* page;
  CFileTypeTree* tree;
  explicit OptionsFixture(const std::string& project = "", const char* fileTypes = nullptr)
      : WizardFixture(kIntroPage, project) {
    if (fileTypes) {
      std::filesystem::create_directories(config.IniPath().parent_path());
      test::WriteFile(config.IniPath(), fileTypes);
    }
    // Next leads to the download page, whose run writes its log into the save folder.
    if (Project().SaveDir.empty()) Project().SaveDir = home.Path().string();
    sheet->SetActivePage(kOptionsPage);
    test::ProcessPosted();
    page = Page<CStep1Pg>(kOptionsPage);
    tree = page->Tree();
  }
  QTreeWidgetItem* Category(const char* name) const {
    for (int i = 0; i < tree->Root()->childCount(); ++i)
      if (tree->Root()->child(i)->text(0) == QString::fromUtf8(name)) return tree->Root()->child(i);
    return nullptr;
  }
};

constexpr const char* kTypes = "[FILETYPE]\nImages=.GIF.jpg\nBad=gif.jpg2\nExe=.exe.com\nAudio=.mp3\n";

TEST(OptionsPage, LayerCountMustStayWithinZeroToTen) {
  OptionsFixture f;
  const QString message = QStringLiteral("リンク層数を「10」以内にしてください！");
  f.page->Radio(res::kOptionsLayers)->click();
  for (const char* bad : {"11", "-1"}) {
    f.page->LayersField()->setText(QString::fromLatin1(bad));
    EXPECT_EQ(f.Next(), message) << bad;
    EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  }
  f.page->LayersField()->setText(QStringLiteral(" 10 layers"));  // read as "%d" reads it
  f.page->Check(res::kOptionsCache)->setChecked(false);
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_EQ(Project().LinkLayers, 10);
  EXPECT_EQ(Project().UseCache, 0);
  EXPECT_EQ(f.sheet->ActiveIndex(), kDownloadPage);
}

TEST(OptionsPage, AnUnreadableFieldKeepsTheLayersAndStartOnlyMeansZero) {
  OptionsFixture f;
  Project().LinkLayers = 4;
  f.page->Radio(res::kOptionsLayers)->click();
  f.page->LayersField()->clear();
  f.sheet->SetWizardButtons(kWizNext);
  EXPECT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().LinkLayers, 4);
  f.page->Radio(res::kOptionsStartOnly)->click();
  EXPECT_EQ(f.page->LayersField()->text(), QStringLiteral("0"));
  EXPECT_FALSE(f.page->LayersField()->isEnabled());
  EXPECT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().LinkLayers, 0);
}

TEST(OptionsPage, RefreshShowsTheProjectsOptions) {
  test::TempDir dir;
  const std::string project = (dir / "p.tkp").string();
  test::WriteFile(project, "[SETTING]\nLink=3\nPage=0\nSave=0\nCashe=0\nConfirm=1\n");
  OptionsFixture f(project);
  EXPECT_TRUE(f.page->Radio(res::kOptionsLayers)->isChecked());
  EXPECT_FALSE(f.page->Radio(res::kOptionsStartOnly)->isChecked());
  EXPECT_EQ(f.page->LayersField()->text(), QStringLiteral("3"));
  EXPECT_TRUE(f.page->LayersField()->isEnabled());
  EXPECT_TRUE(f.page->Radio(res::kOptionsAllSites)->isChecked());
  EXPECT_TRUE(f.page->Radio(res::kOptionsServerDirs)->isChecked());
  EXPECT_FALSE(f.page->Check(res::kOptionsCache)->isChecked());
  EXPECT_TRUE(f.page->Check(res::kOptionsConfirm)->isChecked());
  EXPECT_EQ(f.sheet->windowTitle(), QStringLiteral("Trawlkit(p.tkp)オプション"));
}

TEST(OptionsPage, SavingFirstNeedsATkpNameAndStartsInTheSaveFolder) {
  OptionsFixture f;
  Project().SaveDir = (f.home.Path() / "dl").string() + "/";
  f.page->Check(res::kOptionsSaveFirst)->setChecked(true);
  std::string folder, name, answer = (f.home.Path() / "site.txt").string();
  f.page->SetSavePrompt([&](QWidget*, const std::string& d, const std::string& n, std::string& path) {
    folder = d;
    name = n;
    path = answer;
    return !answer.empty();
  });
  EXPECT_EQ(f.Next(), QStringLiteral("プロジェクトファイルではありません！"));
  EXPECT_EQ(folder, (f.home.Path() / "dl").string());
  EXPECT_EQ(name, "無題.tkp");
  EXPECT_FALSE(std::filesystem::exists(answer));
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);

  answer = (f.home.Path() / "folder.tkp").string();  // a project that cannot be written: stays
  std::filesystem::create_directory(answer);
  EXPECT_EQ(f.Next(), QString::fromStdString("プロジェクトファイル「" + answer + "」を保存できません！"));
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);

  answer.clear();  // cancelled: stays without a word
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);

  answer = (f.home.Path() / "site.TKP").string();
  EXPECT_TRUE(f.Next().isEmpty());
  EXPECT_TRUE(std::filesystem::exists(answer));
  EXPECT_EQ(f.sheet->ActiveIndex(), kDownloadPage);
}

TEST(FileTypeTree, FillsCategoriesWithMarksFromTheExcludedTypes) {
  test::TempDir dir;
  const std::string project = (dir / "p.tkp").string();
  test::WriteFile(project, "[SETTING]\nExcludeType=.exe.gif\n");
  OptionsFixture f(project, kTypes);
  ASSERT_EQ(f.tree->topLevelItemCount(), 1);
  EXPECT_EQ(f.tree->Root()->text(0), QStringLiteral("除外ファイルタイプ"));
  ASSERT_EQ(f.tree->Root()->childCount(), 4);
  QTreeWidgetItem* bad = f.Category("Bad");
  ASSERT_EQ(bad->childCount(), 1);  // text before the first "." is no extension
  EXPECT_EQ(bad->child(0)->text(0), QStringLiteral(".jpg2"));
  QTreeWidgetItem* exe = f.Category("Exe");
  EXPECT_EQ(CFileTypeTree::Mark(exe), kMarkPartial);
  EXPECT_EQ(CFileTypeTree::Mark(exe->child(0)), kMarkExcluded);
  EXPECT_EQ(CFileTypeTree::Mark(exe->child(1)), kMarkNone);
  EXPECT_EQ(CFileTypeTree::Mark(f.Category("Images")->child(0)), kMarkExcluded);  // .GIF
  EXPECT_EQ(CFileTypeTree::Mark(f.tree->Root()), kMarkPartial);
  f.tree->FillTypeTree();
  EXPECT_EQ(f.tree->topLevelItemCount(), 1);
}

// The built-in categories, the root expanded as the page opens it, fit the tree: the last row
// ("Other") shows whole.
TEST(FileTypeTree, EveryRowOfTheBuiltInCategoriesShowsWhole) {
  OptionsFixture f;
  QTreeWidgetItem* root = f.tree->Root();
  ASSERT_EQ(root->childCount(), 10);
  QTreeWidgetItem* last = root->child(9);
  EXPECT_EQ(last->text(0), QStringLiteral("Other"));
  EXPECT_EQ(f.tree->visualItemRect(root).top(), 0);
  EXPECT_LE(f.tree->visualItemRect(last).bottom(), f.tree->viewport()->height() - 1);
}

TEST(FileTypeTree, TogglingMarksWholeBranchesAndNextCollectsThem) {
  OptionsFixture f("", kTypes);
  QTreeWidgetItem* images = f.Category("Images");
  f.tree->ToggleMark(images->child(0));
  EXPECT_EQ(CFileTypeTree::Mark(images), kMarkPartial);
  f.tree->ToggleMark(images);  // partial clears everything below
  EXPECT_EQ(CFileTypeTree::Mark(images->child(0)), kMarkNone);
  f.tree->ToggleMark(images);
  EXPECT_EQ(CFileTypeTree::Mark(images->child(1)), kMarkExcluded);
  EXPECT_EQ(CFileTypeTree::Mark(images), kMarkExcluded);
  f.tree->ToggleMark(f.Category("Audio"));
  EXPECT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().ExcludeType, ".gif.jpg.mp3");
}

TEST(FileTypeTree, AClickOnThePictureTogglesAndOneOnTheLabelOnlySelects) {
  OptionsFixture f("", kTypes);
  QTreeWidgetItem* audio = f.Category("Audio");
  const QRect cell = f.tree->visualItemRect(audio);
  auto press = [&](int x) {
    const QPointF at(cell.left() + x, cell.center().y());
    QMouseEvent event(QEvent::MouseButtonPress, at, f.tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.tree->viewport(), &event);
    QMouseEvent release(QEvent::MouseButtonRelease, at, f.tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.tree->viewport(), &release);
  };
  press(cell.width() - 4);  // on the label
  EXPECT_EQ(f.tree->currentItem(), audio);
  EXPECT_EQ(CFileTypeTree::Mark(audio), kMarkNone);
  press(5);  // on the picture
  EXPECT_EQ(CFileTypeTree::Mark(audio), kMarkExcluded);
  EXPECT_EQ(CFileTypeTree::Mark(audio->child(0)), kMarkExcluded);
  EXPECT_FALSE(audio->isExpanded());  // the click did nothing else
}

TEST(FileTypeTree, AddTypeJoinsAnExistingCategoryIgnoringCaseAndIsWritten) {
  OptionsFixture f("", kTypes);
  auto add = [&](const char* category, const char* ext) {
    f.tree->SetAddPrompt([=](CFileTypeTree*, std::string& c, std::string& e) {
      c = category;
      e = ext;
      return true;
    });
    f.tree->AddType();
  };
  add("AUDIO", "ogg");
  QTreeWidgetItem* audio = f.Category("Audio");
  ASSERT_EQ(audio->childCount(), 2);
  EXPECT_EQ(audio->child(1)->text(0), QStringLiteral(".ogg"));
  EXPECT_EQ(f.tree->currentItem(), audio->child(1));
  add("動画", "mkv");
  EXPECT_EQ(f.tree->Root()->child(4)->text(0), QStringLiteral("動画"));
  EXPECT_EQ(IniReadString(AppIniPath(), "FILETYPE", "Audio", ""), ".mp3.ogg");
  EXPECT_EQ(IniReadString(AppIniPath(), "FILETYPE", "動画", ""), ".mkv");
  EXPECT_EQ(IniReadKeyNames(AppIniPath(), "FILETYPE").size(), 5u);
}

TEST(FileTypeTree, DeleteAsksAndRemovesTheCategoryFromTheFile) {
  OptionsFixture f("", kTypes);
  f.tree->setCurrentItem(f.Category("Images"));
  test::SeenMessage seen;
  test::AnswerMessage(&seen, QMessageBox::Cancel);
  f.tree->DeleteType();
  EXPECT_EQ(seen.text, QStringLiteral("「Images」と全ての拡張子を削除しますか？"));
  EXPECT_EQ(seen.caption, QStringLiteral("削除の確認"));
  EXPECT_NE(f.Category("Images"), nullptr);

  test::AnswerMessage(&seen, QMessageBox::Ok);
  f.tree->DeleteType();
  EXPECT_EQ(f.Category("Images"), nullptr);
  EXPECT_EQ(IniReadString(AppIniPath(), "FILETYPE", "Images", "gone"), "gone");

  f.tree->setCurrentItem(f.Category("Exe")->child(1));
  test::AnswerMessage(&seen, QMessageBox::Ok);
  f.tree->DeleteType();
  EXPECT_EQ(seen.text, QStringLiteral("「.com」を削除しますか？"));
  EXPECT_EQ(IniReadString(AppIniPath(), "FILETYPE", "Exe", ""), ".exe");

  f.tree->setCurrentItem(f.tree->Root());
  f.tree->DeleteType();  // no question, nothing deleted
  EXPECT_EQ(f.tree->topLevelItemCount(), 1);
  std::unique_ptr<QMenu> rootMenu(f.tree->BuildContextMenu(f.tree->Root()));
  EXPECT_FALSE(rootMenu->actions().at(1)->isEnabled());
  std::unique_ptr<QMenu> menu(f.tree->BuildContextMenu(f.Category("Exe")));
  EXPECT_TRUE(menu->actions().at(1)->isEnabled());
}

TEST(AddTypeDialog, ChecksInOrderAndPresetsTheSelectedCategory) {
  OptionsFixture f("", kTypes);
  f.tree->setCurrentItem(f.Category("Exe")->child(0));
  CAddTypeDlg dialog(f.tree);
  EXPECT_EQ(dialog.CategoryCombo()->currentText(), QStringLiteral("Exe"));
  EXPECT_EQ(dialog.CategoryCombo()->count(), 4);
  dialog.show();
  auto ok = [&](const char* category, const char* ext) {
    dialog.CategoryCombo()->setEditText(QString::fromUtf8(category));
    dialog.ExtensionEdit()->setText(QString::fromUtf8(ext));
    test::SeenMessage seen;
    test::AnswerMessage(&seen);
    dialog.accept();
    return seen.text;
  };
  // Each refusal leaves the focus on the field at fault, wherever it was before.
  QWidget* combo = dialog.CategoryCombo();
  QWidget* edit = dialog.ExtensionEdit();
  struct Row {
    const char *category, *ext, *message;
    QWidget* atFault;
  } rows[] = {
      {"", "", "分類を入力してください！", combo},
      {"a", "", "拡張子を入力してください！", edit},
      {"a?", "txt.", "分類に「;,'\\\"?」使用禁止！", combo},
      {"a", "txt.", "拡張子に「<>*\\/.;,'\"?」使用禁止！", edit},
      {"a=b", "x", "分類に「=[]」使用禁止！", combo},
      {"Images", "gif", "拡張子が既に使われています！", edit},
  };
  for (const Row& r : rows) {
    (r.atFault == combo ? edit : combo)->setFocus();
    EXPECT_EQ(ok(r.category, r.ext), QString::fromUtf8(r.message));
    QWidget* focus = dialog.focusWidget();
    EXPECT_TRUE(focus && (focus == r.atFault || r.atFault->isAncestorOf(focus))) << r.message;
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(ok("画像", "webp").isEmpty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Category(), "画像");
  EXPECT_EQ(dialog.Extension(), "webp");
}

}  // namespace
}  // namespace tk

// The URL input dialog and the project input dialog, answered through their real buttons.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include <filesystem>

#include "pages/project_drop_combo.h"
#include "pages/project_input_dlg.h"
#include "pages/url_drop_combo.h"
#include "pages/url_input_dlg.h"
#include "resources/control_ids.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

QPushButton* Button(QDialog& dialog, int id) {
  return dialog.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
}

struct UrlDialog : ::testing::Test {
  test::ScopedConfigHome config;
  void SetUp() override { LoadHistories(); }
};

TEST_F(UrlDialog, OffersTheHistoryAndReturnsAChosenEntry) {
  {
    CUrlInputDlg empty;
    EXPECT_EQ(empty.Combo()->count(), 0);
  }
  AddUrlHistory("http://old/");
  AddUrlHistory("ftp://new/");
  CUrlInputDlg dialog;
  ASSERT_EQ(dialog.Combo()->count(), 2);
  EXPECT_EQ(dialog.Combo()->itemText(0), QStringLiteral("ftp://new/"));
  EXPECT_TRUE(dialog.Combo()->currentText().isEmpty());
  dialog.show();
  dialog.Combo()->setCurrentIndex(1);
  Button(dialog, res::kIdOk)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Url(), "http://old/");
  EXPECT_EQ(UrlHistory().Entries().size(), 2u);  // the dialog records nothing itself
}

TEST_F(UrlDialog, RefusesAnythingButHttpAndFtp) {
  for (const char* text : {"https://a/", "mailto:a@b", "www.example.com", ""}) {
    CUrlInputDlg dialog;
    dialog.show();
    dialog.Combo()->setEditText(QString::fromLatin1(text));
    Button(dialog, res::kIdOk)->setFocus();
    test::SeenMessage seen;
    test::AnswerMessage(&seen);
    Button(dialog, res::kIdOk)->click();
    EXPECT_TRUE(seen.shown) << text;
    // The focus goes back to the combo at fault.
    QWidget* focus = dialog.focusWidget();
    EXPECT_TRUE(focus && (focus == dialog.Combo() || dialog.Combo()->isAncestorOf(focus))) << text;
    EXPECT_EQ(seen.caption, QStringLiteral("入力エラー"));
    EXPECT_EQ(seen.text, QStringLiteral("有効なURL(HTTP/FTP)ファイルを入力してください！"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(dialog.isVisible()) << text;
  }
  CUrlInputDlg dialog;
  dialog.show();
  dialog.Combo()->setEditText(QStringLiteral("ftp://a/pub/x.zip"));
  Button(dialog, res::kIdOk)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  // Opened while the start page's HTTPS box is ticked, it takes https too, and only that.
  CUrlInputDlg https(nullptr, true);
  https.show();
  https.Combo()->setEditText(QStringLiteral("https://a/"));
  Button(https, res::kIdOk)->click();
  EXPECT_EQ(https.result(), QDialog::Accepted);
  EXPECT_EQ(https.Url(), "https://a/");
  CUrlInputDlg mail(nullptr, true);
  mail.show();
  mail.Combo()->setEditText(QStringLiteral("mailto:a@b"));
  test::SeenMessage seen;
  test::AnswerMessage(&seen);
  Button(mail, res::kIdOk)->click();
  EXPECT_EQ(seen.text, QStringLiteral("有効なURL(HTTP/FTP)ファイルを入力してください！"));
  EXPECT_TRUE(mail.isVisible());
}

TEST_F(UrlDialog, CancelClosesWithoutAnyCheck) {
  CUrlInputDlg dialog;
  dialog.show();
  dialog.Combo()->setEditText(QStringLiteral("not a url"));
  Button(dialog, res::kIdCancel)->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
}

struct ProjectDialog : ::testing::Test {
  test::ScopedConfigHome config;
  test::TempDir dir;
  CProjectInputDlg dialog;

  void SetUp() override { dialog.show(); }
  // OK with `text`; true when a message was shown.
  bool Ok(const std::string& text, QString* message = nullptr) {
    dialog.Combo()->setEditText(QString::fromStdString(text));
    test::SeenMessage seen;
    if (message) test::AnswerMessage(&seen);
    Button(dialog, res::kIdOk)->click();
    if (message) *message = seen.text;
    return seen.shown;
  }
};

TEST_F(ProjectDialog, NamesWithoutTheTkpExtensionAreRefusedWithAMessage) {
  QString message;
  EXPECT_TRUE(Ok("", &message));
  EXPECT_EQ(message, QStringLiteral("プロジェクトファイルではありません！"));
  EXPECT_TRUE(Ok((dir / "readme.txt").string(), &message));
  EXPECT_TRUE(Ok((dir / "tkp").string(), &message));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ProjectDialog, AnExistingFileClosesWithItsFullPath) {
  const std::string site = (dir / "SITE.TKP").string();
  test::WriteFile(site, "");
  Ok(site);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Path(), site);
}

TEST_F(ProjectDialog, MissingFilesAndFoldersKeepTheDialogOpenSilently) {
  std::filesystem::create_directories(dir / "old.tkp");
  EXPECT_FALSE(Ok((dir / "old.tkp").string()));
  EXPECT_FALSE(Ok((dir / "missing.tkp").string()));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(ProjectDialog, RelativeNamesAndWildcardsFindTheFile) {
  // The tests run in their build folder; a relative name is found there.
  const std::string name = "project-dialog-relative.tkp";
  test::WriteFile(name, "");
  Ok(name);
  std::filesystem::remove(name);
  EXPECT_EQ(dialog.Path(), (std::filesystem::current_path() / name).string());

  test::WriteFile(dir / "b.tkp", "");
  test::WriteFile(dir / "a.tkp", "");
  EXPECT_EQ(FindFirstEntry((dir / "*.tkp").string())->path, (dir / "a.tkp").string());
  EXPECT_FALSE(FindFirstEntry((dir / "*.none").string()).has_value());
}

TEST_F(ProjectDialog, BrowsingKeepsTheComboUnlessATkpIsChosen) {
  dialog.Combo()->setEditText(QStringLiteral("typed.tkp"));
  dialog.SetOpenFileFunction([](QWidget*) { return QStringLiteral("/d/x.txt"); });
  test::SeenMessage seen;
  test::AnswerMessage(&seen);
  dialog.Browse();
  EXPECT_EQ(seen.text, QStringLiteral("プロジェクトファイルではありません！"));
  EXPECT_EQ(dialog.Combo()->currentText(), QStringLiteral("typed.tkp"));

  dialog.SetOpenFileFunction([](QWidget*) { return QString(); });  // cancelled
  dialog.Browse();
  EXPECT_EQ(dialog.Combo()->currentText(), QStringLiteral("typed.tkp"));

  dialog.SetOpenFileFunction([](QWidget*) { return QStringLiteral("/d/y.TKP"); });
  dialog.Browse();
  EXPECT_EQ(dialog.Combo()->currentText(), QStringLiteral("/d/y.TKP"));
  EXPECT_TRUE(dialog.isVisible());  // the path becomes the result only through OK
}

TEST_F(ProjectDialog, OffersTheProjectHistoryMostRecentFirst) {
  LoadHistories();
  AddProjectHistory("/p/one.tkp");
  AddProjectHistory("/p/two.tkp");
  CProjectInputDlg fresh;
  ASSERT_EQ(fresh.Combo()->count(), 2);
  EXPECT_EQ(fresh.Combo()->itemText(0), QStringLiteral("/p/two.tkp"));
  EXPECT_TRUE(fresh.Combo()->currentText().isEmpty());
}

}  // namespace
}  // namespace tk

#pragma once
// A wizard sheet whose download page is the real one, over plain stand-ins for the other pages,
// with a save folder, a fresh cache and a local HTTP server of static files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <memory>

#include "monitor/step2_page.h"
#include "monitor_test_util.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "settings/project.h"
#include "shell/plain_page.h"
#include "shell/trawl_sheet.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {

class PageFixture : public ::testing::Test {
 protected:
  using B = CTrawlSheet::Button;

  PageFixture() {
    Project() = ProjectSettings{};
    Project().SaveDir = save.Path().string();
    Project().UseCache = 0;
  }
  ~PageFixture() override {
    sheet.reset();
    Project() = ProjectSettings{};
  }

  // A static file of the test site, and its URL.
  std::string SiteFile(const std::string& name, const std::string& content) {
    WriteFile(site / name, content);
    return Url("/" + name);
  }
  std::string Url(const std::string& path) {
    if (!server) server = HttpTestServer::Start(site.Path());
    return server->Url(path);
  }

  void MakeSheet() {
    SheetPages pages;
    pages[kIntroPage] = std::make_unique<CPlainPage>(res::kDlgIntro, 0, kWizNext);
    pages[kStartPage] = std::make_unique<CPlainPage>(res::kDlgStart, res::kIdsStartWord, kWizBack | kWizNext);
    pages[kOptionsPage] = std::make_unique<CPlainPage>(res::kDlgOptions, res::kIdsOptionsWord, kWizBack | kWizNext);
    auto download = std::make_unique<CStep2Pg>();
    page = download.get();
    pages[kDownloadPage] = std::move(download);
    sheet = std::make_unique<CTrawlSheet>(std::move(pages), kStartPage);
    sheet->show();
    ProcessPosted();
  }
  // Through the options page, as the wizard goes, onto the download page: the run starts.
  void Enter() {
    if (!sheet) MakeSheet();
    sheet->SetActivePage(kOptionsPage);
    ProcessPosted();
    sheet->SetActivePage(kDownloadPage);
    ProcessPosted();
  }
  // The worker has ended and the page has shown it.
  bool WaitForEnd() {
    return PumpUntil([this] { return !page->IsRunning() && sheet->WizardButtonState() == kWizFinish; });
  }
  void RunToEnd() {
    Enter();
    ASSERT_TRUE(WaitForEnd());
  }

  QString Text(int id) const { return page->Get<QLabel>(id)->text(); }
  QString LogBox() const { return page->Get<QPlainTextEdit>(1000)->toPlainText(); }
  std::string RunLog() const { return ReadFile(save / "Trawlkit.txt"); }
  QCheckBox* SaveBox() const { return page->Get<QCheckBox>(CStep2Pg::kSaveProjectBox); }
  QPushButton* Button(B which) const { return sheet->ButtonWidget(which); }

  ScopedConfigHome config;
  ScopedCacheHome cache;
  TempDir save;
  TempDir site;
  std::unique_ptr<HttpTestServer> server;
  std::unique_ptr<CTrawlSheet> sheet;
  CStep2Pg* page = nullptr;
};

// Modal answers used across the page tests.
inline ModalAnswers::Answer MessageBoxAnswer(const QString& text, QMessageBox::StandardButton button,
                                             QString* caption = nullptr) {
  return [=](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->text().startsWith(text) || !box->button(button)) return false;
    if (caption) *caption = box->windowTitle();
    box->button(button)->click();
    return true;
  };
}

// Picks `path` in the save dialog; an empty path cancels it.
inline ModalAnswers::Answer SaveDialogAnswer(const std::string& path) {
  return [=](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return false;
    if (path.empty()) {
      dialog->reject();
    } else {
      dialog->selectFile(QString::fromStdString(path));
      static_cast<QDialog*>(dialog)->accept();  // public in QDialog, the file dialog's own check runs
    }
    return true;
  };
}

}  // namespace tk::test

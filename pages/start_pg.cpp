#include "pages/start_pg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <ctime>
#include <filesystem>
#include <vector>

#include "base/home_folder.h"
#include "base/text.h"
#include "engine/default_save_dir.h"
#include "engine/local_names.h"
#include "engine/save_folder.h"
#include "pages/delete_button.h"
#include "pages/project_input_dlg.h"
#include "pages/step1_pg.h"
#include "pages/url_input_dlg.h"
#include "pages/url_list_box.h"
#include "pages/url_service.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/history.h"
#include "settings/project.h"
#include "settings/url_list_file.h"
#include "shell/message_box.h"
#include "shell/trawl_sheet.h"

namespace tk {
namespace {

bool AskUrl(QWidget* owner, bool https, std::string& url) {
  CUrlInputDlg dialog(owner, https);
  if (dialog.exec() != QDialog::Accepted) return false;
  url = dialog.Url();
  return true;
}

bool AskProject(QWidget* owner, std::string& path) {
  CProjectInputDlg dialog(owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  path = dialog.Path();
  return true;
}

bool AskFolder(QWidget* owner, std::string& folder) {
  const QString chosen = QFileDialog::getExistingDirectory(owner, QStringLiteral("ファイル保存ディレクトリ"),
                                                           QString(), QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return false;
  folder = chosen.toStdString();
  return true;
}

bool AskUrlFile(QWidget* owner, std::string& path) {
  const QString chosen =
      QFileDialog::getOpenFileName(owner, QString(), QString(), FromUtf8(res::kTextUrlFileFilter));
  if (chosen.isEmpty()) return false;
  path = chosen.toStdString();
  return true;
}

// The refused lines, one a line: the first ten, each cut to a length a message box shows whole,
// then how many more there were.
std::string RefusedLinesText(const std::vector<std::string>& lines) {
  constexpr size_t kShown = 10, kWidth = 80;
  std::string text;
  for (size_t i = 0; i < lines.size() && i < kShown; ++i) {
    std::string line = lines[i];
    if (line.size() > kWidth) {
      size_t cut = kWidth;
      while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // whole characters
      line = line.substr(0, cut) + "…";
    }
    if (!text.empty()) text += '\n';
    text += line;
  }
  if (lines.size() > kShown) text += "\nほか" + std::to_string(lines.size() - kShown) + "行";
  return text;
}

}  // namespace

bool SaveFolderExists(const std::string& path) {
  // Taken literally: "*" and "?" are ordinary characters in folder names here. A trailing "/"
  // finds nothing, so such a path always gets the creation question, which then succeeds.
  if (path.empty() || path.back() == '/') return false;
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(path), ec);
}

CStartPg::CStartPg()
    : CWizardPage(res::kDlgStart),
      // The box as it stands now, not as the project had it: it may be ticked just for this URL.
      m_urlPrompt([this](QWidget* owner, std::string& url) { return AskUrl(owner, HttpsBox()->isChecked(), url); }),
      m_projectPrompt(AskProject),
      m_folderPrompt(AskFolder),
      m_urlFilePrompt(AskUrlFile) {}

res::ControlFactory CStartPg::Factory() {
  return [](const res::ControlRow& row, QWidget* host) -> QWidget* {
    if (row.id == res::kStartUrlList) return new CUrlListBox(host);
    if (row.id == res::kStartDelete) return new CDeleteButton(host);
    return nullptr;
  };
}

CUrlListBox* CStartPg::List() const { return Get<CUrlListBox>(res::kStartUrlList); }
CDeleteButton* CStartPg::DeleteButton() const { return Get<CDeleteButton>(res::kStartDelete); }
QLineEdit* CStartPg::FolderField() const { return Get<QLineEdit>(res::kStartSaveDir); }
QCheckBox* CStartPg::HttpsBox() const { return Get<QCheckBox>(res::kStartHttps); }

QListWidget* CStartPg::UrlList(const QWidget* page) {
  return page ? qobject_cast<QListWidget*>(res::FindControlWidget(page, res::kStartUrlList)) : nullptr;
}

void CStartPg::OnCreate() {
  LoadHistories();
  List()->RegisterDropTarget();
  DeleteButton()->RegisterDropTarget();
  Refresh();
  // Tooltips by control id from the string table, shown whole.
  Get<QPushButton>(res::kStartAdd)->setToolTip(FromUtf8(res::LoadString(106)));
  DeleteButton()->setToolTip(FromUtf8(res::LoadString(107)));
  Get<QPushButton>(res::kStartOpenProject)->setToolTip(FromUtf8(res::LoadString(108)));
  HttpsBox()->setToolTip(FromUtf8(res::LoadString(res::kIdsHttpsTip)));
  Get<QPushButton>(res::kStartAddFromFile)->setToolTip(FromUtf8(res::LoadString(res::kIdsAddFromFileTip)));
  // The list takes dropped https links, and its Insert key's dialog typed ones, while it is ticked.
  connect(HttpsBox(), &QCheckBox::toggled, List(), &CUrlListBox::SetHttps);
  connect(Get<QPushButton>(res::kStartAdd), &QPushButton::clicked, this, &CStartPg::OnAdd);
  connect(DeleteButton(), &QPushButton::clicked, this, &CStartPg::OnDelete);
  connect(Get<QPushButton>(res::kStartOpenProject), &QPushButton::clicked, this, &CStartPg::OnOpenProject);
  connect(Get<QPushButton>(res::kStartBrowse), &QPushButton::clicked, this, &CStartPg::OnBrowse);
  connect(Get<QPushButton>(res::kStartAddFromFile), &QPushButton::clicked, this, &CStartPg::OnAddFromFile);
}

std::string CStartPg::TodaysDefaultSaveDir() const {
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  return DefaultSaveDir(HomeFolder(), today);
}

void CStartPg::SetCaption() {
  Sheet()->SetCaption(FromUtf8(MakeCaption(res::LoadString(res::kIdsStartWord))));
}

void CStartPg::OnSetActive() {
  Sheet()->SetWizardButtons(kWizBack | kWizNext);
  SetCaption();
  DeleteButton()->ResetAnimation();
}

void CStartPg::Refresh() {
  CUrlListBox* list = List();
  list->clear();
  for (const std::string& url : Project().StartUrls) res::InsertSorted(list, FromUtf8(url));
  list->UpdateHorizontalExtent();
  HttpsBox()->setChecked(Project().Https != 0);
  list->SetHttps(Project().Https != 0);
  if (Project().SaveDir.empty()) Project().SaveDir = TodaysDefaultSaveDir();
  FolderField()->setText(FromUtf8(Project().SaveDir));
}

void CStartPg::OnAdd() {
  std::string url;
  if (!m_urlPrompt(this, url)) return;
  if (!List()->Contains(url)) List()->AddUrl(url);
}

void CStartPg::OnAddFromFile() {
  std::string path;
  if (!m_urlFilePrompt(this, path)) return;
  std::string error;  // the English reason is the CLI's; the user here gets the file's name
  const auto lines = ReadUrlListFile(path, error);
  if (!lines || lines->empty()) {
    ShowInputError(this, res::FillIn(lines ? res::kTextUrlFileNoUrl : res::kTextUrlFileUnreadable, path));
    return;
  }
  // The test of the URL input dialog, with the HTTPS box as it stands now.
  const bool https = HttpsBox()->isChecked();
  std::vector<std::string> refused;
  for (const std::string& url : *lines) {
    if (GetUrlService(url, https) == UrlService::None)
      refused.push_back(url);
    else if (!List()->Contains(url))
      List()->AddUrl(url);
  }
  if (!refused.empty()) ShowInputError(this, res::FillIn(res::kTextUrlFileBadLines, RefusedLinesText(refused)));
}

void CStartPg::OnDelete() { List()->DeleteSelectedUrls(); }

void CStartPg::OnBrowse() {
  std::string folder;
  if (m_folderPrompt(this, folder)) FolderField()->setText(FromUtf8(folder));
}

void CStartPg::OnOpenProject() {
  std::string path;
  if (!m_projectPrompt(this, path)) return;
  // File names are case-sensitive here: "Site.tkp" is another project than "site.tkp".
  if (path == Project().ProjectPath) return;
  LoadProject(path);
  SetCaption();
  Refresh();
  if (auto* options = qobject_cast<CStep1Pg*>(Sheet()->Page(kOptionsPage))) options->Refresh();
}

int CStartPg::OnWizardNext() {
  CUrlListBox* list = List();
  if (list->count() == 0) {
    ShowInputError(this, res::kTextAddStartUrl);
    Get<QPushButton>(res::kStartAdd)->setFocus();
    return kStay;
  }
  // An empty field would send the whole run into whatever folder the program was started from;
  // the dated default folder is what the user gets on a fresh page, so it stands in here too.
  if (FolderField()->text().isEmpty()) FolderField()->setText(FromUtf8(TodaysDefaultSaveDir()));
  // "~/dl" is the home folder's, and a relative folder is made whole, before it is stored or
  // created; a Windows project's folder stays in the field for the user to correct.
  std::error_code ec;
  const auto resolved = ResolveSaveFolder(FolderField()->text().toStdString(), HomeFolder(),
                                          std::filesystem::current_path(ec));
  if (!resolved) {
    ShowInputError(this, res::kTextSaveDirFailed);
    FolderField()->setFocus();
    return kStay;
  }
  const std::string folder = *resolved;
  FolderField()->setText(FromUtf8(folder));
  if (!SaveFolderExists(folder)) {
    const std::string question = res::FillIn(res::kTextCreateSaveDir, folder);
    if (ShowMessage(this, question, res::kTextCreateSaveDirCaption, QMessageBox::Question,
                    QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
      FolderField()->setFocus();
      return kStay;
    }
  }
  if (MakeDirs(folder) != 0) {
    ShowInputError(this, res::kTextSaveDirFailed);
    FolderField()->setFocus();
    return kStay;
  }
  Project().StartUrls.clear();
  for (int i = 0; i < list->count(); ++i) Project().StartUrls.push_back(list->item(i)->text().toStdString());
  Project().SaveDir = folder;
  Project().Https = HttpsBox()->isChecked() ? 1 : 0;
  RememberHttpsUsed(Project().Https);
  SaveUrlHistory();
  return kGoOn;
}

}  // namespace tk

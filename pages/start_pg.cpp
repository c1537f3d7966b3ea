#include "pages/start_pg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <ctime>
#include <filesystem>

#include "engine/default_save_dir.h"
#include "engine/local_names.h"
#include "engine/save_folder.h"
#include "pages/step1_pg.h"
#include "pages/project_input_dlg.h"
#include "pages/url_input_dlg.h"
#include "pages/url_list_box.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "settings/history.h"
#include "settings/project.h"
#include "settings/text.h"
#include "shell/delete_button.h"
#include "shell/message_box.h"
#include "shell/trawl_sheet.h"

namespace tk {
namespace {

constexpr int kList = 1003, kAdd = 1004, kDelete = 1005, kOpen = 1007, kBrowse = 1002, kFolder = 1001,
              kHttps = 1050;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

// Built from its three parts: GCC 12 misreads an in-place replace as an overflow at -O2.
std::string Replace(const std::string& text, std::string_view pattern, std::string_view value) {
  const size_t at = text.find(pattern);
  if (at == std::string::npos) return text;
  std::string out = text.substr(0, at);
  out.append(value);
  out.append(text, at + pattern.size());
  return out;
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
      m_folderPrompt(AskFolder) {}

res::ControlFactory CStartPg::Factory() {
  return [](const res::ControlSpec& spec, QWidget* host) -> QWidget* {
    if (spec.id == kList) return new CUrlListBox(host);
    if (spec.id == kDelete) return new CDeleteButton(host);
    return nullptr;
  };
}

CUrlListBox* CStartPg::List() const { return Get<CUrlListBox>(kList); }
CDeleteButton* CStartPg::DeleteButton() const { return Get<CDeleteButton>(kDelete); }
QLineEdit* CStartPg::FolderField() const { return Get<QLineEdit>(kFolder); }
QCheckBox* CStartPg::HttpsBox() const { return Get<QCheckBox>(kHttps); }

void CStartPg::OnCreate() {
  LoadHistories();
  List()->RegisterDropTarget();
  DeleteButton()->RegisterDropTarget();
  Refresh();
  // Tooltips by control id from the string table, shown whole.
  Get<QPushButton>(kAdd)->setToolTip(Utf8(res::LoadString(106)));
  DeleteButton()->setToolTip(Utf8(res::LoadString(107)));
  Get<QPushButton>(kOpen)->setToolTip(Utf8(res::LoadString(108)));
  HttpsBox()->setToolTip(Utf8(res::LoadString(res::kIdsHttpsTip)));
  // The list takes dropped https links, and its Insert key's dialog typed ones, while it is ticked.
  connect(HttpsBox(), &QCheckBox::toggled, List(), &CUrlListBox::SetHttps);
  connect(Get<QPushButton>(kAdd), &QPushButton::clicked, this, &CStartPg::OnAdd);
  connect(DeleteButton(), &QPushButton::clicked, this, &CStartPg::OnDelete);
  connect(Get<QPushButton>(kOpen), &QPushButton::clicked, this, &CStartPg::OnOpenProject);
  connect(Get<QPushButton>(kBrowse), &QPushButton::clicked, this, &CStartPg::OnBrowse);
}

std::string CStartPg::TodaysDefaultSaveDir() const {
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  return DefaultSaveDir(HomeFolder(), today);
}

void CStartPg::SetCaption() {
  Sheet()->SetCaption(QString::fromStdString(MakeCaption(res::LoadString(res::kIdsStartWord))));
}

void CStartPg::OnSetActive() {
  Sheet()->SetWizardButtons(kWizBack | kWizNext);
  SetCaption();
  DeleteButton()->ResetAnimation();
}

void CStartPg::Refresh() {
  CUrlListBox* list = List();
  list->clear();
  for (const std::string& url : Project().StartUrls) res::InsertSorted(list, QString::fromStdString(url));
  list->UpdateHorizontalExtent();
  HttpsBox()->setChecked(Project().Https != 0);
  list->SetHttps(Project().Https != 0);
  if (Project().SaveDir.empty()) Project().SaveDir = TodaysDefaultSaveDir();
  FolderField()->setText(QString::fromStdString(Project().SaveDir));
}

void CStartPg::OnAdd() {
  std::string url;
  if (!m_urlPrompt(this, url)) return;
  if (!List()->Contains(url)) List()->AddUrl(url);
}

void CStartPg::OnDelete() { List()->DeleteSelectedUrls(); }

void CStartPg::OnBrowse() {
  std::string folder;
  if (m_folderPrompt(this, folder)) FolderField()->setText(QString::fromStdString(folder));
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
    ShowInputError(this, "スタートページリスト(URL)を追加してください！");
    Get<QPushButton>(kAdd)->setFocus();
    return kStay;
  }
  // An empty field would send the whole run into whatever folder the program was started from;
  // the dated default folder is what the user gets on a fresh page, so it stands in here too.
  if (FolderField()->text().isEmpty()) FolderField()->setText(QString::fromStdString(TodaysDefaultSaveDir()));
  // "~/dl" is the home folder's, and a relative folder is made whole, before it is stored or
  // created; a Windows project's folder stays in the field for the user to correct.
  std::error_code ec;
  const auto resolved = ResolveSaveFolder(FolderField()->text().toStdString(), HomeFolder(),
                                          std::filesystem::current_path(ec));
  if (!resolved) {
    ShowInputError(this, "ファイル保存ディレクトリ作成失敗！");
    FolderField()->setFocus();
    return kStay;
  }
  const std::string folder = *resolved;
  FolderField()->setText(QString::fromStdString(folder));
  if (!SaveFolderExists(folder)) {
    const std::string question =
        Replace("ディレクトリ「%s」が存在していません。\n作成してもいいですか？", "%s", folder);
    if (ShowMessage(this, question, "ディレクトリ作成", QMessageBox::Question,
                    QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
      FolderField()->setFocus();
      return kStay;
    }
  }
  if (MakeDirs(folder) != 0) {
    ShowInputError(this, "ファイル保存ディレクトリ作成失敗！");
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

#include "pages/step1_pg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>

#include "pages/file_type_tree.h"
#include "pages/project_input_dlg.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/up_down.h"
#include "settings/project.h"
#include "shell/message_box.h"
#include "shell/trawl_sheet.h"

namespace tk {
namespace {

constexpr int kList = 1003, kSaveDir = 1000, kTree = 1013, kAdd = 32774, kDelete = 32773;
constexpr int kStartOnly = 1014, kLayers = 1015, kLayerField = 1017, kSpin = 1018;
constexpr int kSameSite = 1019, kAllSites = 1020, kFlat = 1016, kServerDirs = 1021;
constexpr int kCache = 1024, kConfirm = 1023, kSaveFirst = 1044;

bool AskSavePath(QWidget* owner, const std::string& folder, const std::string& name, std::string& path) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("プロジェクト(*.tkp)"));
  dialog.setDefaultSuffix(QStringLiteral("tkp"));
  dialog.setDirectory(QString::fromStdString(folder));
  dialog.selectFile(QString::fromStdString(name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().front().toStdString();
  return true;
}

// "%d" reading: blanks, an optional sign, digits; nothing after them matters.
bool ReadInt(const std::string& text, int& value) { return std::sscanf(text.c_str(), "%d", &value) == 1; }

}  // namespace

CStep1Pg::CStep1Pg() : CWizardPage(res::kDlgOptions), m_savePrompt(AskSavePath) {}

res::ControlFactory CStep1Pg::Factory() {
  return [](const res::ControlSpec& spec, QWidget* host) -> QWidget* {
    return spec.id == kTree ? new CFileTypeTree(host) : nullptr;
  };
}

CFileTypeTree* CStep1Pg::Tree() const { return Get<CFileTypeTree>(kTree); }
QLineEdit* CStep1Pg::LayersField() const { return Get<QLineEdit>(kLayerField); }
QRadioButton* CStep1Pg::Radio(int id) const { return Get<QRadioButton>(id); }
QCheckBox* CStep1Pg::Check(int id) const { return Get<QCheckBox>(id); }

void CStep1Pg::OnCreate() {
  Get<res::UpDownControl>(kSpin)->SetRange(0, 10);
  const std::pair<int, int> tips[] = {{kStartOnly, 112}, {kLayers, 113}, {kFlat, 116},   {kSameSite, 114},
                                      {kAllSites, 115},  {kServerDirs, 117}, {kConfirm, 118}, {kCache, 111},
                                      {kSaveFirst, 119}, {kDelete, 110},  {kAdd, 109}};
  for (const auto& [id, text] : tips) {
    const std::string_view tip = res::LoadString(text);
    Control(id)->setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
  }
  connect(Radio(kStartOnly), &QRadioButton::clicked, this, [this] {
    LayersField()->setText(QStringLiteral("0"));
    LayersField()->setEnabled(false);
  });
  connect(Radio(kLayers), &QRadioButton::clicked, this, [this] { LayersField()->setEnabled(true); });
  connect(Get<QPushButton>(kAdd), &QPushButton::clicked, Tree(), &CFileTypeTree::AddType);
  connect(Get<QPushButton>(kDelete), &QPushButton::clicked, Tree(), &CFileTypeTree::DeleteType);
  Refresh();
}

void CStep1Pg::Refresh() {
  if (!IsCreated()) return;
  const ProjectSettings& p = Project();
  Tree()->FillTypeTree();
  LayersField()->setText(QString::number(p.LinkLayers));
  Check(kConfirm)->setChecked(p.ConfirmOverwrite != 0);
  Check(kCache)->setChecked(p.UseCache != 0);
  Radio(p.SameSiteOnly ? kSameSite : kAllSites)->setChecked(true);
  Radio(p.SaveFlat ? kFlat : kServerDirs)->setChecked(true);
  Radio(p.LinkLayers ? kLayers : kStartOnly)->setChecked(true);
  LayersField()->setEnabled(p.LinkLayers != 0);
}

void CStep1Pg::OnSetActive() {
  Sheet()->SetWizardButtons(kWizBack | kWizNext);
  Sheet()->SetCaption(QString::fromStdString(MakeCaption(res::LoadString(res::kIdsOptionsWord))));
  Get<QLineEdit>(kSaveDir)->setText(QString::fromStdString(Project().SaveDir));
  auto* list = Get<QListWidget>(kList);
  list->clear();
  for (const std::string& url : Project().StartUrls) res::InsertSorted(list, QString::fromStdString(url));
}

int CStep1Pg::OnWizardNext() {
  ProjectSettings& p = Project();
  int layers = p.LinkLayers;
  ReadInt(LayersField()->text().toStdString(), layers);
  if (layers < 0 || layers > 10) {
    ShowInputError(this, "リンク層数を「10」以内にしてください！");
    return kStay;
  }
  p.LinkLayers = layers;
  p.SameSiteOnly = Radio(kSameSite)->isChecked() ? 1 : 0;
  p.SaveFlat = Radio(kFlat)->isChecked() ? 1 : 0;
  p.UseCache = Check(kCache)->isChecked() ? 1 : 0;
  p.ConfirmOverwrite = Check(kConfirm)->isChecked() ? 1 : 0;
  p.ExcludeType = Tree()->CollectExcludeType();
  if (!Check(kSaveFirst)->isChecked()) return kGoOn;

  std::string folder = p.SaveDir;
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::string path;
  if (!m_savePrompt(this, folder, p.ProjectPath, path)) return kStay;
  if (!HasProjectExtension(path)) {
    ShowInputError(this, "プロジェクトファイルではありません！");
    return kStay;
  }
  // The user must not go on believing the project saved when it was not.
  if (!SaveProject(path)) {
    ShowInputError(this, "プロジェクトファイル「" + path + "」を保存できません！");
    return kStay;
  }
  return kGoOn;
}

}  // namespace tk

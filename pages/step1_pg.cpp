#include "pages/step1_pg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "pages/advanced_dlg.h"
#include "pages/file_type_tree.h"
#include "pages/save_project.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/up_down.h"
#include "resources/utf8_text.h"
#include "settings/ini_file.h"
#include "settings/project.h"
#include "shell/message_box.h"
#include "shell/trawl_sheet.h"

namespace tk {
CStep1Pg::CStep1Pg() : CWizardPage(res::kDlgOptions), m_savePrompt(AskProjectSavePath) {}

res::ControlFactory CStep1Pg::Factory() {
  return [](const res::ControlRow& row, QWidget* host) -> QWidget* {
    return row.id == res::kOptionsTypeTree ? new CFileTypeTree(host) : nullptr;
  };
}

CFileTypeTree* CStep1Pg::Tree() const { return Get<CFileTypeTree>(res::kOptionsTypeTree); }
QLineEdit* CStep1Pg::LayersField() const { return Get<QLineEdit>(res::kOptionsLayerField); }
QRadioButton* CStep1Pg::Radio(int id) const { return Get<QRadioButton>(id); }
QCheckBox* CStep1Pg::Check(int id) const { return Get<QCheckBox>(id); }

bool CStep1Pg::SavesBeforeRun(const QWidget* page) {
  const auto* box = page ? qobject_cast<QCheckBox*>(res::FindControlWidget(page, res::kOptionsSaveFirst)) : nullptr;
  return box && box->isChecked();
}

void CStep1Pg::OnCreate() {
  Get<res::UpDownControl>(res::kOptionsLayerSpin)->SetRange(0, 10);
  const std::pair<int, int> tips[] = {
      {res::kOptionsStartOnly, 112}, {res::kOptionsLayers, 113},      {res::kOptionsFlat, 116},
      {res::kOptionsSameSite, 114},  {res::kOptionsAllSites, 115},    {res::kOptionsServerDirs, 117},
      {res::kOptionsConfirm, 118},   {res::kOptionsCache, 111},       {res::kOptionsSaveFirst, 119},
      {res::kOptionsDeleteType, 110}, {res::kOptionsAddType, 109}, {res::kOptionsUnlimited, res::kIdsUnlimitedTip},
      {res::kOptionsAdvanced, res::kIdsAdvancedTip}};
  for (const auto& [id, text] : tips) Control(id)->setToolTip(FromUtf8(res::LoadString(text)));
  connect(Radio(res::kOptionsStartOnly), &QRadioButton::clicked, this, [this] {
    LayersField()->setText(QStringLiteral("0"));
    Check(res::kOptionsUnlimited)->setChecked(false);
    UpdateLayerControls();
  });
  connect(Radio(res::kOptionsLayers), &QRadioButton::clicked, this, &CStep1Pg::UpdateLayerControls);
  connect(Check(res::kOptionsUnlimited), &QCheckBox::toggled, this, &CStep1Pg::UpdateLayerControls);
  connect(Get<QPushButton>(res::kOptionsAdvanced), &QPushButton::clicked, this, &CStep1Pg::OnAdvanced);
  connect(Get<QPushButton>(res::kOptionsAddType), &QPushButton::clicked, Tree(), &CFileTypeTree::AddType);
  connect(Get<QPushButton>(res::kOptionsDeleteType), &QPushButton::clicked, Tree(), &CFileTypeTree::DeleteType);
  Refresh();
}

void CStep1Pg::Refresh() {
  if (!IsCreated()) return;
  const ProjectSettings& p = Project();
  Tree()->FillTypeTree();
  LayersField()->setText(QString::number(p.LinkLayers));
  Check(res::kOptionsConfirm)->setChecked(p.ConfirmOverwrite != 0);
  Check(res::kOptionsCache)->setChecked(p.UseCache != 0);
  Radio(p.SameSiteOnly ? res::kOptionsSameSite : res::kOptionsAllSites)->setChecked(true);
  Radio(p.SaveFlat ? res::kOptionsFlat : res::kOptionsServerDirs)->setChecked(true);
  const bool layered = p.LinkLayers != 0 || p.UnlimitedLayers;
  Radio(layered ? res::kOptionsLayers : res::kOptionsStartOnly)->setChecked(true);
  Check(res::kOptionsUnlimited)->setChecked(p.UnlimitedLayers != 0);
  UpdateLayerControls();
  m_advanced = AdvancedOptions::From(p);
}

void CStep1Pg::UpdateLayerControls() {
  const bool layered = Radio(res::kOptionsLayers)->isChecked();
  Check(res::kOptionsUnlimited)->setEnabled(layered);
  LayersField()->setEnabled(layered && !Check(res::kOptionsUnlimited)->isChecked());
}

void CStep1Pg::OnAdvanced() {
  CAdvancedDlg dialog(this, m_advanced);
  if (dialog.exec() == QDialog::Accepted) m_advanced = dialog.Options();
}

void CStep1Pg::OnSetActive() {
  Sheet()->SetWizardButtons(kWizBack | kWizNext);
  Sheet()->SetCaption(FromUtf8(MakeCaption(res::LoadString(res::kIdsOptionsWord))));
  Get<QLineEdit>(res::kOptionsSaveDir)->setText(FromUtf8(Project().SaveDir));
  auto* list = Get<QListWidget>(res::kOptionsUrlList);
  list->clear();
  for (const std::string& url : Project().StartUrls) res::InsertSorted(list, FromUtf8(url));
}

int CStep1Pg::OnWizardNext() {
  ProjectSettings& p = Project();
  const bool unlimited = Radio(res::kOptionsLayers)->isChecked() && Check(res::kOptionsUnlimited)->isChecked();
  int layers = unlimited ? kMaxLinkLayers : p.LinkLayers;
  if (!unlimited) layers = ReadLeadingInt(LayersField()->text().toStdString()).value_or(layers);
  if (!IsLayerCount(layers)) {
    ShowInputError(this, res::kTextLayersOutOfRange);
    return kStay;
  }
  p.LinkLayers = layers;
  p.UnlimitedLayers = unlimited ? 1 : 0;
  m_advanced.ApplyTo(p);
  p.SameSiteOnly = Radio(res::kOptionsSameSite)->isChecked() ? 1 : 0;
  p.SaveFlat = Radio(res::kOptionsFlat)->isChecked() ? 1 : 0;
  p.UseCache = Check(res::kOptionsCache)->isChecked() ? 1 : 0;
  p.ConfirmOverwrite = Check(res::kOptionsConfirm)->isChecked() ? 1 : 0;
  p.ExcludeType = Tree()->CollectExcludeType();
  if (!SavesBeforeRun(this)) return kGoOn;

  std::string folder = p.SaveDir;
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return SaveProjectAs(this, m_savePrompt, folder, p.ProjectPath) ? kGoOn : kStay;
}

}  // namespace tk

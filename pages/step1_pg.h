#pragma once
// The options page: shows what the start page set and edits the crawl options and the excluded
// types; they reach the project when the page is left with Next, which may save the project first.
#include "pages/advanced_options.h"
#include "pages/save_project.h"
#include "shell/wizard_page.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace tk {

class CFileTypeTree;

class CStep1Pg : public CWizardPage {
  Q_OBJECT
 public:
  CStep1Pg();

  void OnSetActive() override;
  int OnWizardNext() override;
  // Loads every option control and the tree from the project; nothing before the page exists.
  void Refresh();

  CFileTypeTree* Tree() const;
  QLineEdit* LayersField() const;
  QRadioButton* Radio(int id) const;
  QCheckBox* Check(int id) const;
  // The save dialog of "プロジェクト保存してからダウンロード" (AskProjectSavePath unless replaced).
  void SetSavePrompt(SavePrompt prompt) { m_savePrompt = std::move(prompt); }
  // The advanced settings as the page holds them until Next: loaded by Refresh, changed by the
  // "詳細設定..." dialog's OK.
  const AdvancedOptions& Advanced() const { return m_advanced; }
  // "詳細設定...": the dialog, modal, on the page's working copy.
  void OnAdvanced();

  // "プロジェクト保存してからダウンロード" on `page`, a page built from the options layout (this
  // class, or a stand-in holding the same layout): the project is saved on Next, before the run.
  // False before the page is built.
  static bool SavesBeforeRun(const QWidget* page);

 protected:
  void OnCreate() override;
  res::ControlFactory Factory() override;

 private:
  // "無制限" stands for any count, so the count field rests while it is ticked; both serve only
  // the layered choice.
  void UpdateLayerControls();

  SavePrompt m_savePrompt;
  AdvancedOptions m_advanced;
};

}  // namespace tk

#pragma once
// The options page: shows what the start page set and edits the crawl options and the excluded
// types; they reach the project when the page is left with Next, which may save the project first.
#include <functional>
#include <string>

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
  // The save-file dialog for the project: initial folder and name in, chosen path out; false
  // when cancelled. Replaceable for tests.
  using SavePrompt = std::function<bool(QWidget* owner, const std::string& folder,
                                        const std::string& name, std::string& path)>;

  CStep1Pg();

  void OnSetActive() override;
  int OnWizardNext() override;
  // Loads every option control and the tree from the project; nothing before the page exists.
  void Refresh();

  CFileTypeTree* Tree() const;
  QLineEdit* LayersField() const;
  QRadioButton* Radio(int id) const;
  QCheckBox* Check(int id) const;
  void SetSavePrompt(SavePrompt prompt) { m_savePrompt = std::move(prompt); }

  // "プロジェクト保存してからダウンロード" on `page`, a page built from the options layout (this
  // class, or a stand-in holding the same layout): the project is saved on Next, before the run.
  // False before the page is built.
  static bool SavesBeforeRun(const QWidget* page);

 protected:
  void OnCreate() override;
  res::ControlFactory Factory() override;

 private:
  SavePrompt m_savePrompt;
};

}  // namespace tk

#pragma once
// The start page: the list of start URLs, the save folder, and opening a saved project. The list
// and the folder field hold the user's edits; they reach the project only through Next.
#include <functional>

#include "shell/wizard_page.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace tk {

class CDeleteButton;
class CUrlListBox;

class CStartPg : public CWizardPage {
  Q_OBJECT
 public:
  // Dialogs the page opens, replaceable for tests: each returns false when cancelled.
  using UrlPrompt = std::function<bool(QWidget* owner, std::string& url)>;
  using ProjectPrompt = std::function<bool(QWidget* owner, std::string& path)>;
  using FolderPrompt = std::function<bool(QWidget* owner, std::string& folder)>;
  using UrlFilePrompt = std::function<bool(QWidget* owner, std::string& path)>;

  CStartPg();

  void OnSetActive() override;
  int OnWizardNext() override;

  // Reloads the list and the field from the project; gives an empty SaveDir its default first.
  void Refresh();
  void OnAdd();
  void OnDelete();
  void OnOpenProject();
  void OnBrowse();
  // "ファイルから追加...": every URL of a list file (one a line) that the URL input dialog would
  // take joins the list; the lines it would refuse are named in one message.
  void OnAddFromFile();

  CUrlListBox* List() const;
  CDeleteButton* DeleteButton() const;
  QLineEdit* FolderField() const;
  // "HTTPSのページも取得する": whether https URLs may be listed and fetched.
  QCheckBox* HttpsBox() const;
  // The start-URL list of `page`, a page built from the start layout (this class, or a stand-in
  // holding the same layout); nullptr before the page is built.
  static QListWidget* UrlList(const QWidget* page);

  void SetUrlPrompt(UrlPrompt prompt) { m_urlPrompt = std::move(prompt); }
  void SetProjectPrompt(ProjectPrompt prompt) { m_projectPrompt = std::move(prompt); }
  void SetFolderPrompt(FolderPrompt prompt) { m_folderPrompt = std::move(prompt); }
  void SetUrlFilePrompt(UrlFilePrompt prompt) { m_urlFilePrompt = std::move(prompt); }

 protected:
  void OnCreate() override;
  res::ControlFactory Factory() override;

 private:
  void SetCaption();
  std::string TodaysDefaultSaveDir() const;

  UrlPrompt m_urlPrompt;
  ProjectPrompt m_projectPrompt;
  FolderPrompt m_folderPrompt;
  UrlFilePrompt m_urlFilePrompt;
};

// The save-folder test of Next: true when `path` names an existing file or folder. An empty
// text, or one ending in "/", names nothing.
bool SaveFolderExists(const std::string& path);

}  // namespace tk

#include "pages/save_project.h"

#include <QFileDialog>

#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/project.h"
#include "shell/message_box.h"

namespace tk {

bool AskProjectSavePath(QWidget* owner, const std::string& folder, const std::string& name, std::string& path) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(FromUtf8(res::kTextProjectFilter));
  dialog.setDefaultSuffix(QStringLiteral("tkp"));
  if (!folder.empty()) dialog.setDirectory(FromUtf8(folder));
  dialog.selectFile(FromUtf8(name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().constFirst().toStdString();
  return true;
}

bool SaveProjectAs(QWidget* owner, const SavePrompt& prompt, const std::string& folder, const std::string& name) {
  std::string path;
  if (!prompt(owner, folder, name, path)) return false;
  if (!IsProjectFileName(path)) {
    ShowInputError(owner, res::kTextNotAProject);
    return false;
  }
  if (!SaveProject(path)) {
    ShowInputError(owner, res::FillIn(res::kTextProjectNotSaved, path));
    return false;
  }
  return true;
}

}  // namespace tk

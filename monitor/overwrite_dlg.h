#pragma once
// "ファイル確認": asks whether an existing local file may be replaced, with four answers.
#include <QDialog>

#include <string>

#include "engine/run_host.h"

namespace tk {

class COverwriteDlg : public QDialog {
  Q_OBJECT
 public:
  // `localPath` as the run uses it (relative to the save folder). Without an owner the wizard,
  // the application's main window, owns the dialog.
  explicit COverwriteDlg(const std::string& localPath, QWidget* owner = nullptr);

  // The answer for an exec() result: Escape and the close box skip the file.
  static OverwriteAnswer AnswerFor(int result);
};

}  // namespace tk

#pragma once
// Asks for the project file to open: typed, picked from the project history, browsed for, or
// dropped from a file manager. Only an existing file whose name ends in ".tkp" is accepted.
#include <QDialog>

#include <functional>
#include <optional>
#include <string>

#include "resources/dialog_builder.h"

namespace tk {

class CProjectDropCombo;

// The first file-system entry that `pattern` names, as its absolute path: the name itself when it
// exists, else the first match of its wildcards ("*", "?"), in name order. A relative pattern is
// taken against the current folder. nullopt when nothing matches.
struct FoundEntry {
  std::string path;
  bool directory = false;
};
std::optional<FoundEntry> FindFirstEntry(const std::string& pattern);

class CProjectInputDlg : public QDialog {
  Q_OBJECT
 public:
  // Shows the open-file dialog and returns the chosen path, or an empty string when cancelled.
  using OpenFileFunction = std::function<QString(QWidget* owner)>;

  explicit CProjectInputDlg(QWidget* owner = nullptr);

  // The full path of the chosen project file, valid after OK.
  const std::string& Path() const { return m_path; }
  CProjectDropCombo* Combo() const { return m_combo; }
  // Replaces the open-file dialog (for tests).
  void SetOpenFileFunction(OpenFileFunction open) { m_openFile = std::move(open); }

 public slots:
  void accept() override;
  void Browse();

 private:
  // Set by the layout builder while m_controls is made, so declared before it.
  CProjectDropCombo* m_combo = nullptr;
  res::BuiltDialog m_controls;
  std::string m_path;
  OpenFileFunction m_openFile;
};

}  // namespace tk

#pragma once
// The About box, opened by every page's Help button and by the window menu's About entry.
#include <QDialog>

#include <string>

#include "resources/dialog_builder.h"

namespace tk {

namespace res {
class VersionResource;
}

// Fills the version line ("Trawlkit(Ver.1.2.0)") and the copyright line from a version resource.
// Both lines must be empty on entry. Returns 0 when there is no resource to read (`version` is
// null) and 1 otherwise, also when lines stay empty or shortened because entries are missing.
int GetVersionStrings(const res::VersionResource* version, std::string& versionLine,
                      std::string& copyrightLine);

class CAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutBox(QWidget* owner = nullptr);

  QString VersionLine() const;
  QString CopyrightLine() const;

 private:
  res::BuiltDialog m_controls;
};

}  // namespace tk

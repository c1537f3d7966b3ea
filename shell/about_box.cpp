#include "shell/about_box.h"

#include <QLabel>
#include <QPushButton>

#include <cstdio>

#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/utf8_text.h"
#include "resources/version_info.h"

namespace tk {

int GetVersionStrings(const res::VersionResource* version, std::string& versionLine,
                      std::string& copyrightLine) {
  if (!version) return 0;
  if (version->Empty() || version->Translations().empty()) return 1;
  const res::VersionTranslation& first = version->Translations().front();
  char block[16];
  std::snprintf(block, sizeof block, "%04x%04x", first.language, first.codePage);
  auto query = [&](const char* key) {
    return version->QueryString(std::string("\\StringFileInfo\\") + block + "\\" + key);
  };
  // Each line is built as far as the entries go; a missing one ends the building there.
  const auto description = query("FileDescription");
  if (!description) return 1;
  versionLine += *description;
  versionLine += "(Ver.";
  const auto fileVersion = query("FileVersion");
  if (!fileVersion) return 1;
  versionLine += *fileVersion;
  versionLine += ")";
  if (const auto copyright = query("LegalCopyright")) copyrightLine += *copyright;
  return 1;
}

CAboutBox::CAboutBox(QWidget* owner)
    : QDialog(owner), m_controls(res::BuildDialog(*res::FindDialog(res::kDlgAbout), this)) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  std::string versionLine, copyrightLine;
  GetVersionStrings(&res::ProgramVersion(), versionLine, copyrightLine);
  // Set also when empty: the layout's placeholder texts are never shown.
  if (auto* label = m_controls.Get<QLabel>(res::kAboutVersion)) label->setText(FromUtf8(versionLine));
  if (auto* label = m_controls.Get<QLabel>(res::kAboutCopyright)) label->setText(FromUtf8(copyrightLine));
  if (auto* ok = m_controls.Get<QPushButton>(res::kIdOk)) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
  }
}

QString CAboutBox::VersionLine() const {
  auto* label = m_controls.Get<QLabel>(res::kAboutVersion);
  return label ? label->text() : QString();
}

QString CAboutBox::CopyrightLine() const {
  auto* label = m_controls.Get<QLabel>(res::kAboutCopyright);
  return label ? label->text() : QString();
}

}  // namespace tk

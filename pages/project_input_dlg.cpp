#include "pages/project_input_dlg.h"

#include <glob.h>

#include <QFileDialog>
#include <QPushButton>

#include <filesystem>

#include "pages/project_drop_combo.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/history.h"
#include "settings/project.h"
#include "shell/message_box.h"

namespace tk {
namespace {

QString OpenProjectFile(QWidget* owner) {
  return QFileDialog::getOpenFileName(owner, QString(), QString(), FromUtf8(res::kTextProjectFilter));
}

}  // namespace

std::optional<FoundEntry> FindFirstEntry(const std::string& pattern) {
  namespace fs = std::filesystem;
  if (pattern.empty()) return std::nullopt;
  std::error_code ec;
  std::string found;
  if (fs::exists(fs::path(pattern), ec)) {
    found = pattern;
  } else {
    glob_t matches{};
    if (glob(pattern.c_str(), GLOB_NOESCAPE, nullptr, &matches) == 0 && matches.gl_pathc > 0)
      found = matches.gl_pathv[0];
    globfree(&matches);
  }
  if (found.empty()) return std::nullopt;
  const fs::path absolute = fs::absolute(fs::path(found), ec).lexically_normal();
  return FoundEntry{absolute.string(), fs::is_directory(absolute, ec)};
}

CProjectInputDlg::CProjectInputDlg(QWidget* owner)
    : QDialog(owner),
      m_controls(res::BuildDialog(*res::FindDialog(res::kDlgProjectInput), this,
                                  [this](const res::ControlRow& row, QWidget* host) -> QWidget* {
                                    if (row.id != res::kProjectInputCombo) return nullptr;
                                    m_combo = new CProjectDropCombo(host);
                                    return m_combo;
                                  })),
      m_openFile(OpenProjectFile) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  m_combo->setFocus();
  m_combo->clear();
  for (const std::string& path : ProjectHistory().Entries()) m_combo->addItem(FromUtf8(path));
  m_combo->setEditText(QString());
  connect(m_controls.Get<QPushButton>(res::kIdOk), &QPushButton::clicked, this, &CProjectInputDlg::accept);
  connect(m_controls.Get<QPushButton>(res::kIdCancel), &QPushButton::clicked, this, &CProjectInputDlg::reject);
  connect(m_controls.Get<QPushButton>(res::kProjectInputBrowse), &QPushButton::clicked, this, &CProjectInputDlg::Browse);
}

void CProjectInputDlg::accept() {
  const std::string path = m_combo->currentText().toStdString();
  if (!IsProjectFileName(path)) {
    ShowInputError(this, res::kTextNotAProject);
    return;
  }
  // A name that finds nothing, or finds a folder, keeps the dialog open without a word.
  const auto entry = FindFirstEntry(path);
  if (!entry || entry->directory) return;
  m_path = entry->path;
  QDialog::accept();
}

void CProjectInputDlg::Browse() {
  const QString chosen = m_openFile(this);
  if (chosen.isEmpty()) return;
  if (!IsProjectFileName(chosen.toStdString())) {
    ShowInputError(this, res::kTextNotAProject);
    return;
  }
  m_combo->setEditText(chosen);
}

}  // namespace tk

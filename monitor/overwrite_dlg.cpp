#include "monitor/overwrite_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_template.h"
#include "resources/utf8_text.h"

namespace tk {
namespace {

QWidget* MainWindowOr(QWidget* owner) {
  if (owner) return owner;
  // The wizard is the one top-level window that is not itself a dialog of the run.
  QWidget* active = QApplication::activeWindow();
  return active ? active->window() : nullptr;
}

}  // namespace

COverwriteDlg::COverwriteDlg(const std::string& localPath, QWidget* owner) : QDialog(MainWindowOr(owner)) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  if (const res::DialogTemplate* dlg = res::FindDialog(res::kDlgOverwrite)) {
    const res::BuiltDialog built = res::BuildDialog(*dlg, this);
    if (auto* path = built.Get<QLabel>(res::kOverwritePath)) path->setText(FromUtf8(localPath));
    for (int id : {res::kOverwriteOne, res::kOverwriteSkip, res::kOverwriteAll, res::kOverwriteSkipAll}) {
      auto* button = built.Get<QPushButton>(id);
      if (button) connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
    }
    // The layout marks two buttons as default and Qt keeps only the last one, 全て上書き. Enter
    // belongs to the first tab stop, which has the focus when the dialog opens: a single
    // overwrite, never all of them by accident.
    if (auto* first = built.Get<QPushButton>(res::kOverwriteOne)) {
      first->setDefault(true);
      first->setFocus();
    }
  }
}

OverwriteAnswer COverwriteDlg::AnswerFor(int result) {
  switch (result) {
    case res::kOverwriteOne: return OverwriteAnswer::Overwrite;
    case res::kOverwriteAll: return OverwriteAnswer::OverwriteAll;
    case res::kOverwriteSkipAll: return OverwriteAnswer::SkipAll;
    default: return OverwriteAnswer::Skip;
  }
}

}  // namespace tk

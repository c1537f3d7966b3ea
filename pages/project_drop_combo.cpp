#include "pages/project_drop_combo.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "settings/text.h"

namespace tk {

CProjectDropCombo::CProjectDropCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  if (lineEdit()) lineEdit()->setAcceptDrops(false);
  setAcceptDrops(true);
}

void CProjectDropCombo::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    event->ignore();
}

void CProjectDropCombo::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    event->ignore();
}

void CProjectDropCombo::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  // The whole path is taken, however long: a cut path would name another file.
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const std::string path = url.toLocalFile().toStdString();
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && EqualsNoCase(std::string_view(path).substr(dot), ".tkp")) {
      setEditText(QString::fromStdString(path));
      return;
    }
  }
}

}  // namespace tk

#include "pages/project_drop_combo.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "resources/utf8_text.h"
#include "settings/text.h"

namespace tk {

CProjectDropCombo::CProjectDropCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  if (lineEdit()) lineEdit()->setAcceptDrops(false);
  setAcceptDrops(true);
}

namespace {

// The first local project file among the dropped ones; empty when there is none. The whole path
// is taken, however long: a cut path would name another file.
QString FirstProjectFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const std::string path = url.toLocalFile().toStdString();
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && EqualsNoCase(std::string_view(path).substr(dot), ".tkp"))
      return FromUtf8(path);
  }
  return {};
}

}  // namespace

// The cursor promises a drop only for what the drop will take: a project file.
void CProjectDropCombo::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstProjectFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void CProjectDropCombo::dragMoveEvent(QDragMoveEvent* event) {
  if (!FirstProjectFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void CProjectDropCombo::dropEvent(QDropEvent* event) {
  const QString path = FirstProjectFile(event->mimeData());
  if (path.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  setEditText(path);
}

}  // namespace tk

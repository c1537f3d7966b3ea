#include "pages/url_drop_combo.h"

#include <QDropEvent>
#include <QLineEdit>

#include "pages/url_service.h"
#include "resources/utf8_text.h"

namespace tk {

bool CUrlDropCombo::AnswerDrag(QDropEvent* event, std::string& url) const {
  if (GetDroppedUrl(event->mimeData(), url, m_https) == UrlService::None) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

CUrlDropCombo::CUrlDropCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
}

void CUrlDropCombo::RegisterDropTarget() {
  // The edit field would insert any dropped text at the pointer; the whole combo takes URLs only.
  if (lineEdit()) lineEdit()->setAcceptDrops(false);
  setAcceptDrops(true);
}

void CUrlDropCombo::dragEnterEvent(QDragEnterEvent* event) {
  std::string url;
  AnswerDrag(event, url);
}

void CUrlDropCombo::dragMoveEvent(QDragMoveEvent* event) {
  std::string url;
  AnswerDrag(event, url);
}

void CUrlDropCombo::dropEvent(QDropEvent* event) {
  std::string url;
  if (AnswerDrag(event, url)) setEditText(FromUtf8(url));
}

}  // namespace tk

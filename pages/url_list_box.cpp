#include "pages/url_list_box.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

#include "base/text.h"
#include "pages/delete_button.h"
#include "pages/url_input_dlg.h"
#include "pages/url_service.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/utf8_text.h"
#include "settings/history.h"

namespace tk {

CUrlListBox::CUrlListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::MultiSelection);
  // The view's own item dragging would move entries around; the gesture here is ours.
  setDragEnabled(false);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_dragDelay.setSingleShot(true);
  m_dragDelay.setInterval(QApplication::startDragTime());
  connect(&m_dragDelay, &QTimer::timeout, this, &CUrlListBox::BeginDragFromPress);
}

void CUrlListBox::RegisterDropTarget() {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
}

bool CUrlListBox::Contains(const std::string& url) const {
  for (int i = 0; i < count(); ++i)
    if (EqualsNoCase(item(i)->text().toStdString(), url)) return true;
  return false;
}

void CUrlListBox::AddUrl(const std::string& url) {
  res::InsertSorted(this, FromUtf8(url));
  UpdateHorizontalExtent();
  AddUrlHistory(url);
}

void CUrlListBox::DeleteSelectedUrls() {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  if (!rows.empty()) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) delete takeItem(*it);
    if (auto* button = qobject_cast<CDeleteButton*>(
            parentWidget() ? res::FindControlWidget(parentWidget(), res::kStartDelete) : nullptr))
      button->StartAnimation();
  }
  UpdateHorizontalExtent();
}

void CUrlListBox::UpdateHorizontalExtent() {
  // Measured with the list's own font, so the range fits what is actually drawn.
  const int outer = width();
  int widest = 0;
  const QFontMetrics metrics(font());
  for (int i = 0; i < count(); ++i) widest = std::max(widest, metrics.horizontalAdvance(item(i)->text()));
  m_extent = widest > outer ? widest : 0;
  setHorizontalScrollBarPolicy(m_extent ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void CUrlListBox::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);  // toggles the entry under the pointer
  m_dragArmed = event->button() == Qt::LeftButton && !selectedItems().isEmpty();
  if (!m_dragArmed) return;
  m_pressPos = event->position().toPoint();
  m_dragDelay.start();
}

void CUrlListBox::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragArmed && (event->position().toPoint() - m_pressPos).manhattanLength() >=
                         QApplication::startDragDistance()) {
    BeginDragFromPress();
    return;
  }
  // Without this, a press-and-move would sweep the multiple selection.
  if (!m_dragArmed) QListWidget::mouseMoveEvent(event);
}

void CUrlListBox::mouseReleaseEvent(QMouseEvent* event) {
  m_dragArmed = false;
  m_dragDelay.stop();
  QListWidget::mouseReleaseEvent(event);
}

void CUrlListBox::BeginDragFromPress() {
  if (!m_dragArmed) return;
  m_dragArmed = false;
  m_dragDelay.stop();
  StartTrashDrag();
  // The drag swallowed the real release; the view is told of one where the press was, so it
  // leaves its pressed state.
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(m_pressPos), viewport()->mapToGlobal(QPointF(m_pressPos)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QListWidget::mouseReleaseEvent(&release);
}

Qt::DropAction CUrlListBox::StartTrashDrag() {
  if (selectedItems().isEmpty()) return Qt::IgnoreAction;
  auto* data = new QMimeData;
  data->setText(FromUtf8(kTrashMarker));
  QDrag drag(this);
  drag.setMimeData(data);
  const Qt::DropAction result = drag.exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  OnTrashDragEnded(result);
  return result;
}

void CUrlListBox::OnTrashDragEnded(Qt::DropAction result) {
  // Whoever took the drop as a move has the entries now: the trash, or another program. A copy,
  // a refusal or an aborted drag deletes nothing.
  if (result == Qt::MoveAction) DeleteSelectedUrls();
}

void CUrlListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    DeleteSelectedUrls();
  } else if (event->key() == Qt::Key_Insert) {
    CUrlInputDlg dialog(this, m_https);
    if (dialog.exec() == QDialog::Accepted && !Contains(dialog.Url())) AddUrl(dialog.Url());
  }
  QListWidget::keyPressEvent(event);
}

bool CUrlListBox::AcceptsDrop(const QMimeData* data, std::string& url) const {
  return GetDroppedUrl(data, url, m_https) != UrlService::None && !Contains(url);
}

// Entering and moving answer alike: a URL the list would take is offered as a copy.
void CUrlListBox::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void CUrlListBox::dragMoveEvent(QDragMoveEvent* event) {
  std::string url;
  if (AcceptsDrop(event->mimeData(), url)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CUrlListBox::dropEvent(QDropEvent* event) {
  std::string url;
  if (!AcceptsDrop(event->mimeData(), url)) {
    event->ignore();
    return;
  }
  AddUrl(url);
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

}  // namespace tk

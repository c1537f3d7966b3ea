#include "pages/delete_button.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include "pages/url_service.h"
#include "resources/images.h"

namespace tk {

CDeleteButton::CDeleteButton(QWidget* parent) : QPushButton(parent) {
  m_timer.setInterval(kTimerMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });
  ShowFrame(0);
}

void CDeleteButton::StartAnimation() {
  if (m_animStep < 0) m_animFrame = 4;
  m_animStep = 1;
  m_timer.start();
}

void CDeleteButton::ResetAnimation() {
  m_animFrame = 0;
  m_animStep = 0;
  ShowFrame(0);
}

void CDeleteButton::OnTimer(int timerId) {
  if (timerId != kTimerId) return;
  m_animFrame += m_animStep;
  ShowFrame(m_animFrame);
  if (m_animFrame == kFrameCount - 1) m_animStep = -1;
  if (m_animFrame == 0) {
    m_animStep = 0;
    m_timer.stop();
  }
}

namespace {

// Only the marker is taken, and only as a move, so that the drag source deletes.
void AnswerDrag(QDropEvent* event) {
  if (IsTrashMarker(event->mimeData())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace

void CDeleteButton::dragEnterEvent(QDragEnterEvent* event) { AnswerDrag(event); }
void CDeleteButton::dragMoveEvent(QDragMoveEvent* event) { AnswerDrag(event); }
void CDeleteButton::dropEvent(QDropEvent* event) { AnswerDrag(event); }

void CDeleteButton::ShowFrame(int frame) {
  // A frame outside the six pictures leaves the button without one, as a failed load would.
  const bool known = frame >= 0 && frame < kFrameCount;
  m_shownIcon = known ? res::kIconDeleteFirst + frame : 0;
  setIcon(known ? res::LoadIcon(m_shownIcon) : QIcon());
}

}  // namespace tk

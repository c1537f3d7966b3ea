#include "resources/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

#include "settings/ini_file.h"

namespace tk::res {

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent) {
  m_up = new QToolButton(this);
  m_down = new QToolButton(this);
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {m_up, m_down}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
  connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownControl::SetBuddy(QLineEdit* buddy, bool alignRight, bool arrowKeys) {
  m_buddy = buddy;
  if (!buddy) return;
  if (alignRight) {
    // The arrows take the right end of the buddy's rectangle; the edit keeps the rest.
    QRect r = buddy->geometry();
    const int w = std::min(width(), r.width() / 2);
    r.setWidth(r.width() - w);
    buddy->setGeometry(r);
    setGeometry(r.right() + 1, r.top(), w, std::max(height(), r.height()));
  }
  if (arrowKeys) buddy->installEventFilter(this);
}

void UpDownControl::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
}

void UpDownControl::Step(int delta) {
  if (!m_buddy || !m_buddy->isEnabled()) return;
  const int current = ParseLeadingInt(m_buddy->text().toStdString());
  const int lo = std::min(m_lower, m_upper);
  const int hi = std::max(m_lower, m_upper);
  const int next = std::clamp(current + delta, lo, hi);
  m_buddy->setText(QString::number(next));
  emit ValueChanged(next);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_buddy && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  m_up->setGeometry(0, 0, width(), half);
  m_down->setGeometry(0, half, width(), height() - half);
}

}  // namespace tk::res

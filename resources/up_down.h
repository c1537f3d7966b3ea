#pragma once
// Spin arrows that stand beside an edit field (their buddy) and count its integer up and down,
// the way the options page's layer count is drawn: a plain edit with arrows at its right edge.
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tk::res {

class UpDownControl : public QWidget {
  Q_OBJECT
 public:
  explicit UpDownControl(QWidget* parent = nullptr);

  // Takes the buddy's right edge for the arrows when alignRight is set.
  void SetBuddy(QLineEdit* buddy, bool alignRight, bool arrowKeys);
  QLineEdit* Buddy() const { return m_buddy; }
  void SetRange(int lower, int upper);
  int Lower() const { return m_lower; }
  int Upper() const { return m_upper; }
  // One step up (+1) or down (-1) from the buddy's number, kept inside the range.
  void Step(int delta);

 signals:
  void ValueChanged(int value);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLineEdit* m_buddy = nullptr;
  QToolButton* m_up = nullptr;
  QToolButton* m_down = nullptr;
  int m_lower = 0;
  int m_upper = 100;
};

}  // namespace tk::res

#pragma once
// The start page's delete button: shows a delete symbol, and after a deletion plays it through
// six pictures and back (1 2 3 4 5 4 3 2 1 0), one picture per 62 ms tick.
#include <QPushButton>
#include <QTimer>

namespace tk {

class CDeleteButton : public QPushButton {
  Q_OBJECT
 public:
  static constexpr int kTimerId = 1000;
  static constexpr int kTimerMs = 62;
  static constexpr int kFrameCount = 6;

  explicit CDeleteButton(QWidget* parent = nullptr);

  // After a deletion. Rising frames rise on from where they are; falling ones jump back to 4.
  // The timer starts counting again either way.
  void StartAnimation();
  // The resting picture at once; a running timer stops at its next tick, as the frame stays 0.
  void ResetAnimation();
  // One tick of the animation timer; anything but kTimerId only gets the default handling.
  void OnTimer(int timerId);

  int AnimFrame() const { return m_animFrame; }
  int AnimStep() const { return m_animStep; }
  bool TimerRunning() const { return m_timer.isActive(); }
  // The icon id shown now (136 to 141).
  int ShownIcon() const { return m_shownIcon; }

  // From now on the button accepts the start-URL list's trash gesture as a move; it deletes
  // nothing itself: the list deletes when its drag ends as a move.
  void RegisterDropTarget() { setAcceptDrops(true); }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent*) override {}

 private:
  void ShowFrame(int frame);

  QTimer m_timer;
  int m_animFrame = 0;
  int m_animStep = 0;  // -1, 0 or +1 per tick; 0 when idle
  int m_shownIcon = 0;
};

}  // namespace tk

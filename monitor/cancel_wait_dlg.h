#pragma once
// "ダウンロードキャンセル": stands in front of the wizard from a confirmed cancel until the
// worker has ended, so the page and its run state outlive the worker. It learns of the end by
// polling, and keeps the GUI thread's event loop running meanwhile, which the worker's display
// calls need.
#include <QDialog>
#include <QTimer>

#include <functional>

namespace tk {

class CCancelWaitDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kPollTimerId = 3000;
  static constexpr int kPollPeriodMs = 100;

  // `workerRunning` is tested on every tick; the dialog closes with OK once it says false.
  explicit CCancelWaitDlg(std::function<bool()> workerRunning, QWidget* owner = nullptr);

  const QTimer& PollTimer() const { return m_timer; }

 public slots:
  // Escape and every other way of closing are ignored while the worker runs.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnTick();

  std::function<bool()> m_workerRunning;
  QTimer m_timer;
};

}  // namespace tk

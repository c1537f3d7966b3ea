#pragma once
// Helpers for widget tests: answering modal dialogs that the code under test opens with exec().
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tk::test {

// Runs `answer` on the modal widget once one is up (polled every 10 ms, for at most 5 s), so a test
// can queue its reply before the call that opens the dialog. The answer must close the dialog.
inline QTimer* WhenModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  const QDeadlineTimer deadline(5000);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, deadline] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool found = modal && modal->isVisible();
    if (!found && !deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    if (found) answer(modal);
  });
  timer->start();
  return timer;
}

// Answers the next message box with `button`, keeping its caption and text for the test. A modal
// that is not a message box is closed, and noted as such.
struct SeenMessage {
  SeenMessage() = default;
  SeenMessage(const SeenMessage&) = delete;
  SeenMessage& operator=(const SeenMessage&) = delete;
  // An answer still waiting when its record goes would write into a gone record, and would answer
  // a box that a later step (or the next test) opens.
  ~SeenMessage() { delete pending.data(); }

  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool shown = false;
  QPointer<QTimer> pending;
};
inline void AnswerMessage(SeenMessage* seen, QMessageBox::StandardButton button = QMessageBox::Ok) {
  seen->pending = WhenModal([seen, button](QWidget* modal) {
    seen->shown = true;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
      seen->caption = QStringLiteral("(not a message box)");
      modal->close();
      return;
    }
    seen->caption = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    if (QAbstractButton* b = box->button(button))
      b->click();
    else
      box->reject();
  });
}

// Drains posted events, as the event loop does between two user actions.
inline void ProcessPosted() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

}  // namespace tk::test

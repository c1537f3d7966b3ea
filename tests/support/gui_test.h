#pragma once
// Helpers for widget tests: answering modal dialogs that the code under test opens with exec().
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tk::test {

// Runs `answer` on the modal widget once one is up (polled every 10 ms, for at most 5 s), so a test
// can queue its reply before the call that opens the dialog. The answer must close the dialog.
inline void WhenModal(std::function<void(QWidget*)> answer) {
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
}

// Drains posted events, as the event loop does between two user actions.
inline void ProcessPosted() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

}  // namespace tk::test

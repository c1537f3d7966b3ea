#include "monitor/cancel_wait_dlg.h"

#include <QCloseEvent>

#include "resources/dialog_builder.h"
#include "resources/dialog_template.h"

namespace tk {

CCancelWaitDlg::CCancelWaitDlg(std::function<bool()> workerRunning, QWidget* owner)
    : QDialog(owner), m_workerRunning(std::move(workerRunning)) {
  // No buttons and no close box: the only way out is the worker's end.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  if (const res::DialogTemplate* dlg = res::FindDialog(res::kDlgCancelWait)) res::BuildDialog(*dlg, this);
  setModal(true);
  m_timer.setObjectName(QStringLiteral("timer%1").arg(kPollTimerId));
  m_timer.setInterval(kPollPeriodMs);
  connect(&m_timer, &QTimer::timeout, this, &CCancelWaitDlg::OnTick);
}

void CCancelWaitDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_timer.start();
}

void CCancelWaitDlg::OnTick() {
  if (m_workerRunning && m_workerRunning()) return;
  m_timer.stop();
  accept();
}

void CCancelWaitDlg::reject() {
  if (!m_workerRunning || !m_workerRunning()) QDialog::reject();
}

void CCancelWaitDlg::closeEvent(QCloseEvent* event) {
  if (m_workerRunning && m_workerRunning())
    event->ignore();
  else
    QDialog::closeEvent(event);
}

}  // namespace tk

#include "monitor/page_run_host.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPointer>

#include "monitor/overwrite_dlg.h"
#include "monitor/password_dlg.h"
#include "pages/start_pg.h"
#include "settings/project.h"

namespace tk {

StartUrlSource StartUrlsOf(const QWidget* startPage) {
  QListWidget* list = CStartPg::UrlList(startPage);
  if (list && list->count() > 0) {
    // Guarded: the list belongs to the start page, which may be rebuilt or go before the run.
    QPointer<QListWidget> guarded(list);
    return {[guarded] { return guarded ? static_cast<std::size_t>(guarded->count()) : std::size_t{0}; },
            [guarded](std::size_t i) {
              const int row = static_cast<int>(i);
              if (!guarded || row >= guarded->count()) return std::string();
              return guarded->item(row)->text().toStdString();
            }};
  }
  return {[] { return Project().StartUrls.size(); },
          [](std::size_t i) { return i < Project().StartUrls.size() ? Project().StartUrls[i] : std::string(); }};
}

PageRunHost::PageRunHost(QWidget& page, RunClock& clock, StartUrlSource startUrls, const std::atomic<bool>& cancel)
    : m_page(page), m_display(page, clock), m_startUrls(std::move(startUrls)), m_cancel(cancel) {}

OverwriteAnswer PageRunHost::AskOverwrite(const std::string& localPath) {
  Drain();
  if (m_cancel.load()) return OverwriteAnswer::Skip;
  COverwriteDlg dialog(localPath, m_page.window());
  return COverwriteDlg::AnswerFor(dialog.exec());
}

std::optional<Credentials> PageRunHost::AskPassword(const std::string& url, const std::string& host) {
  Drain();
  if (m_cancel.load()) return std::nullopt;
  CPasswordDlg dialog(url, host, m_page.window());
  return dialog.Ask();
}

bool PageRunHost::AskHangUp() {
  Drain();
  const auto answer = QMessageBox::warning(&m_page, QStringLiteral("ダイアルアップ切断"),
                                           QStringLiteral("切断してもいいですか?"),
                                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
  return answer == QMessageBox::Yes;
}

std::string PageRunHost::StartUrl(std::size_t index) { return m_startUrls.url ? m_startUrls.url(index) : std::string(); }

}  // namespace tk

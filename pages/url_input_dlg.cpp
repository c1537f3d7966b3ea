#include "pages/url_input_dlg.h"

#include <QPushButton>

#include "pages/url_drop_combo.h"
#include "pages/url_service.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/history.h"
#include "shell/message_box.h"

namespace tk {

CUrlInputDlg::CUrlInputDlg(QWidget* owner, bool https)
    : QDialog(owner),
      m_controls(res::BuildDialog(*res::FindDialog(res::kDlgUrlInput), this,
                                  [this](const res::ControlRow& row, QWidget* host) -> QWidget* {
                                    if (row.id != res::kUrlInputCombo) return nullptr;
                                    m_combo = new CUrlDropCombo(host);
                                    return m_combo;
                                  })),
      m_https(https) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  m_combo->RegisterDropTarget();
  m_combo->SetHttps(https);
  m_combo->clear();
  for (const std::string& url : UrlHistory().Entries()) m_combo->addItem(FromUtf8(url));
  m_combo->setEditText(QString());
  m_combo->setFocus();
  connect(m_controls.Get<QPushButton>(res::kIdOk), &QPushButton::clicked, this, &CUrlInputDlg::accept);
  connect(m_controls.Get<QPushButton>(res::kIdCancel), &QPushButton::clicked, this, &CUrlInputDlg::reject);
}

void CUrlInputDlg::accept() {
  m_url = m_combo->currentText().toStdString();
  if (GetUrlService(m_url, m_https) == UrlService::None) {
    ShowInputError(this, res::kTextEnterUrl);
    m_combo->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace tk

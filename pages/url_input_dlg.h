#pragma once
// Asks for one start URL: typed, picked from the URL history, or dropped from a browser.
#include <QDialog>

#include <string>

#include "resources/dialog_builder.h"

namespace tk {

class CUrlDropCombo;

class CUrlInputDlg : public QDialog {
  Q_OBJECT
 public:
  // `https`: https URLs are taken as well as HTTP and FTP ones (the start page's HTTPS box).
  explicit CUrlInputDlg(QWidget* owner = nullptr, bool https = false);

  // The text of the combo as it was at OK, unchanged.
  const std::string& Url() const { return m_url; }
  CUrlDropCombo* Combo() const { return m_combo; }

 public slots:
  void accept() override;

 private:
  // Set by the layout builder while m_controls is made, so declared before it.
  CUrlDropCombo* m_combo = nullptr;
  res::BuiltDialog m_controls;
  std::string m_url;
  bool m_https;
};

}  // namespace tk

#pragma once
// The login dialog of a run: a server answered 401, and the user may give a user name and a
// password for it, or cancel the file.
#include <QDialog>

#include <optional>
#include <string>

#include "engine/run_host.h"

class QLineEdit;

namespace tk {

class CPasswordDlg : public QDialog {
  Q_OBJECT
 public:
  CPasswordDlg(const std::string& url, const std::string& host, QWidget* owner = nullptr);

  QLineEdit* UserEdit() const { return m_user; }
  QLineEdit* PasswordEdit() const { return m_password; }

  // Shows the dialog modally: the credentials on OK, nothing on Cancel or Escape.
  std::optional<Credentials> Ask();

 private:
  QLineEdit* m_user = nullptr;
  QLineEdit* m_password = nullptr;
};

}  // namespace tk

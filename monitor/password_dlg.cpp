#include "monitor/password_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "resources/utf8_text.h"

namespace tk {

CPasswordDlg::CPasswordDlg(const std::string& url, const std::string& host, QWidget* owner) : QDialog(owner) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setWindowTitle(QStringLiteral("パスワードの入力"));
  auto* prompt = new QLabel(QStringLiteral("サーバー「%1」がユーザー名とパスワードを要求しています。\n%2")
                                .arg(FromUtf8(host), FromUtf8(url)),
                            this);
  prompt->setTextFormat(Qt::PlainText);
  prompt->setWordWrap(true);
  // Long URLs have no blanks to break at; selecting lets the user still read all of one.
  prompt->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_user = new QLineEdit(this);
  m_user->setObjectName(QStringLiteral("user"));
  m_password = new QLineEdit(this);
  m_password->setObjectName(QStringLiteral("password"));
  m_password->setEchoMode(QLineEdit::Password);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("ユーザー名(&U):"), m_user);
  form->addRow(QStringLiteral("パスワード(&P):"), m_password);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(420);
  m_user->setFocus();
}

std::optional<Credentials> CPasswordDlg::Ask() {
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Credentials{m_user->text().toStdString(), m_password->text().toStdString()};
}

}  // namespace tk

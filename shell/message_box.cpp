#include "shell/message_box.h"

namespace tk {
namespace {

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QMessageBox::StandardButton ShowMessage(QWidget* owner, std::string_view text, std::string_view caption,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, Utf8(caption), Utf8(text), buttons, owner);
  // Texts like "%s" paths are shown as they are, never as rich text.
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInputError(QWidget* owner, std::string_view text) {
  ShowMessage(owner, text, kInputErrorCaption, QMessageBox::Critical);
}

}  // namespace tk

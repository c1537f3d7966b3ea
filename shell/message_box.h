#pragma once
// Message boxes as the wizard shows them: input errors, questions, with the caption and icon the
// situation calls for. Texts come in as UTF-8.
#include <QMessageBox>

#include <string_view>

namespace tk {

// Shows a modal box owned by `owner` and returns the button pressed (QMessageBox::Ok, Cancel...).
QMessageBox::StandardButton ShowMessage(QWidget* owner, std::string_view text, std::string_view caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// "入力エラー" with the error icon and an OK button.
void ShowInputError(QWidget* owner, std::string_view text);

}  // namespace tk

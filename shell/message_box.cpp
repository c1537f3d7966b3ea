#include "shell/message_box.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"

#include <QLabel>
#include <QLayout>

namespace tk {
namespace {

// Breaks its text only where the text has a line break. Qt wraps a long message to half the
// screen's width and, past a limit, anywhere at all, which splits Japanese inside a word
// ("ませ" / "ん"); each line is short enough to be shown whole.
class WholeLinesBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  // Qt decides on wrapping whenever it sizes the box: on showing it and on style, font and
  // text changes alike, so the decision is undone after each event.
  bool event(QEvent* event) override {
    const bool handled = QMessageBox::event(event);
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label && label->wordWrap() && isVisible()) {
      label->setWordWrap(false);
      setMinimumSize(0, 0);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      if (layout()) layout()->activate();
      setFixedSize(sizeHint());
    }
    return handled;
  }
};

}  // namespace

QMessageBox::StandardButton ShowMessage(QWidget* owner, std::string_view text, std::string_view caption,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
  WholeLinesBox box(icon, FromUtf8(caption), FromUtf8(text), buttons, owner);
  // Texts like "%s" paths are shown as they are, never as rich text.
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInputError(QWidget* owner, std::string_view text) {
  ShowMessage(owner, text, res::kTextInputError, QMessageBox::Critical);
}

}  // namespace tk

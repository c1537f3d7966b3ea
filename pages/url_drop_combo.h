#pragma once
// The URL input dialog's combo box: an HTTP or FTP URL dragged onto it becomes its text.
#include <QComboBox>

namespace tk {

class CUrlDropCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CUrlDropCombo(QWidget* parent = nullptr);
  void RegisterDropTarget();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent*) override {}
};

}  // namespace tk

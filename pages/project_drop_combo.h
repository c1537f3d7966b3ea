#pragma once
// The project input dialog's combo box: takes the first .tkp file among files dropped on it from
// a file manager.
#include <QComboBox>

namespace tk {

class CProjectDropCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CProjectDropCombo(QWidget* parent = nullptr);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace tk

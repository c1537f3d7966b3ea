#pragma once
// The URL input dialog's combo box: an HTTP or FTP URL (or https, when taken) dragged onto it
// becomes its text.
#include <QComboBox>

namespace tk {

class CUrlDropCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CUrlDropCombo(QWidget* parent = nullptr);
  void RegisterDropTarget();
  // Whether a dropped https link is taken, as the start page's HTTPS box says.
  void SetHttps(bool https) { m_https = https; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent*) override {}

 private:
  bool AnswerDrag(QDropEvent* event, std::string& url) const;
  bool m_https = false;
};

}  // namespace tk

#pragma once
// The start page's list of start URLs: sorted ignoring case, several entries selectable. URLs
// dragged from a browser are added; selected entries dragged onto the delete button (or anywhere
// that takes the drop as a move) are deleted; Delete and Insert keys delete and add.
#include <QListWidget>
#include <QPoint>
#include <QTimer>

#include <string>

namespace tk {

class CUrlListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit CUrlListBox(QWidget* parent = nullptr);

  // Adds without a duplicate check (callers check first), fits the scroll range and records
  // the URL at the head of the URL history.
  void AddUrl(const std::string& url);
  // Deletes every selected entry, last index first; plays the delete button's animation when one
  // was deleted.
  void DeleteSelectedUrls();
  // The widest entry when it is wider than the list, else 0 (no sideways scrolling).
  void UpdateHorizontalExtent();
  int HorizontalExtent() const { return m_extent; }
  // True when an entry equals `url` ignoring case, as the list's exact-match search finds it.
  bool Contains(const std::string& url) const;
  void RegisterDropTarget();
  // Whether https URLs are taken (dropped, or through the Insert key's dialog), as the start
  // page's HTTPS box says.
  void SetHttps(bool https) { m_https = https; }
  bool Https() const { return m_https; }

  // Starts the drag of the trash gesture now, as a press-and-move does. Returns the drop action.
  Qt::DropAction StartTrashDrag();
  // The end of that drag: a move means the entries went to the trash (or to another program).
  void OnTrashDragEnded(Qt::DropAction result);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent*) override {}

 private:
  void BeginDragFromPress();
  bool AcceptsDrop(const class QMimeData* data, std::string& url) const;

  QTimer m_dragDelay;  // a press held this long starts the drag without a move
  QPoint m_pressPos;
  bool m_dragArmed = false;
  int m_extent = 0;
  bool m_https = false;
};

}  // namespace tk

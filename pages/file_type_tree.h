#pragma once
// The options page's tree of excludable file types: one root, the categories of Trawlkit.ini
// [FILETYPE] under it, their extensions under each. Every item carries a mark (not / partly /
// fully excluded) shown as its picture; clicking the picture toggles it.
#include <QTreeWidget>

#include <functional>
#include <string>

class QMenu;

namespace tk {

enum TypeMark { kMarkNone = 0, kMarkPartial = 1, kMarkExcluded = 2 };

class CFileTypeTree : public QTreeWidget {
  Q_OBJECT
 public:
  // Shows the add-type dialog; false when cancelled. Replaceable for tests.
  using AddPrompt = std::function<bool(CFileTypeTree* tree, std::string& category, std::string& ext)>;

  explicit CFileTypeTree(QWidget* parent = nullptr);

  // Rebuilds the tree from the categories and the project's ExcludeType.
  void FillTypeTree();
  // The marked extensions in tree order, joined and lower-cased: ".gif.jpg".
  std::string CollectExcludeType() const;
  // Replaces [FILETYPE] with the tree's categories and extensions (not the marks).
  void WriteTypeTree() const;
  void SetTypeMark(QTreeWidgetItem* item, int mark);
  // Recomputes the item's mark from its children, then its parent's, up to the root.
  void UpdateTypeMarks(QTreeWidgetItem* item);
  static int Mark(const QTreeWidgetItem* item);
  QTreeWidgetItem* Root() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }

  void AddType();
  void DeleteType();
  // Toggles the item's mark as a click on its picture does.
  void ToggleMark(QTreeWidgetItem* item);
  // The context menu for `item`; "削除(&D)" is greyed for the root. Owned by the caller.
  QMenu* BuildContextMenu(QTreeWidgetItem* item);
  void SetAddPrompt(AddPrompt prompt) { m_addPrompt = std::move(prompt); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool OnPicture(QTreeWidgetItem* item, const QPoint& pos) const;
  QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const std::string& text, int mark);

  AddPrompt m_addPrompt;
};

}  // namespace tk

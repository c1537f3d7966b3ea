#include "pages/file_type_tree.h"

#include <QMenu>
#include <QMouseEvent>

#include "base/text.h"
#include "pages/add_type_dlg.h"
#include "resources/images.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/app_ini.h"
#include "settings/file_types.h"
#include "settings/ini_file.h"
#include "settings/project.h"
#include "shell/message_box.h"

namespace tk {
namespace {

constexpr int kMarkRole = Qt::UserRole + 1;

std::string Text(const QTreeWidgetItem* item) { return item->text(0).toStdString(); }

QIcon MarkIcon(int mark) {
  static const int ids[] = {res::kBitmapMarkEmpty, res::kBitmapMarkPartial, res::kBitmapMarkExcluded};
  QIcon icon;
  for (qreal dpr : {1.0, 2.0}) icon.addPixmap(res::LoadBitmap(ids[mark], dpr));
  return icon;
}

// Every "." starts an extension running to the next "." or the end; text before the first "." is
// not an extension.
std::vector<std::string> SplitExtensions(const std::string& value) {
  std::vector<std::string> out;
  size_t dot = value.find('.');
  while (dot != std::string::npos) {
    const size_t next = value.find('.', dot + 1);
    out.push_back(value.substr(dot, next == std::string::npos ? std::string::npos : next - dot));
    dot = next;
  }
  return out;
}

bool AskAddType(CFileTypeTree* tree, std::string& category, std::string& ext) {
  CAddTypeDlg dialog(tree);
  if (dialog.exec() != QDialog::Accepted) return false;
  category = dialog.Category();
  ext = dialog.Extension();
  return true;
}

}  // namespace

CFileTypeTree::CFileTypeTree(QWidget* parent) : QTreeWidget(parent), m_addPrompt(AskAddType) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setIconSize(QSize(12, 11));
}

int CFileTypeTree::Mark(const QTreeWidgetItem* item) { return item->data(0, kMarkRole).toInt(); }

void CFileTypeTree::SetTypeMark(QTreeWidgetItem* item, int mark) {
  item->setData(0, kMarkRole, mark);
  item->setIcon(0, MarkIcon(mark));
  for (int i = 0; i < item->childCount(); ++i) SetTypeMark(item->child(i), mark);
}

void CFileTypeTree::UpdateTypeMarks(QTreeWidgetItem* item) {
  for (; item; item = item->parent()) {
    bool none = false, excluded = false, partial = false;
    for (int i = 0; i < item->childCount(); ++i) {
      const int m = Mark(item->child(i));
      none |= m == kMarkNone;
      excluded |= m == kMarkExcluded;
      partial |= m == kMarkPartial;
    }
    int mark = kMarkNone;
    if (partial || (none && excluded))
      mark = kMarkPartial;
    else if (excluded)
      mark = kMarkExcluded;
    item->setData(0, kMarkRole, mark);
    item->setIcon(0, MarkIcon(mark));
  }
}

QTreeWidgetItem* CFileTypeTree::AddItem(QTreeWidgetItem* parent, const std::string& text, int mark) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, FromUtf8(text));
  item->setData(0, kMarkRole, mark);
  item->setIcon(0, MarkIcon(mark));
  return item;
}

void CFileTypeTree::FillTypeTree() {
  const std::vector<FileTypeCategory> categories = ReadFileTypeCategories();
  clear();
  QTreeWidgetItem* root = AddItem(nullptr, "除外ファイルタイプ", kMarkNone);
  for (const FileTypeCategory& category : categories) {
    QTreeWidgetItem* item = AddItem(root, category.Name, kMarkNone);
    for (const std::string& ext : SplitExtensions(category.Extensions))
      AddItem(item, ext, IsTypeIncluded(ext, Project().ExcludeType) ? kMarkNone : kMarkExcluded);
    UpdateTypeMarks(item);
  }
  root->setExpanded(true);
  scrollToItem(root, QAbstractItemView::PositionAtTop);
}

std::string CFileTypeTree::CollectExcludeType() const {
  std::string result;
  if (QTreeWidgetItem* root = Root())
    for (int c = 0; c < root->childCount(); ++c)
      for (int e = 0; e < root->child(c)->childCount(); ++e)
        if (Mark(root->child(c)->child(e)) == kMarkExcluded) result += Text(root->child(c)->child(e));
  return AsciiLower(result);
}

void CFileTypeTree::WriteTypeTree() const {
  std::vector<std::string> lines;
  if (QTreeWidgetItem* root = Root()) {
    for (int c = 0; c < root->childCount(); ++c) {
      std::string line = Text(root->child(c)) + "=";
      for (int e = 0; e < root->child(c)->childCount(); ++e) line += Text(root->child(c)->child(e));
      lines.push_back(std::move(line));
    }
  }
  EnsureAppIniFolder();
  IniWriteSection(AppIniPath(), kFileTypeSection, lines);
}

void CFileTypeTree::ToggleMark(QTreeWidgetItem* item) {
  SetTypeMark(item, Mark(item) == kMarkNone ? kMarkExcluded : kMarkNone);
  UpdateTypeMarks(item->parent());
}

bool CFileTypeTree::OnPicture(QTreeWidgetItem* item, const QPoint& pos) const {
  // The picture stands at the left end of the item's cell, after the indentation.
  const QRect cell = visualItemRect(item);
  return pos.x() >= cell.left() && pos.x() < cell.left() + iconSize().width() + 6;
}

void CFileTypeTree::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QTreeWidgetItem* item = itemAt(pos);
  if (event->button() == Qt::LeftButton && item && OnPicture(item, pos)) {
    setCurrentItem(item);
    ToggleMark(item);
    return;  // the click only toggles: no expanding, no editing
  }
  if (event->button() == Qt::RightButton) {
    if (item) setCurrentItem(item);
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

QMenu* CFileTypeTree::BuildContextMenu(QTreeWidgetItem* item) {
  auto* menu = new QMenu(this);
  menu->addAction(QStringLiteral("追加(&T)"), this, &CFileTypeTree::AddType);
  QAction* remove = menu->addAction(QStringLiteral("削除(&D)"), this, &CFileTypeTree::DeleteType);
  remove->setEnabled(item && item->parent());
  return menu;
}

void CFileTypeTree::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
      QMenu* menu = BuildContextMenu(item);
      menu->exec(event->globalPosition().toPoint());
      menu->deleteLater();
    }
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void CFileTypeTree::AddType() {
  QTreeWidgetItem* root = Root();
  std::string category, ext;
  if (!root || !m_addPrompt(this, category, ext)) return;
  QTreeWidgetItem* target = nullptr;
  for (int c = 0; c < root->childCount() && !target; ++c)
    if (EqualsNoCase(Text(root->child(c)), category)) target = root->child(c);
  if (!target) target = AddItem(root, category, kMarkNone);
  QTreeWidgetItem* item = AddItem(target, "." + ext, kMarkNone);
  UpdateTypeMarks(target);
  target->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item, QAbstractItemView::PositionAtTop);
  WriteTypeTree();
}

void CFileTypeTree::DeleteType() {
  QTreeWidgetItem* item = currentItem();
  QTreeWidgetItem* parent = item ? item->parent() : nullptr;
  if (!parent) return;  // the root, or nothing selected
  const bool category = parent == Root();
  const std::string question = res::FillIn(category ? res::kTextDeleteCategory : res::kTextDeleteType, Text(item));
  if (ShowMessage(this, question, res::kTextDeleteCaption, QMessageBox::Question,
                  QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
    return;
  delete item;
  UpdateTypeMarks(parent);
  WriteTypeTree();
}

}  // namespace tk

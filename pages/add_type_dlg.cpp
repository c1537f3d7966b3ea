#include "pages/add_type_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "base/text.h"
#include "pages/file_type_tree.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "shell/message_box.h"

namespace tk {
namespace {

// Characters that would break the [FILETYPE] line or the extension list they are stored in.
constexpr std::string_view kCategoryForbidden = ";,'\\\"?";
constexpr std::string_view kExtensionForbidden = "<>*\\/.;,'\"?";
// A category is also a key of Trawlkit.ini: "=" would end the key early and "[" or "]" could
// turn the line into a section header, so the category would come back as something else.
constexpr std::string_view kCategoryIniForbidden = "=[]";

}  // namespace

CAddTypeDlg::CAddTypeDlg(CFileTypeTree* tree)
    : QDialog(tree), m_controls(res::BuildDialog(*res::FindDialog(res::kDlgAddType), this)), m_tree(tree) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  QComboBox* combo = CategoryCombo();
  QString preset;
  if (QTreeWidgetItem* root = tree->Root()) {
    for (int c = 0; c < root->childCount(); ++c) combo->addItem(root->child(c)->text(0));
    if (QTreeWidgetItem* selected = tree->currentItem()) {
      if (selected->parent() == root)
        preset = selected->text(0);
      else if (selected->parent() && selected->parent()->parent() == root)
        preset = selected->parent()->text(0);
    }
  }
  combo->setEditText(preset);
  combo->setFocus();
  connect(m_controls.Get<QPushButton>(res::kIdOk), &QPushButton::clicked, this, &CAddTypeDlg::accept);
  connect(m_controls.Get<QPushButton>(res::kIdCancel), &QPushButton::clicked, this, &CAddTypeDlg::reject);
}

QComboBox* CAddTypeDlg::CategoryCombo() const { return m_controls.Get<QComboBox>(res::kAddTypeCategory); }
QLineEdit* CAddTypeDlg::ExtensionEdit() const { return m_controls.Get<QLineEdit>(res::kAddTypeExtension); }

bool CAddTypeDlg::ExtensionInUse(const std::string& dotted) const {
  QTreeWidgetItem* root = m_tree->Root();
  if (!root) return false;
  for (int c = 0; c < root->childCount(); ++c)
    for (int e = 0; e < root->child(c)->childCount(); ++e)
      if (EqualsNoCase(root->child(c)->child(e)->text(0).toStdString(), dotted)) return true;
  return false;
}

void CAddTypeDlg::accept() {
  // Taken as typed: no trimming. The tests are on ASCII bytes, which never occur inside a
  // multibyte UTF-8 character.
  m_category = CategoryCombo()->currentText().toStdString();
  m_extension = ExtensionEdit()->text().toStdString();
  auto fail = [this](std::string_view message, QWidget* focus) {
    ShowInputError(this, message);
    focus->setFocus();
  };
  if (m_category.empty()) return fail(res::kTextEnterCategory, CategoryCombo());
  if (m_extension.empty()) return fail(res::kTextEnterExtension, ExtensionEdit());
  if (m_category.find_first_of(kCategoryForbidden) != std::string::npos)
    return fail(res::FillIn(res::kTextCategoryForbidden, kCategoryForbidden), CategoryCombo());
  if (m_category.find_first_of(kCategoryIniForbidden) != std::string::npos)
    return fail(res::FillIn(res::kTextCategoryForbidden, kCategoryIniForbidden), CategoryCombo());
  if (m_extension.find_first_of(kExtensionForbidden) != std::string::npos)
    return fail(res::FillIn(res::kTextExtensionForbidden, kExtensionForbidden), ExtensionEdit());
  if (ExtensionInUse("." + m_extension)) return fail(res::kTextExtensionInUse, ExtensionEdit());
  QDialog::accept();
}

}  // namespace tk

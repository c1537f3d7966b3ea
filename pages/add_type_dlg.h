#pragma once
// Adds an excluded type: a category (an existing one or a new name) and an extension without its
// dot. OK passes only a category and an extension that are usable and an extension not yet used.
#include <QDialog>

#include <string>

#include "resources/dialog_builder.h"

class QComboBox;
class QLineEdit;

namespace tk {

class CFileTypeTree;

class CAddTypeDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAddTypeDlg(CFileTypeTree* tree);

  const std::string& Category() const { return m_category; }
  const std::string& Extension() const { return m_extension; }
  QComboBox* CategoryCombo() const;
  QLineEdit* ExtensionEdit() const;

 public slots:
  void accept() override;

 private:
  bool ExtensionInUse(const std::string& dotted) const;

  res::BuiltDialog m_controls;
  CFileTypeTree* m_tree;
  std::string m_category;
  std::string m_extension;
};

}  // namespace tk

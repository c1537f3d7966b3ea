#pragma once
// Turns a layout table into widgets inside a host widget (a page or a dialog).
#include <QWidget>

#include <functional>
#include <map>
#include <vector>

#include "resources/dialog_template.h"
#include "resources/dialog_units.h"

class QListWidget;

namespace tk::res {

// Lets a page put its own control class in place of the plain widget for a control of the
// layout; returning nullptr keeps the plain widget. The builder then positions the widget and
// applies the layout's text and styles as far as the widget's kind allows.
using ControlFactory = std::function<QWidget*(const ControlRow& row, QWidget* host)>;

class BuiltDialog {
 public:
  QWidget* Control(int id) const;
  template <class T>
  T* Get(int id) const {
    return qobject_cast<T*>(Control(id));
  }
  // Every widget of the layout in table order, addressed or not.
  const std::vector<QWidget*>& Widgets() const { return m_widgets; }
  const DialogUnits& Units() const { return m_units; }

 private:
  friend BuiltDialog BuildDialog(const DialogTemplate&, QWidget*, const ControlFactory&);
  explicit BuiltDialog(DialogUnits units) : m_units(units) {}

  DialogUnits m_units;
  std::map<int, QWidget*> m_byId;
  std::vector<QWidget*> m_widgets;
};

// Sets the host's font and fixed size, and for a top-level host its title. Control ids are kept
// in each widget's "controlId" property and object name "ctl<id>".
BuiltDialog BuildDialog(const DialogTemplate& dlg, QWidget* host, const ControlFactory& factory = {});

// The child of `host` built for control `id`, or nullptr.
QWidget* FindControlWidget(const QWidget* host, int id);

// Sorted list boxes keep their entries in the platform's order: ignoring letter case.
int InsertSorted(QListWidget* list, const QString& text);

}  // namespace tk::res

#include "resources/dialog_builder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "base/text.h"
#include "resources/images.h"
#include "resources/up_down.h"
#include "resources/utf8_text.h"

namespace tk::res {
namespace {

constexpr int kIconPixels = 32;

QString Text(const ControlRow& row) { return FromUtf8(row.text); }

QWidget* MakeLabel(const ControlRow& row, QWidget* host) {
  auto* label = new QLabel(Text(row), host);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  Qt::Alignment h = Qt::AlignLeft;
  if (row.style & kCentre) h = Qt::AlignHCenter;
  if (row.style & kRight) h = Qt::AlignRight;
  label->setAlignment(h | Qt::AlignTop);
  return label;
}

QWidget* MakeIcon(const ControlRow& row, QWidget* host) {
  auto* label = new QLabel(host);
  label->setPixmap(LoadIcon(row.image).pixmap(kIconPixels, kIconPixels));
  return label;
}

QWidget* MakeEdit(const ControlRow& row, QWidget* host) {
  if (row.style & kMultiLine) {
    auto* edit = new QPlainTextEdit(host);
    edit->setReadOnly(row.style & kReadOnly);
    if (row.style & kHScroll) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
  }
  auto* edit = new QLineEdit(Text(row), host);
  edit->setReadOnly(row.style & kReadOnly);
  return edit;
}

QWidget* MakeList(const ControlRow& row, QWidget* host) {
  auto* list = new QListWidget(host);
  list->setSelectionMode((row.style & kMultiSelect) ? QAbstractItemView::MultiSelection
                                                     : QAbstractItemView::SingleSelection);
  list->setHorizontalScrollBarPolicy((row.style & kHScroll) ? Qt::ScrollBarAsNeeded
                                                             : Qt::ScrollBarAlwaysOff);
  list->setProperty("sorted", (row.style & kSorted) != 0);
  return list;
}

QWidget* MakeCombo(const ControlRow& row, QWidget* host) {
  auto* combo = new QComboBox(host);
  combo->setEditable(row.style & kEditable);
  // A typed text is the combo's text only; it never joins the drop-down list by itself.
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

QWidget* MakeTree(const ControlRow& row, QWidget* host) {
  auto* tree = new QTreeWidget(host);
  tree->setHeaderHidden(true);
  tree->setRootIsDecorated(row.style & kTreeLines);
  return tree;
}

QWidget* MakeDefault(const ControlRow& row, QWidget* host) {
  switch (row.kind) {
    case ControlKind::Label: return MakeLabel(row, host);
    case ControlKind::Icon: return MakeIcon(row, host);
    case ControlKind::CheckBox: return new QCheckBox(Text(row), host);
    case ControlKind::RadioButton: return new QRadioButton(Text(row), host);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: return new QPushButton(Text(row), host);
    case ControlKind::IconButton: return new QPushButton(host);
    case ControlKind::Edit: return MakeEdit(row, host);
    case ControlKind::ListBox: return MakeList(row, host);
    case ControlKind::ComboBox: return MakeCombo(row, host);
    case ControlKind::GroupBox: return new QGroupBox(Text(row), host);
    case ControlKind::TreeView: return MakeTree(row, host);
    case ControlKind::UpDown: return new UpDownControl(host);
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(host);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
  }
  return new QWidget(host);
}

QRect Geometry(const ControlRow& row, const DialogUnits& units, QWidget* widget) {
  QRect r = units.Rect(row.x, row.y, row.cx, row.cy);
  if (row.kind == ControlKind::Icon) {
    // A picture control takes the icon's own size, whatever the layout says.
    r.setSize({kIconPixels, kIconPixels});
  } else if (row.kind == ControlKind::ComboBox) {
    // The layout's height is that of the dropped-down list; the closed combo is one line.
    r.setHeight(widget->sizeHint().height());
  } else if (row.kind == ControlKind::CheckBox || row.kind == ControlKind::RadioButton) {
    // The box and its whole text, whatever the font and scale: a layout drawn for an 8-point
    // Windows font cuts the frame off at the bottom and the text at the right. The box grows
    // about the layout's middle line, so it stays level with its neighbours.
    const QSize hint = widget->sizeHint();
    if (r.height() < hint.height()) {
      r.moveTop(r.top() - (hint.height() - r.height()) / 2);
      r.setHeight(hint.height());
    }
    r.setWidth(std::max(r.width(), hint.width()));
  }
  return r;
}

// Applies what the layout says about the widget, whichever class it is.
void ApplyStyle(const ControlRow& row, QWidget* widget) {
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    if (row.kind == ControlKind::DefPushButton) button->setDefault(true);
    if (row.kind == ControlKind::IconButton) {
      button->setText(QString());
      button->setAccessibleName(Text(row));
      button->setIcon(LoadIcon(row.image));
      const int side = std::min(button->width(), button->height()) - 6;
      button->setIconSize(QSize(std::min(side, kIconPixels), std::min(side, kIconPixels)));
    }
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) combo->setEditable(row.style & kEditable);
}

// Columns made of blanks and tabs stay columns: every character, and every tab stop (eight
// characters apart, as in a terminal), is a whole number of the same width.
void ApplyFixedPitch(const DialogTemplate& dlg, QWidget* widget) {
  const QFont font = FixedPitchFont(dlg);
  widget->setFont(font);
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
    edit->setTabStopDistance(8 * QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')));
}

// A label's "&" mnemonic moves the focus to the next control of the table that takes it, as the
// platform's dialogs did; without a buddy Qt would show the "&" itself.
void AttachMnemonicBuddies(const DialogTemplate& dlg, const std::vector<QWidget*>& widgets) {
  for (size_t i = 0; i < dlg.controls.size(); ++i) {
    const ControlRow& row = dlg.controls[i];
    if (row.kind != ControlKind::Label || (row.style & kNoPrefix) || row.text.find('&') == std::string_view::npos)
      continue;
    auto* label = qobject_cast<QLabel*>(widgets[i]);
    for (size_t j = i + 1; label && j < dlg.controls.size(); ++j) {
      if (dlg.controls[j].style & kTabStop) {
        label->setBuddy(widgets[j]);
        break;
      }
    }
  }
}

}  // namespace

QWidget* BuiltDialog::Control(int id) const {
  auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : it->second;
}

BuiltDialog BuildDialog(const DialogTemplate& dlg, QWidget* host, const ControlFactory& factory) {
  const QFont font = DialogFont(dlg);
  host->setFont(font);
  BuiltDialog built{DialogUnits(font)};
  const DialogUnits& units = built.m_units;
  host->setFixedSize(units.Size(dlg.cx, dlg.cy));
  if (host->isWindow()) host->setWindowTitle(FromUtf8(dlg.caption));

  QButtonGroup* radios = nullptr;
  QWidget* previous = nullptr;
  for (const ControlRow& row : dlg.controls) {
    QWidget* widget = factory ? factory(row, host) : nullptr;
    if (!widget) widget = MakeDefault(row, host);
    if (widget->parentWidget() != host) widget->setParent(host);
    widget->setGeometry(Geometry(row, units, widget));
    ApplyStyle(row, widget);
    if (row.style & kFixedPitch) ApplyFixedPitch(dlg, widget);
    widget->setProperty("controlId", row.id);
    if (row.id != kNoId) {
      widget->setObjectName(QStringLiteral("ctl%1").arg(row.id));
      built.m_byId[row.id] = widget;
    }
    // A control with the group style ends the previous group of radio buttons.
    if (row.style & kGroup) radios = nullptr;
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
      if (!radios) radios = new QButtonGroup(host);
      radio->setAutoExclusive(false);
      radios->addButton(radio, row.id);
    }
    if (auto* upDown = qobject_cast<UpDownControl*>(widget))
      upDown->SetBuddy(qobject_cast<QLineEdit*>(previous), row.style & kRight, row.style & kArrowKeys);
    widget->show();
    built.m_widgets.push_back(widget);
    previous = widget;
  }
  AttachMnemonicBuddies(dlg, built.m_widgets);
  return built;
}

QWidget* FindControlWidget(const QWidget* host, int id) {
  return host->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

int InsertSorted(QListWidget* list, const QString& text) {
  const std::string key = text.toStdString();
  int lo = 0, hi = list->count();
  // After equal entries, as a sorted list box places a repeated string.
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (CompareNoCase(list->item(mid)->text().toStdString(), key) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  list->insertItem(lo, text);
  return lo;
}

}  // namespace tk::res

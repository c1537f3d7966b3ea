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

QString Text(const ControlSpec& spec) { return FromUtf8(spec.text); }

QWidget* MakeLabel(const ControlSpec& spec, QWidget* host) {
  auto* label = new QLabel(Text(spec), host);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  Qt::Alignment h = Qt::AlignLeft;
  if (spec.style & kCentre) h = Qt::AlignHCenter;
  if (spec.style & kRight) h = Qt::AlignRight;
  label->setAlignment(h | Qt::AlignTop);
  return label;
}

QWidget* MakeIcon(const ControlSpec& spec, QWidget* host) {
  auto* label = new QLabel(host);
  label->setPixmap(LoadIcon(spec.image).pixmap(kIconPixels, kIconPixels));
  return label;
}

QWidget* MakeEdit(const ControlSpec& spec, QWidget* host) {
  if (spec.style & kMultiLine) {
    auto* edit = new QPlainTextEdit(host);
    edit->setReadOnly(spec.style & kReadOnly);
    if (spec.style & kHScroll) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
  }
  auto* edit = new QLineEdit(Text(spec), host);
  edit->setReadOnly(spec.style & kReadOnly);
  return edit;
}

QWidget* MakeList(const ControlSpec& spec, QWidget* host) {
  auto* list = new QListWidget(host);
  list->setSelectionMode((spec.style & kMultiSelect) ? QAbstractItemView::MultiSelection
                                                     : QAbstractItemView::SingleSelection);
  list->setHorizontalScrollBarPolicy((spec.style & kHScroll) ? Qt::ScrollBarAsNeeded
                                                             : Qt::ScrollBarAlwaysOff);
  list->setProperty("sorted", (spec.style & kSorted) != 0);
  return list;
}

QWidget* MakeCombo(const ControlSpec& spec, QWidget* host) {
  auto* combo = new QComboBox(host);
  combo->setEditable(spec.style & kEditable);
  // A typed text is the combo's text only; it never joins the drop-down list by itself.
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

QWidget* MakeTree(const ControlSpec& spec, QWidget* host) {
  auto* tree = new QTreeWidget(host);
  tree->setHeaderHidden(true);
  tree->setRootIsDecorated(spec.style & kTreeLines);
  return tree;
}

QWidget* MakeDefault(const ControlSpec& spec, QWidget* host) {
  switch (spec.kind) {
    case ControlKind::Label: return MakeLabel(spec, host);
    case ControlKind::Icon: return MakeIcon(spec, host);
    case ControlKind::CheckBox: return new QCheckBox(Text(spec), host);
    case ControlKind::RadioButton: return new QRadioButton(Text(spec), host);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: return new QPushButton(Text(spec), host);
    case ControlKind::IconButton: return new QPushButton(host);
    case ControlKind::Edit: return MakeEdit(spec, host);
    case ControlKind::ListBox: return MakeList(spec, host);
    case ControlKind::ComboBox: return MakeCombo(spec, host);
    case ControlKind::GroupBox: return new QGroupBox(Text(spec), host);
    case ControlKind::TreeView: return MakeTree(spec, host);
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

QRect Geometry(const ControlSpec& spec, const DialogUnits& units, QWidget* widget) {
  QRect r = units.Rect(spec.x, spec.y, spec.cx, spec.cy);
  if (spec.kind == ControlKind::Icon) {
    // A picture control takes the icon's own size, whatever the layout says.
    r.setSize({kIconPixels, kIconPixels});
  } else if (spec.kind == ControlKind::ComboBox) {
    // The layout's height is that of the dropped-down list; the closed combo is one line.
    r.setHeight(widget->sizeHint().height());
  } else if (spec.kind == ControlKind::CheckBox || spec.kind == ControlKind::RadioButton) {
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
void ApplyStyle(const ControlSpec& spec, QWidget* widget) {
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    if (spec.kind == ControlKind::DefPushButton) button->setDefault(true);
    if (spec.kind == ControlKind::IconButton) {
      button->setText(QString());
      button->setAccessibleName(Text(spec));
      button->setIcon(LoadIcon(spec.image));
      const int side = std::min(button->width(), button->height()) - 6;
      button->setIconSize(QSize(std::min(side, kIconPixels), std::min(side, kIconPixels)));
    }
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) combo->setEditable(spec.style & kEditable);
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
    const ControlSpec& spec = dlg.controls[i];
    if (spec.kind != ControlKind::Label || (spec.style & kNoPrefix) || spec.text.find('&') == std::string_view::npos)
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
  for (const ControlSpec& spec : dlg.controls) {
    QWidget* widget = factory ? factory(spec, host) : nullptr;
    if (!widget) widget = MakeDefault(spec, host);
    if (widget->parentWidget() != host) widget->setParent(host);
    widget->setGeometry(Geometry(spec, units, widget));
    ApplyStyle(spec, widget);
    if (spec.style & kFixedPitch) ApplyFixedPitch(dlg, widget);
    widget->setProperty("controlId", spec.id);
    if (spec.id != kNoId) {
      widget->setObjectName(QStringLiteral("ctl%1").arg(spec.id));
      built.m_byId[spec.id] = widget;
    }
    // A control with the group style ends the previous group of radio buttons.
    if (spec.style & kGroup) radios = nullptr;
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
      if (!radios) radios = new QButtonGroup(host);
      radio->setAutoExclusive(false);
      radios->addButton(radio, spec.id);
    }
    if (auto* upDown = qobject_cast<UpDownControl*>(widget))
      upDown->SetBuddy(qobject_cast<QLineEdit*>(previous), spec.style & kRight, spec.style & kArrowKeys);
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

// Layouts built into real widgets: positions in dialog units, the kinds and styles that change
// behaviour, radio groups, the spin arrows and the sorted insertion of list boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/up_down.h"

namespace tk::res {
namespace {

TEST(DialogUnits, ScaleWithTheFontsBaseUnitsAndRoundLikeMulDiv) {
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.X(4), 6);
  EXPECT_EQ(units.Y(8), 13);
  EXPECT_EQ(units.X(331), 497);  // 496.5 rounds away from zero
  EXPECT_EQ(units.Y(211), 343);  // 342.875
  EXPECT_EQ(units.X(-3), -5);    // -4.5
  EXPECT_EQ(units.Rect(3, 23, 294, 110), QRect(5, 37, 441, 179));
}

TEST(DialogUnits, DialogFontIsTheJapaneseGothicAtTheLayoutsSize) {
  const QFont font = DialogFont(*FindDialog(kDlgAbout));
  EXPECT_EQ(font.pointSize(), 9);
  // fonts-ipafont-gothic is installed by scripts/bootstrap; without it every text is boxes.
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
  const DialogUnits units(font);
  EXPECT_GT(units.BaseX(), 2);
  EXPECT_GT(units.BaseY(), units.BaseX());
}

TEST(DialogBuilder, PlacesEveryControlAtItsConvertedRectangle) {
  QDialog host;
  const DialogTemplate& intro = *FindDialog(kDlgIntro);
  const BuiltDialog built = BuildDialog(intro, &host);
  const DialogUnits& u = built.Units();
  EXPECT_EQ(host.size(), u.Size(331, 211));
  EXPECT_EQ(host.windowTitle(), QStringLiteral("Trawlkit案内"));
  ASSERT_EQ(built.Widgets().size(), intro.controls.size());

  auto* box = built.Get<QCheckBox>(kIntroHideCheck);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), QStringLiteral("次回から表示しない"));
  EXPECT_EQ(box->geometry().topLeft().x(), u.X(117));
  EXPECT_EQ(box->geometry().center().y(), u.Rect(117, 180, 84, 10).center().y());
  EXPECT_EQ(FindControlWidget(&host, kIntroHideCheck), box);

  // The centred hint line and the icon, which takes the icon's own 32 x 32 size.
  auto* hint = qobject_cast<QLabel*>(built.Widgets().back());
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->alignment() & Qt::AlignHCenter);
  auto* icon = qobject_cast<QLabel*>(built.Widgets()[6]);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->geometry(), QRect(u.X(21), u.Y(55), 32, 32));
  EXPECT_FALSE(icon->pixmap().isNull());
}

TEST(DialogBuilder, KindsAndStylesBecomeWidgetBehaviour) {
  QWidget start, download, urlInput;
  const BuiltDialog s = BuildDialog(*FindDialog(kDlgStart), &start);
  auto* list = s.Get<QListWidget>(kStartUrlList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::MultiSelection);
  EXPECT_TRUE(list->property("sorted").toBool());
  auto* add = s.Get<QPushButton>(kStartAdd);
  ASSERT_NE(add, nullptr);
  EXPECT_TRUE(add->text().isEmpty());  // shows its icon instead of "追加"
  EXPECT_FALSE(add->icon().isNull());
  EXPECT_EQ(add->accessibleName(), QStringLiteral("追加"));

  const BuiltDialog d = BuildDialog(*FindDialog(kDlgDownload), &download);
  auto* log = d.Get<QPlainTextEdit>(kDownloadLog);
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);

  const BuiltDialog u = BuildDialog(*FindDialog(kDlgUrlInput), &urlInput);
  auto* combo = u.Get<QComboBox>(kUrlInputCombo);
  ASSERT_NE(combo, nullptr);
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
  // The closed combo is one line high, not the 58 units of its list.
  EXPECT_LT(combo->height(), u.Units().Y(58));
  EXPECT_TRUE(u.Get<QPushButton>(kIdOk)->isDefault());
}

TEST(DialogBuilder, RadioButtonsAreExclusiveWithinTheirGroupOnly) {
  QWidget options;
  const BuiltDialog b = BuildDialog(*FindDialog(kDlgOptions), &options);
  auto radio = [&](int id) { return b.Get<QRadioButton>(id); };
  for (int id : {kOptionsStartOnly, kOptionsLayers, kOptionsSameSite, kOptionsAllSites, kOptionsFlat, kOptionsServerDirs})
    ASSERT_NE(radio(id), nullptr) << id;
  radio(kOptionsStartOnly)->click();
  radio(kOptionsSameSite)->click();
  radio(kOptionsServerDirs)->click();
  EXPECT_TRUE(radio(kOptionsStartOnly)->isChecked());
  EXPECT_TRUE(radio(kOptionsSameSite)->isChecked());
  EXPECT_TRUE(radio(kOptionsServerDirs)->isChecked());
  radio(kOptionsLayers)->click();
  EXPECT_FALSE(radio(kOptionsStartOnly)->isChecked());
  EXPECT_TRUE(radio(kOptionsLayers)->isChecked());
  EXPECT_TRUE(radio(kOptionsSameSite)->isChecked());  // the other groups keep their choice
  EXPECT_TRUE(radio(kOptionsServerDirs)->isChecked());
  EXPECT_EQ(radio(kOptionsStartOnly)->group(), radio(kOptionsLayers)->group());
  EXPECT_NE(radio(kOptionsStartOnly)->group(), radio(kOptionsSameSite)->group());
  EXPECT_NE(radio(kOptionsSameSite)->group(), radio(kOptionsFlat)->group());
}

TEST(DialogBuilder, SpinArrowsStepTheirBuddyInsideTheRange) {
  QWidget options;
  const BuiltDialog b = BuildDialog(*FindDialog(kDlgOptions), &options);
  auto* spin = b.Get<UpDownControl>(kOptionsLayerSpin);
  auto* edit = b.Get<QLineEdit>(kOptionsLayerField);
  ASSERT_NE(spin, nullptr);
  ASSERT_EQ(spin->Buddy(), edit);
  // Aligned right: the arrows take the buddy's right end, where the layout drew them.
  EXPECT_EQ(edit->geometry().right() + 1, spin->geometry().left());
  EXPECT_EQ(spin->geometry().right(), b.Units().X(279) + b.Units().X(28) - 1);
  spin->SetRange(0, 10);
  edit->setText(QStringLiteral("9"));
  spin->Step(1);
  EXPECT_EQ(edit->text(), QStringLiteral("10"));
  spin->Step(1);
  EXPECT_EQ(edit->text(), QStringLiteral("10"));
  edit->setText(QStringLiteral("abc"));  // no number reads as 0
  spin->Step(-1);
  EXPECT_EQ(edit->text(), QStringLiteral("0"));
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QCoreApplication::sendEvent(edit, &up);
  EXPECT_EQ(edit->text(), QStringLiteral("1"));
  edit->setEnabled(false);  // a disabled field is not counted
  spin->Step(1);
  EXPECT_EQ(edit->text(), QStringLiteral("1"));
}

// Every check box and radio button shows its whole box and text, and the layer field holds
// "10" beside its arrows without running into its label.
TEST(DialogBuilder, EveryControlShowsWhole) {
  for (int id : {kDlgAbout, kDlgOptions, kDlgDownload, kDlgStart, kDlgUrlInput, kDlgAddType, kDlgOverwrite,
                 kDlgCancelWait, kDlgIntro, kDlgProjectInput, kDlgAdvanced}) {
    QWidget host;
    const BuiltDialog b = BuildDialog(*FindDialog(id), &host);
    for (QWidget* w : b.Widgets()) {
      if (!qobject_cast<QCheckBox*>(w) && !qobject_cast<QRadioButton*>(w)) continue;
      const QString name = static_cast<QAbstractButton*>(w)->text();
      EXPECT_GE(w->width(), w->sizeHint().width()) << id << " " << name.toStdString();
      EXPECT_GE(w->height(), w->sizeHint().height()) << id << " " << name.toStdString();
      EXPECT_TRUE(host.rect().contains(w->geometry())) << id << " " << name.toStdString();
    }
  }
  QWidget options;
  const BuiltDialog b = BuildDialog(*FindDialog(kDlgOptions), &options);
  auto* edit = b.Get<QLineEdit>(kOptionsLayerField);
  const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
  EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(QStringLiteral("10")) + 2 * frame + 4);
  const QWidget* layers = nullptr;  // the "層" after the arrows
  for (QWidget* w : b.Widgets())
    if (auto* label = qobject_cast<QLabel*>(w); label && label->text() == QStringLiteral("層")) layers = w;
  ASSERT_NE(layers, nullptr);
  EXPECT_LE(b.Get<UpDownControl>(kOptionsLayerSpin)->geometry().right(), layers->x());
  EXPECT_GE(layers->width(), layers->sizeHint().width());
}

// A window manager's title bar shows the title in a larger, bold face beside its icon, buttons
// and margins: estimated here as the dialog's family at 11 points bold, and six of its line
// heights for the rest (a 126-unit dialog showed "除外ファイ…イプ追加"). The pages show the
// sheet's title instead of their own.
TEST(DialogBuilder, DialogsAreWideEnoughForTheirTitles) {
  for (const DialogTemplate* dlg : AllDialogs()) {
    if (dlg->id == kDlgOptions || dlg->id == kDlgStart || dlg->id == kDlgDownload || dlg->id == kDlgIntro) continue;
    QDialog host;
    BuildDialog(*dlg, &host);
    QFont title = DialogFont(*dlg);
    title.setPointSize(11);
    title.setBold(true);
    const QFontMetrics m(title);
    EXPECT_GE(host.width(), m.horizontalAdvance(host.windowTitle()) + 6 * m.height()) << dlg->id;
  }
}

// A button inside a frame stands clear below the frame's title, as the style draws it.
TEST(DialogBuilder, ButtonsInAFrameStandClearOfItsTitle) {
  for (int id : {kDlgOptions, kDlgAdvanced}) {
    QWidget host;
    const BuiltDialog b = BuildDialog(*FindDialog(id), &host);
    for (QWidget* frame : b.Widgets()) {
      auto* group = qobject_cast<QGroupBox*>(frame);
      if (!group) continue;
      QStyleOptionGroupBox option;
      option.initFrom(group);
      option.text = group->title();
      option.lineWidth = 1;
      option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      option.textAlignment = group->alignment();
      const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
      for (QWidget* w : b.Widgets()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button || !group->geometry().contains(w->geometry().center())) continue;
        const std::string name = std::to_string(id) + " " + button->text().toStdString();
        EXPECT_GT(w->y() - group->y(), title.bottom() + 1) << name;
        EXPECT_LE(w->geometry().bottom(), group->geometry().bottom()) << name;
      }
    }
  }
}

// The run's summary pads its columns with blanks after a tab: in the log box every character is
// as wide as every other, so the heading and the figures under it end at the same place.
TEST(DialogBuilder, TheLogBoxUsesTheFixedPitchFaceOfTheDialogFamily) {
  QWidget download;
  const BuiltDialog b = BuildDialog(*FindDialog(kDlgDownload), &download);
  auto* log = b.Get<QPlainTextEdit>(kDownloadLog);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(QFontInfo(log->font()).family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(log->font().pointSize(), 8);
  const QFontMetrics m(log->font());
  const QString heading = QStringLiteral("   [Files dowloaded]            [Errors]");
  const QString figures = QStringLiteral("                  12                   0");
  EXPECT_EQ(m.horizontalAdvance(heading), m.horizontalAdvance(figures));
  EXPECT_EQ(log->tabStopDistance(), 8 * QFontMetricsF(log->font()).horizontalAdvance(QLatin1Char(' ')));
  // Everything else keeps the proportional face.
  EXPECT_EQ(QFontInfo(b.Control(kDownloadCounters)->font()).family(), QStringLiteral("IPAPGothic"));
}

TEST(DialogBuilder, FactorySuppliesThePagesOwnControlClasses) {
  QWidget start;
  QPushButton* own = nullptr;
  const BuiltDialog b = BuildDialog(*FindDialog(kDlgStart), &start,
                                    [&](const ControlRow& row, QWidget*) -> QWidget* {
                                      if (row.id != kStartDelete) return nullptr;
                                      own = new QPushButton;  // parented by the builder
                                      return own;
                                    });
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(b.Control(kStartDelete), own);
  EXPECT_EQ(own->parentWidget(), &start);
  EXPECT_EQ(own->geometry(), b.Units().Rect(303, 108, 24, 25));
  EXPECT_FALSE(own->icon().isNull());
}

TEST(InsertSorted, OrdersIgnoringLetterCaseAndPutsRepeatsAfterTheirEqual) {
  QListWidget list;
  for (const char* s : {"http://b/", "HTTP://C/", "ftp://z/", "http://a/", "Http://B/"})
    InsertSorted(&list, QString::fromLatin1(s));
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
  EXPECT_EQ(texts, QStringList({QStringLiteral("ftp://z/"), QStringLiteral("http://a/"),
                                QStringLiteral("http://b/"), QStringLiteral("Http://B/"),
                                QStringLiteral("HTTP://C/")}));
}

}  // namespace
}  // namespace tk::res

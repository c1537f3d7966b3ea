// The start-URL list on the real start page: deleting, the delete button's animation, the
// horizontal extent, the Delete and Insert keys and what a press does to the selection.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "pages/delete_button.h"
#include "support/page_test_util.h"
#include "pages/start_pg.h"
#include "pages/url_drop_combo.h"
#include "pages/url_input_dlg.h"
#include "pages/url_list_box.h"
#include "pages/delete_button.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

struct ListFixture : test::WizardFixture {
  CStartPg* page;
  CUrlListBox* list;
  ListFixture() : WizardFixture(kStartPage) {
    page = Page<CStartPg>(kStartPage);
    list = page->List();
  }
  void Fill(std::initializer_list<const char*> urls) {
    for (const char* u : urls) list->AddUrl(u);
  }
  QStringList Texts() const {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
  }
  void Key(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &press);
  }
  void Press(int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), list->viewport()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), list->viewport()->mapToGlobal(QPointF(at)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &release);
  }
};

TEST(UrlListBox, DeleteKeyRemovesTheSelectedEntriesAndPlaysTheAnimation) {
  ListFixture f;
  f.Fill({"http://a/", "http://b/", "http://c/", "http://d/", "http://e/"});
  for (int row : {1, 3, 4}) f.list->item(row)->setSelected(true);
  f.Key(Qt::Key_Delete);
  EXPECT_EQ(f.Texts(), QStringList({QStringLiteral("http://a/"), QStringLiteral("http://c/")}));
  EXPECT_EQ(f.page->DeleteButton()->AnimStep(), 1);
  EXPECT_TRUE(f.page->DeleteButton()->TimerRunning());
}

TEST(UrlListBox, NothingSelectedDeletesNothingAndPlaysNothing) {
  ListFixture f;
  f.Fill({"http://a/"});
  f.Key(Qt::Key_Delete);
  f.page->OnDelete();
  EXPECT_EQ(f.list->count(), 1);
  EXPECT_FALSE(f.page->DeleteButton()->TimerRunning());
}

TEST(UrlListBox, AWideEntryGivesAnExtentUntilItIsDeleted) {
  ListFixture f;
  f.Fill({"http://a/"});
  EXPECT_EQ(f.list->HorizontalExtent(), 0);
  f.list->AddUrl("http://b/" + std::string(400, 'x'));
  EXPECT_GT(f.list->HorizontalExtent(), f.list->width());
  EXPECT_NE(f.list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  f.list->item(1)->setSelected(true);
  f.list->DeleteSelectedUrls();
  EXPECT_EQ(f.list->HorizontalExtent(), 0);
  EXPECT_EQ(f.list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(UrlListBox, APressTogglesTheEntryUnderThePointer) {
  ListFixture f;
  f.Fill({"http://a/", "http://b/"});
  f.Press(0);
  f.Press(1);
  EXPECT_EQ(f.list->selectedItems().size(), 2);
  // With A and B selected, a press on A deselects it before any drag, leaving B to be dragged.
  f.Press(0);
  ASSERT_EQ(f.list->selectedItems().size(), 1);
  EXPECT_EQ(f.list->selectedItems().front()->text(), QStringLiteral("http://b/"));
  f.Press(1);  // the only selected entry: deselected, so nothing could be dragged
  EXPECT_TRUE(f.list->selectedItems().isEmpty());
  EXPECT_EQ(f.list->StartTrashDrag(), Qt::IgnoreAction);
}

TEST(UrlListBox, OnlyADragEndingAsAMoveDeletesTheSelection) {
  ListFixture f;
  f.Fill({"http://a/", "http://b/", "http://c/"});
  f.list->item(1)->setSelected(true);
  // The offscreen platform ends every drag at once without a drop: an aborted drag.
  const QPoint at = f.list->visualItemRect(f.list->item(0)).center();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), f.list->viewport()->mapToGlobal(QPointF(at)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(f.list->viewport(), &press);
  const QPointF away(at.x() + 30, at.y());
  QMouseEvent move(QEvent::MouseMove, away, f.list->viewport()->mapToGlobal(away), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(f.list->viewport(), &move);
  EXPECT_EQ(f.list->count(), 3);
  EXPECT_EQ(f.list->selectedItems().size(), 2);  // the press selected A as well
  f.list->OnTrashDragEnded(Qt::CopyAction);
  f.list->OnTrashDragEnded(Qt::IgnoreAction);
  EXPECT_EQ(f.list->count(), 3);
  f.list->OnTrashDragEnded(Qt::MoveAction);
  EXPECT_EQ(f.Texts(), QStringList({QStringLiteral("http://c/")}));
  EXPECT_TRUE(f.page->DeleteButton()->TimerRunning());
}

TEST(UrlListBox, InsertKeyAddsANewUrlFromTheInputDialog) {
  ListFixture f;
  f.Fill({"http://a/x.html"});
  auto answer = [](const char* text) {
    test::WhenModal([text](QWidget* modal) {
      auto* dialog = qobject_cast<CUrlInputDlg*>(modal);
      if (!dialog) return modal->close(), void();
      dialog->Combo()->setEditText(QString::fromLatin1(text));
      dialog->accept();
    });
  };
  answer("HTTP://A/X.HTML");
  f.Key(Qt::Key_Insert);
  EXPECT_EQ(f.list->count(), 1);  // held already, in another case
  answer("ftp://b/");
  f.Key(Qt::Key_Insert);
  EXPECT_EQ(f.Texts(), QStringList({QStringLiteral("ftp://b/"), QStringLiteral("http://a/x.html")}));
  EXPECT_EQ(UrlHistory().Entries().front(), "ftp://b/");
}

}  // namespace
}  // namespace tk

// The dialogs a run opens, answered as a user answers them.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "monitor/cancel_wait_dialog.h"
#include "monitor/overwrite_dialog.h"
#include "monitor/password_dialog.h"
#include "monitor_test_util.h"
#include "support/gui_test.h"

namespace tk {
namespace {

int ExecOverwrite(const std::function<void(QWidget*)>& answer, QString* shownPath = nullptr) {
  COverwriteDlg dialog("www.example.com/dir/a.html");
  test::WhenModal([&](QWidget* modal) {
    if (shownPath) *shownPath = modal->findChild<QLabel*>(QStringLiteral("ctl1034"))->text();
    answer(modal);
  });
  return dialog.exec();
}

std::function<void(QWidget*)> Click(int id) {
  return [id](QWidget* modal) { modal->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id))->click(); };
}

TEST(COverwriteDlg, EachButtonEndsWithItsIdAndMapsToItsAnswer) {
  const struct {
    int id;
    OverwriteAnswer answer;
  } rows[] = {{1029, OverwriteAnswer::Overwrite},
              {1030, OverwriteAnswer::Skip},
              {1031, OverwriteAnswer::OverwriteAll},
              {1033, OverwriteAnswer::SkipAll}};
  for (const auto& r : rows) {
    const int result = ExecOverwrite(Click(r.id));
    EXPECT_EQ(result, r.id);
    EXPECT_EQ(COverwriteDlg::AnswerFor(result), r.answer) << r.id;
  }
}

TEST(COverwriteDlg, ShowsThePathAndEscapeSkips) {
  QString shown;
  const int result = ExecOverwrite([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }, &shown);
  EXPECT_EQ(shown, QStringLiteral("www.example.com/dir/a.html"));
  EXPECT_EQ(COverwriteDlg::AnswerFor(result), OverwriteAnswer::Skip);
  // Enter presses the button that has the focus when the dialog opens: the single overwrite,
  // never "all" by accident.
  const int entered = ExecOverwrite([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
  EXPECT_EQ(entered, COverwriteDlg::kOverwrite);
}

TEST(CPasswordDlg, OkGivesTheTypedCredentialsAndCancelNone) {
  {
    CPasswordDlg dialog("http://h/secret/", "h");
    test::WhenModal([](QWidget* modal) {
      auto* dlg = qobject_cast<CPasswordDlg*>(modal);
      QTest::keyClicks(dlg->UserEdit(), QStringLiteral("alice"));
      QTest::keyClicks(dlg->PasswordEdit(), QStringLiteral("s3cret"));
      QTest::keyClick(dlg->PasswordEdit(), Qt::Key_Return);
    });
    const auto login = dialog.Ask();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->User, "alice");
    EXPECT_EQ(login->Password, "s3cret");
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
  }
  {
    CPasswordDlg dialog("http://h/secret/", "h");
    test::WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_FALSE(dialog.Ask());
  }
}

TEST(CCancelWaitDlg, EscapeDoesNotEndItWhileTheWorkerRuns) {
  std::atomic<bool> running{true};
  CCancelWaitDlg dialog([&] { return running.load(); });
  EXPECT_EQ(dialog.PollTimer().interval(), 100);
  int escapes = 0;
  // Escape and a close request, twice over several ticks; then the worker ends.
  QTimer poke;
  poke.setInterval(60);
  QObject::connect(&poke, &QTimer::timeout, [&] {
    if (!dialog.isVisible()) return;
    if (escapes < 4) {
      ++escapes;
      QTest::keyClick(&dialog, Qt::Key_Escape);
      dialog.close();
      return;
    }
    running = false;
  });
  poke.start();
  const int result = dialog.exec();
  EXPECT_EQ(escapes, 4);
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_FALSE(dialog.PollTimer().isActive());
}

TEST(CCancelWaitDlg, ClosesAtTheFirstTickWhenTheWorkerHasEndedAlready) {
  CCancelWaitDlg dialog([] { return false; });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace tk

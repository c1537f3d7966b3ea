// The questions a run puts to the user, asked by the worker and answered in the wizard: the
// overwrite dialog, the login dialog and the hang-up question.
#include <QLineEdit>
#include <QTest>

#include "engine/inet_backend.h"
#include "monitor/overwrite_dlg.h"
#include "monitor/password_dlg.h"
#include "support/monitor_test_util.h"

namespace tk::test {
namespace {

using RunQuestions = PageFixture;
using Dlg = COverwriteDlg;

TEST_F(RunQuestions, OverwriteAnswersHoldForTheFileOrTheRestOfTheRun) {
  const ModalAnswers::Answer escape = [](QWidget* m) {
    if (qobject_cast<Dlg*>(m)) QTest::keyClick(m, Qt::Key_Escape);
    return qobject_cast<Dlg*>(m) != nullptr;
  };
  // Five existing files per run; the last answer of each run settles the files after it.
  const struct {
    std::vector<ModalAnswers::Answer> answers;
    std::string kept;  // per file: n = new content, o = old content kept
    int confirmAfter;
  } runs[] = {
      {{ClickControl<Dlg>(res::kOverwriteOne), ClickControl<Dlg>(res::kOverwriteSkip), escape,
        ClickControl<Dlg>(res::kOverwriteAll)},
       "noonn", 0},
      {{ClickControl<Dlg>(res::kOverwriteSkip), ClickControl<Dlg>(res::kOverwriteSkipAll)}, "ooooo", -1},
  };
  for (const auto& run : runs) {
    sheet.reset();
    Project().StartUrls.clear();
    Project().ConfirmOverwrite = 1;
    for (int i = 0; i < 5; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      Project().StartUrls.push_back(SiteFile(name, "new"));
      WriteFile(save / name, "old");
    }
    ModalAnswers answers;
    std::vector<QString> boxAtQuestion;  // the log box as each question came up
    for (const auto& a : run.answers)
      answers.Add([&, a](QWidget* m) {
        if (qobject_cast<Dlg*>(m)) boxAtQuestion.push_back(page->Get<QPlainTextEdit>(res::kDownloadLog)->toPlainText());
        return a(m);
      });
    RunToEnd();
    EXPECT_EQ(answers.seen.size(), run.answers.size()) << run.kept;  // none after an "all"
    // Each question about file k stops the worker before file k's line and shows file k-1's.
    const auto lineOf = [](std::size_t k) { return QString::fromStdString(Project().StartUrls[k] + "("); };
    for (std::size_t k = 0; k < boxAtQuestion.size(); ++k) {
      if (k > 0) {
        EXPECT_TRUE(boxAtQuestion[k].contains(lineOf(k - 1))) << run.kept << " question " << k;
      }
      EXPECT_FALSE(boxAtQuestion[k].contains(lineOf(k))) << run.kept << " question " << k;
      if (k + 1 < 5) {
        EXPECT_FALSE(boxAtQuestion[k].contains(lineOf(k + 1))) << run.kept << " question " << k;
      }
    }
    const std::string log = RunLog();
    for (int i = 0; i < 5; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      const bool kept = run.kept[static_cast<size_t>(i)] == 'o';
      EXPECT_EQ(ReadFile(save / name), kept ? "old" : "new") << run.kept << " " << name;
      const auto skipped = log.find(Project().StartUrls[static_cast<size_t>(i)] + "(SKIPPED:No overwrite)");
      EXPECT_EQ(skipped != std::string::npos, kept) << run.kept << " " << name;
    }
    EXPECT_EQ(Project().ConfirmOverwrite, run.confirmAfter);
  }
}

ModalAnswers::Answer Login(const char* user, const char* password) {
  return [=](QWidget* modal) {
    auto* dialog = qobject_cast<CPasswordDlg*>(modal);
    if (dialog && !user) dialog->reject();
    if (dialog && user) {
      QTest::keyClicks(dialog->UserEdit(), QString::fromLatin1(user));
      QTest::keyClicks(dialog->PasswordEdit(), QString::fromLatin1(password));
      QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Return);
    }
    return dialog != nullptr;
  };
}

TEST_F(RunQuestions, LoginDialogAnswersTheServersPasswordRequest) {
  const std::string refused = Url("/__/basic?user=ann&pw=pw1&realm=one");
  const std::string retried = Url("/__/basic?user=bob&pw=pw2&realm=two");
  Project().StartUrls = {refused, retried};
  Project().SaveFlat = 0;
  ModalAnswers answers;
  answers.Add(Login(nullptr, nullptr));
  answers.Add(Login("bob", "nope"));  // refused again: asked again
  answers.Add(Login("bob", "pw2"));
  RunToEnd();
  EXPECT_TRUE(answers.pending.empty());
  const std::string log = RunLog();
  EXPECT_NE(log.find(refused + "(NG:Cancelled by user)\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(retried + "(OK:Saved as["), std::string::npos) << log;
}

// The real internet layer, except that the connection is a modem's.
class ModemBackend : public LibraryBackend {
 public:
  explicit ModemBackend(NetworkPlaces places) : LibraryBackend(std::move(places)) {}
  std::optional<std::uint32_t> QueryConnectionState() override { return inet::kConnectionModem; }
  bool HangUp() override {
    ++hangUps;
    return true;
  }
  std::atomic<int> hangUps{0};
};

TEST_F(RunQuestions, HangUpQuestionOnlyForAModem) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
    ModemBackend modem({cache / "trawlkit", {}});
    MakeSheet();
    page->SetBackend(modem);
    ModalAnswers answers;
    QString caption;
    answers.Add(MessageBoxAnswer(QStringLiteral("切断してもいいですか?"), button, &caption));
    RunToEnd();
    EXPECT_EQ(caption, QStringLiteral("ダイアルアップ切断"));
    EXPECT_EQ(modem.hangUps, button == QMessageBox::Yes ? 1 : 0);
    sheet.reset();
  }
  // This platform's own connection state never asks.
  ModalAnswers answers;
  answers.Add([](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; });
  RunToEnd();
  EXPECT_TRUE(answers.seen.empty());
}

}  // namespace
}  // namespace tk::test

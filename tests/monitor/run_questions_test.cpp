// The questions a run puts to the user, asked by the worker and answered in the wizard: the
// overwrite dialog, the login dialog and the hang-up question.
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "engine/inet_backend.h"
#include "monitor/overwrite_dialog.h"
#include "monitor/password_dialog.h"
#include "page_fixture.h"

namespace tk::test {
namespace {

using RunQuestions = PageFixture;

ModalAnswers::Answer EscapeOverwrite() {
  return [](QWidget* modal) {
    if (!qobject_cast<COverwriteDlg*>(modal)) return false;
    QTest::keyClick(modal, Qt::Key_Escape);
    return true;
  };
}

TEST_F(RunQuestions, OverwriteAnswersDuringARun) {
  for (int i = 1; i <= 5; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    Project().StartUrls.push_back(SiteFile(name, "new" + std::to_string(i)));
    WriteFile(save / name, "old");
  }
  Project().ConfirmOverwrite = 1;
  ModalAnswers answers;
  QString shownPath;
  answers.Add([&](QWidget* modal) {
    if (!qobject_cast<COverwriteDlg*>(modal)) return false;
    shownPath = modal->findChild<QLabel*>(QStringLiteral("ctl1034"))->text();
    return ClickControl<COverwriteDlg>(COverwriteDlg::kOverwrite)(modal);
  });
  answers.Add(ClickControl<COverwriteDlg>(COverwriteDlg::kSkip));
  answers.Add(EscapeOverwrite());
  answers.Add(ClickControl<COverwriteDlg>(COverwriteDlg::kOverwriteAll));
  RunToEnd();

  EXPECT_TRUE(answers.pending.empty());
  EXPECT_EQ(answers.seen.size(), 4u);  // the fifth file is overwritten without a question
  EXPECT_EQ(shownPath, QStringLiteral("f1.txt"));
  EXPECT_EQ(ReadFile(save / "f1.txt"), "new1");
  EXPECT_EQ(ReadFile(save / "f2.txt"), "old");
  EXPECT_EQ(ReadFile(save / "f3.txt"), "old");
  EXPECT_EQ(ReadFile(save / "f4.txt"), "new4");
  EXPECT_EQ(ReadFile(save / "f5.txt"), "new5");
  const std::string log = RunLog();
  EXPECT_NE(log.find(Project().StartUrls[1] + "(SKIPPED:No overwrite)\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(Project().StartUrls[2] + "(SKIPPED:No overwrite)\r\n"), std::string::npos) << log;
  EXPECT_EQ(Project().ConfirmOverwrite, 0);
}

TEST_F(RunQuestions, SkipAllSkipsTheRestWithoutAsking) {
  for (const char* name : {"g1.txt", "g2.txt", "g3.txt"}) {
    Project().StartUrls.push_back(SiteFile(name, "new"));
    WriteFile(save / name, "old");
  }
  Project().ConfirmOverwrite = 1;
  ModalAnswers answers;
  answers.Add(ClickControl<COverwriteDlg>(COverwriteDlg::kSkipAll));
  RunToEnd();
  EXPECT_EQ(answers.seen.size(), 1u);
  for (const char* name : {"g1.txt", "g2.txt", "g3.txt"}) EXPECT_EQ(ReadFile(save / name), "old") << name;
  const std::string log = RunLog();
  std::size_t skipped = 0;
  for (auto at = log.find("(SKIPPED:No overwrite)"); at != std::string::npos;
       at = log.find("(SKIPPED:No overwrite)", at + 1))
    ++skipped;
  EXPECT_EQ(skipped, 3u);
  EXPECT_EQ(Project().ConfirmOverwrite, -1);
}

ModalAnswers::Answer Login(const QString& user, const QString& password, bool ok) {
  return [=](QWidget* modal) {
    auto* dialog = qobject_cast<CPasswordDlg*>(modal);
    if (!dialog) return false;
    if (!ok) {
      dialog->reject();
      return true;
    }
    dialog->UserEdit()->setText(user);
    dialog->PasswordEdit()->setText(password);
    dialog->accept();
    return true;
  };
}

TEST_F(RunQuestions, LoginDialogAnswersTheServersPasswordRequest) {
  const std::string refused = Url("/__/basic?user=ann&pw=pw1&realm=one");
  const std::string wrongThenRight = Url("/__/basic?user=bob&pw=pw2&realm=two");
  Project().StartUrls = {refused, wrongThenRight};
  Project().SaveFlat = 0;  // two different query strings, one server path: keep them apart
  ModalAnswers answers;
  answers.Add(Login({}, {}, false));
  answers.Add(Login(QStringLiteral("bob"), QStringLiteral("nope"), true));
  answers.Add(Login(QStringLiteral("bob"), QStringLiteral("pw2"), true));
  RunToEnd();
  EXPECT_TRUE(answers.pending.empty());
  const std::string log = RunLog();
  EXPECT_NE(log.find(refused + "(NG:Cancelled by user)\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(wrongThenRight + "(OK:Saved as["), std::string::npos) << log;
}

// The internet layer, except that the connection is a modem's.
class ModemBackend : public InetBackend {
 public:
  std::unique_ptr<inet::Session> OpenSession(std::string_view agent, inet::Error& err) override {
    return DefaultInetBackend().OpenSession(agent, err);
  }
  std::unique_ptr<inet::HttpConnection> ConnectHttp(inet::Session& s, std::string_view host, int port,
                                                    inet::Error& err) override {
    return DefaultInetBackend().ConnectHttp(s, host, port, err);
  }
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& s, std::string_view host, int port,
                                                  inet::Error& err) override {
    return DefaultInetBackend().ConnectFtp(s, host, port, err);
  }
  std::optional<std::uint32_t> QueryConnectionState() override { return inet::kConnectionModem; }
  bool HangUp() override {
    ++hangUps;
    return true;
  }
  std::atomic<int> hangUps{0};
};

TEST_F(RunQuestions, HangUpQuestionForAModemConnection) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
    ModemBackend modem;
    MakeSheet();
    page->SetBackend(modem);
    ModalAnswers answers;
    QString caption;
    answers.Add(MessageBoxAnswer(QStringLiteral("切断してもいいですか?"), button, &caption));
    RunToEnd();
    EXPECT_TRUE(answers.pending.empty());
    EXPECT_EQ(caption, QStringLiteral("ダイアルアップ切断"));
    EXPECT_EQ(modem.hangUps, button == QMessageBox::Yes ? 1 : 0);
    sheet.reset();
  }
}

TEST_F(RunQuestions, NoHangUpQuestionOnThisPlatformsConnections) {
  Project().StartUrls = {SiteFile("a.txt", "a")};
  ModalAnswers answers;
  answers.Add([](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; });
  RunToEnd();
  ProcessPosted();
  EXPECT_TRUE(answers.seen.empty());
}

}  // namespace
}  // namespace tk::test

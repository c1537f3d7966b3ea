// The wizard sheet's services, driven through its real buttons with pages that record what the
// sheet asks of them.
#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

#include <string>
#include <vector>

#include "resources/dialog_template.h"
#include "settings/project.h"
#include "shell/about_box.h"
#include "shell/trawl_sheet.h"
#include "shell/wizard_page.h"
#include "support/gui_test.h"

namespace tk {
namespace {

using Log = std::vector<std::string>;

class RecordingPage : public CWizardPage {
 public:
  RecordingPage(int templateId, std::string name, Log* log)
      : CWizardPage(templateId), m_name(std::move(name)), m_log(log) {}
  ~RecordingPage() override { Record(Project().StartUrls.empty() ? "destroyed" : "destroyed-with-urls"); }

  void OnSetActive() override {
    Record("active");
    if (buttons) Sheet()->SetWizardButtons(buttons);
  }
  int OnWizardNext() override { Record("next"); return nextAnswer; }
  int OnWizardBack() override { Record("back"); return backAnswer; }
  bool OnWizardFinish() override { Record("finish"); return finishAnswer; }
  bool OnQueryCancel() override { Record("query-cancel"); return cancelAnswer; }
  void OnCancel() override { Record("cancelled"); }

  unsigned buttons = 0;
  int nextAnswer = kGoOn;
  int backAnswer = kGoOn;
  bool finishAnswer = true;
  bool cancelAnswer = true;

 protected:
  void OnCreate() override { Record("created"); }

 private:
  void Record(const char* what) { m_log->push_back(m_name + ":" + what); }
  std::string m_name;
  Log* m_log;
};

struct Fixture {
  Log log;
  RecordingPage* pages[kPageCount] = {};
  std::unique_ptr<CTrawlSheet> sheet;

  explicit Fixture(int first = kIntroPage) {
    SheetPages owned;
    const int ids[] = {res::kDlgIntro, res::kDlgStart, res::kDlgOptions, res::kDlgDownload};
    const char* names[] = {"intro", "start", "options", "download"};
    for (int i = 0; i < kPageCount; ++i) {
      auto page = std::make_unique<RecordingPage>(ids[i], names[i], &log);
      pages[i] = page.get();
      owned[static_cast<size_t>(i)] = std::move(page);
    }
    sheet = std::make_unique<CTrawlSheet>(std::move(owned), first);
  }
  QPushButton* Button(CTrawlSheet::Button b) const { return sheet->ButtonWidget(b); }
  void Click(CTrawlSheet::Button b) {
    Button(b)->click();
    test::ProcessPosted();
  }
};

using B = CTrawlSheet::Button;

TEST(TrawlSheet, PagesAreCreatedWhenFirstShownAndActivatedEveryTime) {
  Fixture f;
  EXPECT_TRUE(f.log.empty());
  f.sheet->show();
  EXPECT_EQ(f.log, (Log{"intro:created", "intro:active"}));
  EXPECT_FALSE(f.pages[kStartPage]->IsCreated());
  f.log.clear();
  f.Click(B::Next);
  f.Click(B::Back);
  f.Click(B::Next);
  EXPECT_EQ(f.log, (Log{"intro:next", "start:created", "start:active", "start:back", "intro:active",
                        "intro:next", "start:active"}));
  EXPECT_EQ(f.sheet->ActiveIndex(), kStartPage);
  EXPECT_EQ(f.sheet->ActivePage(), f.pages[kStartPage]);
}

TEST(TrawlSheet, PagesDecideWhereNextAndBackGo) {
  Fixture f;
  f.sheet->show();
  f.pages[kIntroPage]->nextAnswer = CWizardPage::kStay;
  f.Click(B::Next);
  EXPECT_EQ(f.sheet->ActiveIndex(), kIntroPage);
  f.pages[kIntroPage]->nextAnswer = res::kDlgDownload;  // a jump names the page's layout
  f.Click(B::Next);
  EXPECT_EQ(f.sheet->ActiveIndex(), kDownloadPage);
  f.Click(B::Back);
  EXPECT_EQ(f.sheet->ActiveIndex(), kOptionsPage);
  EXPECT_FALSE(f.pages[kStartPage]->IsCreated());
}

TEST(TrawlSheet, ButtonRequestsTakeEffectLaterAndInTheOrderMade) {
  Fixture f;
  f.sheet->show();
  test::ProcessPosted();
  f.sheet->SetWizardButtons(kWizNext);
  f.sheet->SetWizardButtons(kWizBack | kWizDisabledFinish);
  // Posted: nothing changes until the event loop runs.
  EXPECT_EQ(f.sheet->WizardButtonState(), unsigned{kWizBack | kWizNext});
  test::ProcessPosted();
  EXPECT_EQ(f.sheet->WizardButtonState(), unsigned{kWizBack | kWizDisabledFinish});
  EXPECT_TRUE(f.Button(B::Back)->isEnabled());
  EXPECT_FALSE(f.Button(B::Next)->isVisible());
  EXPECT_TRUE(f.Button(B::Finish)->isVisible());
  EXPECT_FALSE(f.Button(B::Finish)->isEnabled());

  f.sheet->SetWizardButtons(kWizFinish);
  f.sheet->SetWizardButtons(kWizNext);
  test::ProcessPosted();
  EXPECT_FALSE(f.Button(B::Back)->isEnabled());
  EXPECT_TRUE(f.Button(B::Next)->isVisible() && f.Button(B::Next)->isEnabled());
  EXPECT_FALSE(f.Button(B::Finish)->isVisible());
}

TEST(TrawlSheet, AStateSetOnActivationIsRespected) {
  Fixture f;
  f.pages[kIntroPage]->buttons = kWizNext;
  f.sheet->show();
  test::ProcessPosted();
  EXPECT_FALSE(f.Button(B::Back)->isEnabled());
  f.log.clear();
  f.Click(B::Back);  // greyed: the page is not asked
  EXPECT_TRUE(f.log.empty());
  EXPECT_EQ(f.sheet->ActiveIndex(), kIntroPage);
}

TEST(TrawlSheet, FinishClosesOnlyWhenThePageAgrees) {
  Fixture f(kDownloadPage);
  f.pages[kDownloadPage]->buttons = kWizFinish;
  f.sheet->show();
  test::ProcessPosted();
  f.sheet->SetFinishText(QStringLiteral("完了"));
  EXPECT_EQ(f.Button(B::Finish)->text(), QStringLiteral("完了"));
  f.pages[kDownloadPage]->finishAnswer = false;
  f.Click(B::Finish);
  EXPECT_TRUE(f.sheet->isVisible());
  f.pages[kDownloadPage]->finishAnswer = true;
  f.Click(B::Finish);
  EXPECT_FALSE(f.sheet->isVisible());
  EXPECT_EQ(f.sheet->result(), QDialog::Accepted);
}

TEST(TrawlSheet, PressFinishRunsThePagesFinishAsIfPressedLater) {
  Fixture f(kDownloadPage);
  f.sheet->show();
  test::ProcessPosted();
  f.log.clear();
  f.sheet->PressFinish();  // even while Finish is not shown
  EXPECT_TRUE(f.log.empty());
  test::ProcessPosted();
  EXPECT_EQ(f.log, (Log{"download:finish"}));
  EXPECT_FALSE(f.sheet->isVisible());
}

TEST(TrawlSheet, CancelEscAndTheCloseBoxAllAskThePage) {
  Fixture f;
  f.sheet->show();
  f.pages[kIntroPage]->cancelAnswer = false;
  f.log.clear();
  f.Click(B::Cancel);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(f.sheet.get(), &esc);
  f.sheet->close();
  EXPECT_EQ(f.log, (Log{"intro:query-cancel", "intro:query-cancel", "intro:query-cancel"}));
  EXPECT_TRUE(f.sheet->isVisible());

  f.pages[kIntroPage]->cancelAnswer = true;
  f.log.clear();
  f.sheet->close();
  EXPECT_EQ(f.log, (Log{"intro:query-cancel", "intro:cancelled"}));
  EXPECT_FALSE(f.sheet->isVisible());
  EXPECT_EQ(f.sheet->result(), QDialog::Rejected);
}

TEST(TrawlSheet, CancelTurnedIntoCloseStillAsksThePage) {
  Fixture f;
  f.sheet->show();
  f.sheet->CancelToClose();
  EXPECT_EQ(f.Button(B::Cancel)->text(), QStringLiteral("閉じる"));
  f.pages[kIntroPage]->cancelAnswer = false;
  f.log.clear();
  f.Click(B::Cancel);
  EXPECT_EQ(f.log, (Log{"intro:query-cancel"}));
  EXPECT_TRUE(f.sheet->isVisible());
}

TEST(TrawlSheet, WindowMenuHasRestoreMinimiseAndAboutAroundTheStandardEntries) {
  Fixture f;
  QStringList texts;
  for (QAction* a : f.sheet->WindowMenu()->actions())
    texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(texts, QStringList({QStringLiteral("元のサイズに戻す(&R)"), QStringLiteral("最小化(&N)"),
                                QStringLiteral("閉じる(&C)"), QStringLiteral("-"), QStringLiteral("-"),
                                QStringLiteral("Trawlkit のバージョン情報(&A)...")}));
  EXPECT_FALSE(f.sheet->MenuAction(kCmdRestore)->isEnabled());
  EXPECT_TRUE(f.sheet->MenuAction(kCmdMinimise)->isEnabled());
  EXPECT_TRUE(f.sheet->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(TrawlSheet, MinimiseAndRestoreGreyEachOther) {
  Fixture f;
  f.sheet->show();
  QAction* restore = f.sheet->MenuAction(kCmdRestore);
  QAction* minimise = f.sheet->MenuAction(kCmdMinimise);
  minimise->trigger();
  EXPECT_FALSE(minimise->isEnabled());
  EXPECT_TRUE(restore->isEnabled());
  EXPECT_TRUE(f.sheet->isMinimized());
  f.sheet->SysCommand(kCmdRestore | 0x2);  // the low four bits are the platform's own
  EXPECT_TRUE(minimise->isEnabled());
  EXPECT_FALSE(restore->isEnabled());
  EXPECT_FALSE(f.sheet->isMinimized());
  // The same when the window manager's own button minimises the window.
  f.sheet->setWindowState(Qt::WindowMinimized);
  EXPECT_FALSE(minimise->isEnabled());
  EXPECT_TRUE(restore->isEnabled());
}

TEST(TrawlSheet, HelpOnEveryPageAndTheAboutEntryOpenTheSameAboutBox) {
  Fixture f;
  f.sheet->show();
  QStringList seen;
  auto answer = [&seen](QWidget* modal) {
    auto* about = qobject_cast<CAboutBox*>(modal);
    seen << (about ? about->VersionLine() : QStringLiteral("not the About box"));
    modal->close();
  };
  for (int i = 0; i < kPageCount; ++i) {
    f.sheet->SetActivePage(i);
    test::WhenModal(answer);
    f.Button(B::Help)->click();
  }
  test::WhenModal(answer);
  f.sheet->MenuAction(kCmdAbout)->trigger();
  EXPECT_EQ(seen, QStringList(5, QStringLiteral("Trawlkit(Ver.1.2.0)")));
  EXPECT_TRUE(f.sheet->isVisible());
}

TEST(TrawlSheet, DestructionEmptiesTheStartUrlsThenDestroysPagesLastFirst) {
  Project().StartUrls = {"http://a/"};
  {
    Fixture f;
    f.sheet.reset();
    EXPECT_EQ(f.log, (Log{"download:destroyed", "options:destroyed", "start:destroyed",
                         "intro:destroyed"}));
  }
  EXPECT_TRUE(Project().StartUrls.empty());
}

}  // namespace
}  // namespace tk

// The whole wizard as a user goes through it: a URL added on the start page, a new save folder,
// one layer of links on the options page, then the run on the download page and Finish.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "app/sheet_pages.h"
#include "pages/url_drop_combo.h"
#include "pages/url_input_dlg.h"
#include "support/monitor_test_util.h"

namespace tk::test {
namespace {

using Wizard = PageFixture;

TEST_F(Wizard, StartPageToFinishedDownload) {
  const std::string start = SiteFile("index.html", "<html><a href=\"next.html\">next</a><img src=\"p.gif\"></html>");
  SiteFile("next.html", "<html><a href=\"far.html\">far</a></html>");
  SiteFile("p.gif", "GIF89a");
  SiteFile("far.html", "<html>too deep</html>");
  const std::filesystem::path folder = save / "site";
  sheet = std::make_unique<CTrawlSheet>(MakeWizardPages(), kStartPage);
  qobject_cast<CStep2Pg*>(sheet->Page(kDownloadPage))->SetBackend(Network());
  sheet->show();
  ProcessPosted();

  ModalAnswers answers;
  answers.Add([&](QWidget* modal) {
    auto* dialog = qobject_cast<CUrlInputDlg*>(modal);
    if (dialog) dialog->Combo()->setEditText(QString::fromStdString(start));
    return dialog && ClickControl<CUrlInputDlg>(res::kIdOk)(modal);
  });
  answers.Add(MessageBoxAnswer(QStringLiteral("ディレクトリ「"), QMessageBox::Ok));  // create the folder
  CWizardPage* startPage = sheet->Page(kStartPage);
  startPage->Get<QPushButton>(res::kStartAdd)->click();
  startPage->Get<QLineEdit>(res::kStartSaveDir)->setText(QString::fromStdString(folder.string()));
  Button(B::Next)->click();
  ProcessPosted();
  ASSERT_EQ(sheet->ActiveIndex(), kOptionsPage);

  CWizardPage* options = sheet->Page(kOptionsPage);
  options->Get<QRadioButton>(res::kOptionsLayers)->click();
  options->Get<QLineEdit>(res::kOptionsLayerField)->setText(QStringLiteral("1"));
  Button(B::Next)->click();
  ProcessPosted();
  ASSERT_EQ(sheet->ActiveIndex(), kDownloadPage);
  page = qobject_cast<CStep2Pg*>(sheet->ActivePage());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_TRUE(answers.pending.empty());

  const std::string log = ReadFile(folder / "Trawlkit.txt");
  EXPECT_NE(log.find("Links to browse:Start pages & 1layers\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(start + "(OK:Saved as[index.html])\r\n"), std::string::npos) << log;
  EXPECT_TRUE(std::filesystem::exists(folder / "next.html"));
  EXPECT_TRUE(std::filesystem::exists(folder / "p.gif"));
  EXPECT_FALSE(std::filesystem::exists(folder / "far.html"));  // beyond the one layer
  SaveBox()->setChecked(false);
  Button(B::Finish)->click();
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(Wizard, AnHttpsSiteWithTheBoxTicked) {
  MakeTestCertificates(cache / "tls");
  trust.caFile = (cache / "tls/ca.pem").string();
  WriteFile(site / "index.html", "<html><a href=\"next.html\">next</a></html>");
  WriteFile(site / "next.html", "<html>next</html>");
  auto tls = HttpsTestServer::Start(cache / "tls", "good", site.Path());
  const std::string start = tls->Url("/index.html");
  const std::filesystem::path folder = save / "tls";
  std::filesystem::create_directories(folder);
  sheet = std::make_unique<CTrawlSheet>(MakeWizardPages(), kStartPage);
  qobject_cast<CStep2Pg*>(sheet->Page(kDownloadPage))->SetBackend(Network());
  sheet->show();
  ProcessPosted();

  // Ticked first, so that the URL dialog takes the https URL.
  CWizardPage* startPage = sheet->Page(kStartPage);
  startPage->Get<QCheckBox>(res::kStartHttps)->click();
  ModalAnswers answers;
  answers.Add([&](QWidget* modal) {
    auto* dialog = qobject_cast<CUrlInputDlg*>(modal);
    if (dialog) dialog->Combo()->setEditText(QString::fromStdString(start));
    return dialog && ClickControl<CUrlInputDlg>(res::kIdOk)(modal);
  });
  startPage->Get<QPushButton>(res::kStartAdd)->click();
  startPage->Get<QLineEdit>(res::kStartSaveDir)->setText(QString::fromStdString(folder.string()));
  Button(B::Next)->click();
  ProcessPosted();
  ASSERT_EQ(sheet->ActiveIndex(), kOptionsPage);
  sheet->Page(kOptionsPage)->Get<QRadioButton>(res::kOptionsLayers)->click();
  sheet->Page(kOptionsPage)->Get<QLineEdit>(res::kOptionsLayerField)->setText(QStringLiteral("1"));
  Button(B::Next)->click();
  ProcessPosted();
  ASSERT_EQ(sheet->ActiveIndex(), kDownloadPage);
  page = qobject_cast<CStep2Pg*>(sheet->ActivePage());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_TRUE(answers.pending.empty());

  const std::string log = ReadFile(folder / "Trawlkit.txt");
  EXPECT_NE(log.find(start + "(OK:Saved as[index.html])\r\n" + tls->Url("/next.html(OK:Saved as[next.html])\r\n")),
            std::string::npos)
      << log;
  EXPECT_EQ(ReadFile(folder / "next.html"), "<html>next</html>");
  SaveBox()->setChecked(false);
  Button(B::Finish)->click();
}

}  // namespace
}  // namespace tk::test

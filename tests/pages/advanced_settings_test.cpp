// The advanced settings in the real wizard: the "詳細設定..." dialog with every field, the page's
// working copy that only Next commits, "無制限" beside the layer count, and the start page's
// "ファイルから追加...".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <map>

#include "pages/advanced_dlg.h"
#include "pages/advanced_options.h"
#include "pages/start_pg.h"
#include "pages/step1_pg.h"
#include "pages/url_list_box.h"
#include "resources/control_ids.h"
#include "settings/ini_file.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

using namespace res;

struct OptionsFixture : test::WizardFixture {
  CStep1Pg* page;
  explicit OptionsFixture(const std::string& project = "") : WizardFixture(kIntroPage, project) {
    if (Project().SaveDir.empty()) Project().SaveDir = home.Path().string();
    sheet->SetActivePage(kOptionsPage);
    test::ProcessPosted();
    page = Page<CStep1Pg>(kOptionsPage);
  }
  // Presses "詳細設定..." and lets `fill` work on the dialog, which it must close.
  void Advanced(std::function<void(CAdvancedDlg*)> fill) {
    test::WhenModal([fill](QWidget* modal) {
      auto* dialog = qobject_cast<CAdvancedDlg*>(modal);
      ASSERT_NE(dialog, nullptr);
      fill(dialog);
    });
    page->Get<QPushButton>(kOptionsAdvanced)->click();
  }
};

void SetField(CAdvancedDlg* d, int id, const char* text) {
  if (auto* edit = d->Get<QLineEdit>(id)) edit->setText(QString::fromUtf8(text));
  if (auto* edit = d->Get<QPlainTextEdit>(id)) edit->setPlainText(QString::fromUtf8(text));
}

QString Field(CAdvancedDlg* d, int id) {
  if (auto* edit = d->Get<QLineEdit>(id)) return edit->text();
  return d->Get<QPlainTextEdit>(id)->toPlainText();
}

TEST(AdvancedOptions, ReadsWhatAUserTypes) {
  EXPECT_EQ(ReadSeconds(" 0.5 "), 0.5);
  EXPECT_EQ(ReadSeconds("2"), 2.0);
  for (const char* bad : {"", "-1", "1e3", "inf", "nan", "0,5", "1.5s", "86401"})
    EXPECT_FALSE(ReadSeconds(bad)) << bad;
  EXPECT_EQ(ReadByteCount("", "km"), 0);
  EXPECT_EQ(ReadByteCount("200k", "km"), 200 * 1024);
  EXPECT_EQ(ReadByteCount("1.5M", "km"), 1536 * 1024);
  EXPECT_EQ(ReadByteCount("1g", "kmg"), 1LL << 30);
  EXPECT_EQ(ReadByteCount("512", "km"), 512);
  for (const char* bad : {"1g", "k", "-5k", "5 k", "2000000000000000000", "10kb"})
    EXPECT_FALSE(ReadByteCount(bad, "km")) << bad;
  EXPECT_EQ(ReadCount(" 5", 1, 5), 5);
  EXPECT_FALSE(ReadCount("6", 1, 5));
  EXPECT_FALSE(ReadCount("2.5", 1, 5));
  EXPECT_EQ(ByteCountText(200 * 1024, "km"), "200k");
  EXPECT_EQ(ByteCountText(3LL << 30, "km"), "3072m");
  EXPECT_EQ(ByteCountText(3LL << 30, "kmg"), "3g");
  EXPECT_EQ(ByteCountText(1000, "kmg"), "1000");
  EXPECT_EQ(ByteCountText(0, "kmg"), "");
  EXPECT_EQ(SecondsText(0.25), "0.25");
  EXPECT_EQ(PatternLines(" /a/*\r\n\n  \n*.cgi?*\n"), (std::vector<std::string>{"/a/*", "*.cgi?*"}));
}

// Every field of the dialog reaches the project through Next, is saved and loaded with it, and a
// project opened on the start page shows its own values in the dialog.
TEST(AdvancedDialog, EveryFieldRoundTripsThroughTheProject) {
  OptionsFixture f;
  const std::string cookies = (f.home.Path() / "cookies.txt").string();
  test::WriteFile(cookies, "# Netscape HTTP Cookie File\n");
  f.Advanced([](CAdvancedDlg* d) {
    d->Get<QCheckBox>(kAdvancedRobots)->setChecked(false);
    SetField(d, kAdvancedWait, "１.５");  // full-width digits from an input method
    SetField(d, kAdvancedRate, "200k");
    SetField(d, kAdvancedConnections, "2");
    SetField(d, kAdvancedUserAgent, "Mozilla/5.0 (X11) Trawlkit");
    SetField(d, kAdvancedCookies, "~/cookies.txt");
    SetField(d, kAdvancedInclude, "/docs/*\n\n  *.html  \n");
    SetField(d, kAdvancedExclude, "*/private/*");
    SetField(d, kAdvancedMaxSize, "10m");
    SetField(d, kAdvancedTimeout, "7.5");
    SetField(d, kAdvancedTries, "5");
    d->Get<QPushButton>(kIdOk)->click();
  });
  // The page holds them; the project has them only after Next.
  EXPECT_EQ(f.page->Advanced().LimitRate, 200 * 1024);
  EXPECT_EQ(Project().LimitRate, 0);
  ASSERT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  const ProjectSettings& p = Project();
  EXPECT_EQ(p.Robots, 0);
  EXPECT_EQ(p.WaitSeconds, 1.5);
  EXPECT_EQ(p.LimitRate, 200 * 1024);
  EXPECT_EQ(p.Connections, 2);
  EXPECT_EQ(p.UserAgent, "Mozilla/5.0 (X11) Trawlkit");
  EXPECT_EQ(p.LoadCookies, cookies);
  EXPECT_EQ(p.IncludeUrls, (std::vector<std::string>{"/docs/*", "*.html"}));
  EXPECT_EQ(p.ExcludeUrls, (std::vector<std::string>{"*/private/*"}));
  EXPECT_EQ(p.MaxSize, 10 << 20);
  EXPECT_EQ(p.TimeoutSeconds, 7.5);
  EXPECT_EQ(p.Tries, 5);

  const std::string path = (f.home.Path() / "site.tkp").string();
  ASSERT_TRUE(SaveProject(path));
  const AdvancedOptions saved = AdvancedOptions::From(Project());
  LoadProject("");
  f.page->Refresh();
  EXPECT_EQ(f.page->Advanced(), AdvancedOptions{});
  f.sheet->SetActivePage(kStartPage);
  auto* start = f.Page<CStartPg>(kStartPage);
  start->SetProjectPrompt([path](QWidget*, std::string& out) {
    out = path;
    return true;
  });
  start->OnOpenProject();
  EXPECT_EQ(f.page->Advanced(), saved);
  f.sheet->SetActivePage(kOptionsPage);
  std::map<int, QString> shown;
  f.Advanced([&](CAdvancedDlg* d) {
    for (int id : {kAdvancedWait, kAdvancedRate, kAdvancedConnections, kAdvancedCookies, kAdvancedInclude,
                   kAdvancedMaxSize, kAdvancedTimeout, kAdvancedTries})
      shown[id] = Field(d, id);
    shown[kAdvancedRobots] = d->Get<QCheckBox>(kAdvancedRobots)->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    d->Get<QPushButton>(kIdCancel)->click();
  });
  EXPECT_EQ(shown[kAdvancedWait], QStringLiteral("1.5"));
  EXPECT_EQ(shown[kAdvancedRate], QStringLiteral("200k"));
  EXPECT_EQ(shown[kAdvancedConnections], QStringLiteral("2"));
  EXPECT_EQ(shown[kAdvancedCookies], QString::fromStdString(cookies));
  EXPECT_EQ(shown[kAdvancedInclude], QStringLiteral("/docs/*\n*.html"));
  EXPECT_EQ(shown[kAdvancedMaxSize], QStringLiteral("10m"));
  EXPECT_EQ(shown[kAdvancedTimeout], QStringLiteral("7.5"));
  EXPECT_EQ(shown[kAdvancedTries], QStringLiteral("5"));
  EXPECT_EQ(shown[kAdvancedRobots], QStringLiteral("off"));
}

// Each field a bad text can reach is refused with its own message in the input-error box; the
// focus goes to that field and the dialog stays open with what it was opened with.
TEST(AdvancedDialog, EachInputErrorNamesItsFieldAndKeepsTheDialogOpen) {
  const struct {
    int field;
    const char* text;
    const char* message;
  } rows[] = {
      {kAdvancedWait, "-1", "待ち時間を0～86400の秒数で入力してください！"},
      {kAdvancedWait, "1,5", "待ち時間を0～86400の秒数で入力してください！"},
      {kAdvancedRate, "fast", "転送速度の上限を「200k」のようにバイト数で入力してください！"},
      {kAdvancedRate, "1g", "転送速度の上限を「200k」のようにバイト数で入力してください！"},
      {kAdvancedConnections, "0", "同時接続数を1～5で入力してください！"},
      {kAdvancedConnections, "6", "同時接続数を1～5で入力してください！"},
      {kAdvancedUserAgent, "a\r\nX-Injected: 1", "ユーザーエージェントに制御文字は使えません！"},
      {kAdvancedCookies, "/nonexistent/cookies.txt", "クッキーファイル「/nonexistent/cookies.txt」が見つかりません！"},
      {kAdvancedCookies, "/tmp", "クッキーファイル「/tmp」が見つかりません！"},
      {kAdvancedMaxSize, "10x", "最大ファイルサイズを「10m」のようにバイト数で入力してください！"},
      {kAdvancedTimeout, "0", "タイムアウトを0より大きく86400以下の秒数で入力してください！"},
      {kAdvancedTries, "0", "試行回数を1～100で入力してください！"},
      {kAdvancedTries, "101", "試行回数を1～100で入力してください！"},
  };
  AdvancedOptions before;
  before.Tries = 4;
  for (const auto& r : rows) {
    CAdvancedDlg dialog(nullptr, before);
    dialog.show();
    SetField(&dialog, r.field, r.text);
    dialog.Control(kIdOk)->setFocus();
    test::SeenMessage seen;
    test::AnswerMessage(&seen);
    dialog.Get<QPushButton>(kIdOk)->click();
    EXPECT_EQ(seen.text, QString::fromUtf8(r.message)) << r.text;
    EXPECT_EQ(seen.caption, QStringLiteral("入力エラー"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(r.field)) << r.text;
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Options(), before);
  }
}

TEST(AdvancedDialog, CancelKeepsThePagesValuesAndBrowseFillsTheCookiesField) {
  OptionsFixture f;
  const AdvancedOptions before = f.page->Advanced();
  const std::string chosen = (f.home.Path() / "c.txt").string();
  test::WriteFile(chosen, "");
  QString browsed;
  f.Advanced([&](CAdvancedDlg* d) {
    SetField(d, kAdvancedTries, "9");
    SetField(d, kAdvancedWait, "x");  // Cancel runs no check
    d->SetCookiesPrompt([&](QWidget*, std::string& path) {
      path = chosen;
      return true;
    });
    d->Get<QPushButton>(kAdvancedCookiesBrowse)->click();
    browsed = Field(d, kAdvancedCookies);
    d->Get<QPushButton>(kIdCancel)->click();
  });
  EXPECT_EQ(browsed, QString::fromStdString(chosen));
  EXPECT_EQ(f.page->Advanced(), before);
  ASSERT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().Tries, 3);
  EXPECT_EQ(Project().LoadCookies, "");
}

TEST(AdvancedDialog, LabelsCarryMnemonicsForTheirFieldsAndEveryTextShowsWhole) {
  CAdvancedDlg dialog(nullptr, AdvancedOptions{});
  dialog.show();
  int mnemonics = 0;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text().remove(QLatin1Char('&'))), label->width())
        << label->text().toStdString();
    if (!label->text().contains(QLatin1Char('&'))) continue;
    ++mnemonics;
    ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
    EXPECT_TRUE(label->buddy()->focusPolicy() & Qt::TabFocus) << label->text().toStdString();
  }
  EXPECT_EQ(mnemonics, 10);
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&'))) + 8, b->width())
        << b->text().toStdString();
  for (int id : {kAdvancedRobots, kAdvancedWait, kAdvancedRate, kAdvancedConnections, kAdvancedUserAgent,
                 kAdvancedCookies, kAdvancedCookiesBrowse, kAdvancedInclude, kAdvancedExclude, kAdvancedMaxSize,
                 kAdvancedTimeout, kAdvancedTries})
    EXPECT_FALSE(dialog.Control(id)->toolTip().isEmpty()) << id;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("詳細設定"));
}

// "無制限" stands for any count: the count rests, and the project stores 10 for older readers.
TEST(OptionsPage, UnlimitedLayersDisableTheCountAndStoreTen) {
  test::TempDir dir;
  const std::string path = (dir / "deep.tkp").string();
  test::WriteFile(path, "[SETTING]\nLink=10\nLinkUnlimited=1\n");
  OptionsFixture f(path);
  QCheckBox* unlimited = f.page->Check(kOptionsUnlimited);
  EXPECT_TRUE(unlimited->isChecked());
  EXPECT_TRUE(unlimited->isEnabled());
  EXPECT_TRUE(f.page->Radio(kOptionsLayers)->isChecked());
  EXPECT_FALSE(f.page->LayersField()->isEnabled());

  unlimited->click();  // off: the count is back in use
  EXPECT_TRUE(f.page->LayersField()->isEnabled());
  f.page->LayersField()->setText(QStringLiteral("3"));
  ASSERT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().LinkLayers, 3);
  EXPECT_EQ(Project().UnlimitedLayers, 0);

  unlimited->click();
  f.page->LayersField()->setText(QStringLiteral("99"));  // resting: not read
  EXPECT_FALSE(f.page->LayersField()->isEnabled());
  ASSERT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().LinkLayers, 10);
  EXPECT_EQ(Project().UnlimitedLayers, 1);
  ASSERT_TRUE(SaveProject(path));
  EXPECT_EQ(IniReadInt(path, "SETTING", "Link", -1), 10);
  EXPECT_EQ(IniReadInt(path, "SETTING", "LinkUnlimited", -1), 1);

  f.page->Radio(kOptionsStartOnly)->click();
  EXPECT_FALSE(unlimited->isChecked());
  EXPECT_FALSE(unlimited->isEnabled());
  ASSERT_EQ(f.page->OnWizardNext(), CWizardPage::kGoOn);
  EXPECT_EQ(Project().LinkLayers, 0);
  EXPECT_EQ(Project().UnlimitedLayers, 0);
  f.page->Radio(kOptionsLayers)->click();
  EXPECT_TRUE(unlimited->isEnabled());
  EXPECT_FALSE(unlimited->toolTip().isEmpty());
}

struct StartFixture : test::WizardFixture {
  CStartPg* page;
  StartFixture() : WizardFixture(kStartPage) { page = Page<CStartPg>(kStartPage); }
  // Presses "ファイルから追加..." with `path` chosen; the message shown, if any.
  QString AddFromFile(const std::string& path) {
    page->SetUrlFilePrompt([path](QWidget*, std::string& out) {
      out = path;
      return true;
    });
    test::SeenMessage seen;
    test::AnswerMessage(&seen);
    page->Get<QPushButton>(kStartAddFromFile)->click();
    test::ProcessPosted();
    EXPECT_TRUE(!seen.shown || seen.caption == QStringLiteral("入力エラー"));
    return seen.text;
  }
  QStringList Urls() const {
    QStringList urls;
    for (int i = 0; i < page->List()->count(); ++i) urls << page->List()->item(i)->text();
    return urls;
  }
};

TEST(StartPage, AddFromFileTakesTheGoodLinesAndNamesTheBadOnes) {
  StartFixture f;
  f.page->List()->AddUrl("http://held/");
  const std::string list = (f.home.Path() / "urls.txt").string();
  test::WriteFile(list,
                  "\xEF\xBB\xBF# start pages\r\n"
                  "http://a/\r\n"
                  "  ftp://f/pub/  \r\n"
                  "\r\n"
                  "HTTP://HELD/\r\n"  // held already, in another case: skipped without a word
                  "mailto:x@y\r\n"
                  "https://s/\r\n"
                  "www.example.com\r\n"
                  "http://a/\r\n");
  EXPECT_EQ(f.AddFromFile(list).toStdString(),
            "次の行は有効なURL(HTTP/FTP)ではないため、追加しませんでした：\n"
            "mailto:x@y\nhttps://s/\nwww.example.com");
  EXPECT_EQ(f.Urls(), QStringList({QStringLiteral("ftp://f/pub/"), QStringLiteral("http://a/"),
                                   QStringLiteral("http://held/")}));
  EXPECT_EQ(UrlHistory().Entries().front(), "ftp://f/pub/");

  // With the HTTPS box ticked an https line is good too; a file of good lines shows nothing.
  f.page->HttpsBox()->click();
  test::WriteFile(list, "https://s/\n");
  EXPECT_EQ(f.AddFromFile(list), QString());
  EXPECT_TRUE(f.Urls().contains(QStringLiteral("https://s/")));

  // Many bad lines: ten named, each cut to a line's length, and the rest counted.
  std::string many;
  for (int i = 0; i < 12; ++i) many += "bad" + std::to_string(i) + std::string(100, 'x') + "\n";
  test::WriteFile(list, many);
  const QString message = f.AddFromFile(list);
  EXPECT_TRUE(message.endsWith(QStringLiteral("\nほか2行"))) << message.toStdString();
  EXPECT_TRUE(message.contains(QStringLiteral("bad9"))) << message.toStdString();
  EXPECT_FALSE(message.contains(QStringLiteral("bad10")));
  EXPECT_EQ(message.count(QLatin1Char('\n')), 11);

  const std::string empty = (f.home.Path() / "empty.txt").string();
  test::WriteFile(empty, "# nothing\n\n");
  EXPECT_EQ(f.AddFromFile(empty).toStdString(), "ファイル「" + empty + "」にURLがありません！");
  const std::string folder = f.home.Path().string();
  EXPECT_EQ(f.AddFromFile(folder).toStdString(), "ファイル「" + folder + "」を読み込めません！");
  EXPECT_FALSE(f.page->Get<QPushButton>(kStartAddFromFile)->toolTip().isEmpty());
}

}  // namespace
}  // namespace tk

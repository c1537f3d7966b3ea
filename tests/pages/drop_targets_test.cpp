// What each drop target takes: URLs by the URL check, the trash marker only as a move, project
// files from a file manager.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QUrl>

#include "pages/delete_button.h"
#include "support/page_test_util.h"
#include "pages/project_drop_combo.h"
#include "pages/url_drop_combo.h"
#include "pages/url_list_box.h"
#include "pages/url_service.h"
#include "pages/delete_button.h"
#include "support/page_test_util.h"

namespace tk {
namespace {

using test::Drag;
using test::Text;

TEST(GetUrlService, HttpAndFtpOnly) {
  EXPECT_EQ(GetUrlService("http://a/"), UrlService::Http);
  EXPECT_EQ(GetUrlService("HTTP://A/X.HTML"), UrlService::Http);
  EXPECT_EQ(GetUrlService("ftp://a/pub/"), UrlService::Ftp);
  for (const char* no : {"https://a/", "file:///etc/passwd", "mailto:a@b", "gopher://a/", "www.example.com",
                         "", "http://", "http://a:0/"})
    EXPECT_EQ(GetUrlService(no), UrlService::None) << no;
  // With HTTPS taken, an https URL counts as HTTP; nothing else changes.
  EXPECT_EQ(GetUrlService("HTTPS://a:8443/x", true), UrlService::Http);
  EXPECT_EQ(GetUrlService("ftp://a/", true), UrlService::Ftp);
  for (const char* no : {"https://", "file:///etc/passwd", "www.example.com"})
    EXPECT_EQ(GetUrlService(no, true), UrlService::None) << no;
}

TEST(GetDroppedUrl, TakesTheWholeTextUnchangedWhenItIsAUrl) {
  std::string url = "stale";
  EXPECT_EQ(GetDroppedUrl(Text("ftp://a/pub/").get(), url), UrlService::Ftp);
  EXPECT_EQ(url, "ftp://a/pub/");
  // The URL check steps over blanks around a URL; the text is kept as dropped.
  const std::string padded = " http://a/ ";
  EXPECT_EQ(GetDroppedUrl(Text(padded).get(), url), UrlService::Http);
  EXPECT_EQ(url, padded);

  url = "stale";
  EXPECT_EQ(GetDroppedUrl(Text("https://a/").get(), url), UrlService::None);
  EXPECT_EQ(url, "");
  QMimeData noText;
  noText.setData(QStringLiteral("application/octet-stream"), "http://a/");
  url = "stale";
  EXPECT_EQ(GetDroppedUrl(&noText, url), UrlService::None);
  EXPECT_EQ(url, "");
}

TEST(DropTargets, DeleteButtonTakesOnlyTheExactMarkerAsAMove) {
  CDeleteButton button;
  button.RegisterDropTarget();
  const auto marker = Drag(&button, *Text(std::string(kTrashMarker)));
  EXPECT_TRUE(marker.enterAccepted && marker.dropAccepted);
  EXPECT_EQ(marker.dropAction, Qt::MoveAction);
  EXPECT_EQ(button.AnimStep(), 0);  // the button deletes and plays nothing itself
  for (const std::string& other : {std::string("this the string indicate to trash a list of URL."),
                                  std::string(kTrashMarker) + " ", std::string("http://a/")})
    EXPECT_FALSE(Drag(&button, *Text(other)).dropAccepted) << other;
}

TEST(DropTargets, ListTakesNewHttpAndFtpUrlsOnly) {
  test::ScopedConfigHome config;
  LoadHistories();
  CUrlListBox list;
  list.RegisterDropTarget();
  list.AddUrl("http://a/x.html");
  auto drop = [&](const std::string& text) { return Drag(list.viewport(), *Text(text)); };

  EXPECT_FALSE(drop("https://a/").dropAccepted);
  EXPECT_FALSE(drop("HTTP://A/X.HTML").dropAccepted);  // held already, in another case
  EXPECT_FALSE(drop(std::string(kTrashMarker)).dropAccepted);
  EXPECT_EQ(list.count(), 1);

  const auto ftp = drop("ftp://a/pub/");
  EXPECT_TRUE(ftp.enterAccepted && ftp.dropAccepted);
  EXPECT_EQ(ftp.dropAction, Qt::CopyAction);
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(0)->text(), QStringLiteral("ftp://a/pub/"));
  EXPECT_EQ(UrlHistory().Entries().front(), "ftp://a/pub/");
}

TEST(DropTargets, UrlComboReplacesTypedTextWithTheUrl) {
  CUrlDropCombo combo;
  combo.RegisterDropTarget();
  combo.setEditText(QStringLiteral("typed"));
  EXPECT_FALSE(Drag(&combo, *Text("mailto:a@b")).dropAccepted);
  EXPECT_FALSE(Drag(&combo, *Text("https://a/")).dropAccepted);
  combo.SetHttps(true);
  EXPECT_TRUE(Drag(&combo, *Text("https://a/")).dropAccepted);
  EXPECT_EQ(combo.currentText(), QStringLiteral("https://a/"));
  combo.setEditText(QStringLiteral("typed"));
  EXPECT_EQ(combo.currentText(), QStringLiteral("typed"));
  EXPECT_TRUE(Drag(&combo, *Text("http://a/")).dropAccepted);
  EXPECT_EQ(combo.currentText(), QStringLiteral("http://a/"));
  EXPECT_EQ(combo.count(), 0);  // no duplicate check, and nothing joins the list
}

// A browser may offer a link as a URI list only: its first URL is taken as listed, the way
// plain text is, on the list and on the URL combo alike; plain text, when offered, wins.
TEST(DropTargets, AUriListIsReadWhenThereIsNoPlainText) {
  test::ScopedConfigHome config;
  LoadHistories();
  auto uriList = [](const char* list, const char* plain = nullptr) {
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), QByteArray(list));
    if (plain) data->setText(QString::fromUtf8(plain));
    return data;
  };
  const struct {
    const char* list;
    const char* plain;
    const char* taken;  // nullptr: refused
  } rows[] = {
      {"http://user:pw@a/x%20y.html\r\n", nullptr, "http://user:pw@a/x%20y.html"},
      {"# a comment\r\nftp://a/pub/\r\nhttp://b/\r\n", nullptr, "ftp://a/pub/"},
      {"http://c/\n", nullptr, "http://c/"},
      {"http://uri/\r\n", "http://plain/", "http://plain/"},
      {"file:///home/u/page.html\r\n", nullptr, nullptr},
      {"# only a comment\r\n", nullptr, nullptr},
      {"http://uri/\r\n", "no url", nullptr},
  };
  for (const auto& r : rows) {
    CUrlListBox list;
    list.RegisterDropTarget();
    CUrlDropCombo combo;
    combo.RegisterDropTarget();
    const auto data = uriList(r.list, r.plain);
    const bool onList = Drag(list.viewport(), *data).dropAccepted;
    const bool onCombo = Drag(&combo, *data).dropAccepted;
    EXPECT_EQ(onList, r.taken != nullptr) << r.list;
    EXPECT_EQ(onCombo, r.taken != nullptr) << r.list;
    if (!r.taken) continue;
    ASSERT_EQ(list.count(), 1) << r.list;
    EXPECT_EQ(list.item(0)->text().toStdString(), r.taken);
    EXPECT_EQ(combo.currentText().toStdString(), r.taken);
  }
}

TEST(DropTargets, ProjectComboTakesTheFirstTkpAmongDroppedFiles) {
  CProjectDropCombo combo;
  combo.setEditText(QStringLiteral("kept"));
  // Neither other files nor a dragged link get the cursor that promises a drop.
  QMimeData texts;
  texts.setUrls({QUrl::fromLocalFile(QStringLiteral("/d/a.txt")), QUrl::fromLocalFile(QStringLiteral("/d/b.doc"))});
  QMimeData link;
  link.setUrls({QUrl(QStringLiteral("http://a/site.tkp"))});
  link.setText(QStringLiteral("http://a/site.tkp"));
  for (const QMimeData* refused : {&texts, &link}) {
    const auto outcome = Drag(&combo, *refused);
    EXPECT_FALSE(outcome.enterAccepted);
    EXPECT_FALSE(outcome.dropAccepted);
    EXPECT_EQ(combo.currentText(), QStringLiteral("kept"));
  }

  QMimeData mixed;
  mixed.setUrls({QUrl::fromLocalFile(QStringLiteral("/d/a.txt")), QUrl::fromLocalFile(QStringLiteral("/d/b.TKP")),
                 QUrl::fromLocalFile(QStringLiteral("/d/c.tkp"))});
  const auto taken = Drag(&combo, mixed);
  EXPECT_TRUE(taken.enterAccepted && taken.dropAccepted);
  EXPECT_EQ(combo.currentText(), QStringLiteral("/d/b.TKP"));

  // A long path arrives whole.
  const QString longPath = QStringLiteral("/d/") + QString(300, QLatin1Char('x')) + QStringLiteral(".tkp");
  QMimeData longOne;
  longOne.setUrls({QUrl::fromLocalFile(longPath)});
  Drag(&combo, longOne);
  EXPECT_EQ(combo.currentText(), longPath);
}

}  // namespace
}  // namespace tk

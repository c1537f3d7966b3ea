#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "resources/control_ids.h"
#include "resources/version_info.h"
#include "shell/about_box.h"

namespace tk {
namespace {

using res::VersionResource;

VersionResource Resource(std::map<std::string, std::string> strings,
                         std::vector<res::VersionTranslation> translations = {{0x0411, 0x04B0}}) {
  return VersionResource(std::move(translations), std::move(strings));
}

const std::string kBlock = "\\StringFileInfo\\041104b0\\";

struct Lines {
  int result;
  std::string version, copyright;
};

Lines Get(const VersionResource* v) {
  Lines lines;
  lines.result = GetVersionStrings(v, lines.version, lines.copyright);
  return lines;
}

TEST(GetVersionStrings, FullTableGivesBothLines) {
  const auto v = Resource({{kBlock + "FileDescription", "Trawlkit"},
                           {kBlock + "FileVersion", "1.2.0"},
                           {kBlock + "LegalCopyright", "(C) us"}});
  const Lines lines = Get(&v);
  EXPECT_EQ(lines.result, 1);
  EXPECT_EQ(lines.version, "Trawlkit(Ver.1.2.0)");
  EXPECT_EQ(lines.copyright, "(C) us");
}

TEST(GetVersionStrings, MissingEntriesShortenTheLinesWhereTheyStop) {
  // No FileVersion: the version line ends in "(Ver." and the copyright is not even looked at.
  const auto noVersion = Resource({{kBlock + "FileDescription", "Trawlkit"},
                                   {kBlock + "LegalCopyright", "(C) us"}});
  Lines lines = Get(&noVersion);
  EXPECT_EQ(lines.result, 1);
  EXPECT_EQ(lines.version, "Trawlkit(Ver.");
  EXPECT_EQ(lines.copyright, "");

  const auto noDescription = Resource({{kBlock + "FileVersion", "1.2.0"},
                                       {kBlock + "LegalCopyright", "(C) us"}});
  lines = Get(&noDescription);
  EXPECT_EQ(lines.result, 1);
  EXPECT_EQ(lines.version, "");
  EXPECT_EQ(lines.copyright, "");

  const auto noCopyright = Resource({{kBlock + "FileDescription", "T"}, {kBlock + "FileVersion", "9"}});
  lines = Get(&noCopyright);
  EXPECT_EQ(lines.version, "T(Ver.9)");
  EXPECT_EQ(lines.copyright, "");
}

TEST(GetVersionStrings, NoResourceNoTranslationAndOtherTranslations) {
  EXPECT_EQ(Get(nullptr).result, 0);
  const VersionResource empty;
  Lines lines = Get(&empty);
  EXPECT_EQ(lines.result, 1);
  EXPECT_EQ(lines.version, "");

  const auto noTranslation = Resource({{kBlock + "FileDescription", "Trawlkit"}}, {});
  lines = Get(&noTranslation);
  EXPECT_EQ(lines.result, 1);
  EXPECT_EQ(lines.version, "");

  // The first translation names the block, in lower-case hexadecimal, four digits each.
  const auto english = Resource({{"\\StringFileInfo\\040904e4\\FileDescription", "E"},
                                 {"\\StringFileInfo\\040904e4\\FileVersion", "2"},
                                 {kBlock + "FileDescription", "J"}},
                                {{0x0409, 0x04E4}, {0x0411, 0x04B0}});
  lines = Get(&english);
  EXPECT_EQ(lines.version, "E(Ver.2)");
}

TEST(AboutBox, ShowsTheProgramsVersionAndCopyright) {
  CAboutBox about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("Trawlkitのバージョン情報"));
  EXPECT_EQ(about.VersionLine(), QStringLiteral("Trawlkit(Ver.1.2.0)"));
  EXPECT_TRUE(about.CopyrightLine().startsWith(QStringLiteral("Copyright")));
  // The label shows an "&" as it is.
  EXPECT_EQ(qobject_cast<QLabel*>(res::FindControlWidget(&about, res::kAboutVersion))->textFormat(), Qt::PlainText);
  about.show();
  auto* ok = qobject_cast<QPushButton*>(res::FindControlWidget(&about, res::kIdOk));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
  ok->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace tk

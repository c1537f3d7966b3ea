#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "resources/version_info.h"

namespace tk::res {
namespace {

TEST(StringTable, HoldsItsTextsAndNothingElse) {
  for (int id = kIdsFirstString; id <= kIdsLastString; ++id) EXPECT_FALSE(LoadString(id).empty()) << id;
  EXPECT_TRUE(LoadString(100).empty());
  EXPECT_TRUE(LoadString(kIdsLastString + 1).empty());
  EXPECT_EQ(LoadString(101), "Trawlkit のﾊﾞｰｼﾞｮﾝ情報(&A)...");
  EXPECT_EQ(LoadString(102), "Trawlkit");
  EXPECT_EQ(LoadString(103), "スタート");
  EXPECT_EQ(LoadString(104), "オプション");
  EXPECT_EQ(LoadString(105), "ダウンロード");
  EXPECT_EQ(LoadString(108), "Trawlkitプロジェクト(*.tkp)を開く");
  // The download page's tooltip says its first words twice; it is shown as it stands.
  EXPECT_EQ(LoadString(120), "オンの時、オンの時、終了前にプロジェクトを保存する。");
}

TEST(VersionResource, ProgramVersionComesFromTheBuild) {
  const VersionResource& v = ProgramVersion();
  ASSERT_FALSE(v.Empty());
  ASSERT_EQ(v.Translations().size(), 1u);
  EXPECT_EQ(v.Translations()[0].language, 0x0411);
  EXPECT_EQ(v.Translations()[0].codePage, 0x04B0);
  EXPECT_EQ(v.QueryString("\\StringFileInfo\\041104b0\\FileVersion"), TRAWLKIT_VERSION);
  EXPECT_EQ(v.QueryString("\\StringFileInfo\\041104b0\\ProductVersion"), TRAWLKIT_VERSION);
  EXPECT_EQ(v.QueryString("\\StringFileInfo\\041104B0\\FileDescription"), "Trawlkit");
  EXPECT_TRUE(v.QueryString("\\StringFileInfo\\041104b0\\LegalCopyright").has_value());
  EXPECT_FALSE(v.QueryString("\\StringFileInfo\\040904e4\\FileVersion").has_value());
}

}  // namespace
}  // namespace tk::res

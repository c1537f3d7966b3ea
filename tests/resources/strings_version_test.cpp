#include <gtest/gtest.h>

#include "resources/version_info.h"

namespace tk::res {
namespace {

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

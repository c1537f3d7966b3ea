// The desktop files must agree with one another and with the command line: a .tkp opened from a
// file manager arrives as an absolute path and has to reach the wizard as its project.
#include <gtest/gtest.h>

#include <QString>

#include <regex>

#include "app/trawl_app.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

std::string Source(const char* path) { return test::ReadFile(std::string(TRAWLKIT_SOURCE_DIR) + "/" + path); }

TEST(Packaging, DesktopEntryOpensProjectFilesOfTheRegisteredType) {
  const std::string desktop = Source("resources/desktop/trawlkit.desktop");
  const std::string mime = Source("resources/desktop/trawlkit-project.xml");
  ASSERT_FALSE(desktop.empty());
  EXPECT_NE(desktop.find("\nExec=trawlkit %f\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nIcon=trawlkit\n"), std::string::npos);
  std::smatch type;
  ASSERT_TRUE(std::regex_search(mime, type, std::regex("mime-type type=\"([^\"]+)\"")));
  EXPECT_NE(desktop.find("\nMimeType=" + type[1].str() + ";\n"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.tkp\"/>"), std::string::npos);

  // %f expands to an absolute path, which must not be taken for a "/" flag.
  const QStringList args{QStringLiteral("trawlkit"), QStringLiteral("/home/u/Web Sites/site.tkp")};
  EXPECT_EQ(CTrawlApp::ProjectArgument(args), "/home/u/Web Sites/site.tkp");
}

}  // namespace
}  // namespace tk

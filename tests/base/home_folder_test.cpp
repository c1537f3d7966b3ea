#include "base/home_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tk {
namespace {

TEST(HomeFolder, AnAbsoluteHomeElseThePasswordDatabaseElseNone) {
  const std::string database = PasswordHome();
  // What a HOME that names no usable folder falls back to: never a folder such as /tmp or ".".
  const std::string fallback = !database.empty() && database[0] == '/' ? database : "";
  struct Case {
    const char* home;
    std::string folder;
  };
  const Case cases[] = {
      {"/home/u", "/home/u"}, {"/", "/"},           {"/home/u/", "/home/u/"},
      {nullptr, fallback},    {"", fallback},       {"relative/home", fallback},
      {".", fallback},        {"~", fallback},
  };
  for (const Case& c : cases) {
    const std::string got = HomeFolderFor(c.home);
    EXPECT_EQ(got, c.folder) << (c.home ? c.home : "(unset)");
    EXPECT_TRUE(got.empty() || got[0] == '/') << got;
  }
  EXPECT_EQ(HomeFolder(), HomeFolderFor(std::getenv("HOME")));
}

}  // namespace
}  // namespace tk

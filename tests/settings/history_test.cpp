#include "settings/history.h"

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "settings/project.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::ReadFile;
using test::ScopedConfigHome;
using test::WriteFile;

std::vector<std::string> Entries(const HistoryList& h) { return h.Entries(); }

TEST(History, AddMovesToTheHeadIgnoringCase) {
  ScopedConfigHome config;
  HistoryList h("HISTORY", "URL");
  h.Load();
  h.Add("A");
  h.Add("B");
  h.Add("C");
  h.Add("a");
  EXPECT_EQ(Entries(h), (std::vector<std::string>{"a", "C", "B"}));
}

TEST(History, KeepsTheTenNewest) {
  ScopedConfigHome config;
  HistoryList h("HISTORY", "URL");
  h.Load();
  for (int i = 0; i < 11; ++i) h.Add("http://h" + std::to_string(i) + "/");
  ASSERT_EQ(h.Entries().size(), 10u);
  EXPECT_EQ(h.Entries().front(), "http://h10/");
  EXPECT_EQ(h.Entries().back(), "http://h1/");
}

TEST(History, SavesOneQuotedLinePerEntry) {
  ScopedConfigHome config;
  HistoryList h("HISTORY", "URL");
  h.Load();
  h.Add("X");
  ASSERT_TRUE(h.Save());
  EXPECT_EQ(ReadFile(config.IniPath()), "[HISTORY]\nURL0=\"X\"\n");
}

TEST(History, LoadingChecksNothingAndTheNextAddTrims) {
  ScopedConfigHome config;
  std::filesystem::create_directories(config.IniPath().parent_path());
  std::string section = "[HISTORY]\n";
  for (int i = 0; i < 15; ++i) section += "URL" + std::to_string(i) + "=\"u" + std::to_string(i) + "\"\n";
  section += "dup=\"u3\"\nempty=\n";
  WriteFile(config.IniPath(), section);
  HistoryList h("HISTORY", "URL");
  h.Load();
  EXPECT_EQ(h.Entries().size(), 16u) << "15 keys and a duplicate, loaded as they are";
  h.Add("U3");
  ASSERT_EQ(h.Entries().size(), 10u);
  EXPECT_EQ(h.Entries()[0], "U3");
  EXPECT_EQ(std::count(h.Entries().begin(), h.Entries().end(), std::string("u3")), 0);
}

TEST(History, TheFirstChangeJoinsTheStoredList) {
  ScopedConfigHome config;
  std::filesystem::create_directories(config.IniPath().parent_path());
  WriteFile(config.IniPath(), "[TKPHIST]\nTKP0=\"/old/a.tkp\"\nTKP1=\"/old/b.tkp\"\n");
  HistoryList h("TKPHIST", "TKP");
  h.Add("/new/c.tkp");  // never loaded: the stored entries must not be lost
  EXPECT_EQ(Entries(h), (std::vector<std::string>{"/new/c.tkp", "/old/a.tkp", "/old/b.tkp"}));
}

TEST(History, ProcessWideListsUseTheirOwnSections) {
  ScopedConfigHome config;
  LoadHistories();
  AddUrlHistory("http://a/");
  AddProjectHistory("/p/x.tkp");
  ASSERT_TRUE(SaveUrlHistory());
  ASSERT_TRUE(SaveProjectHistory());
  EXPECT_EQ(IniReadString(config.IniPath(), "HISTORY", "URL0", ""), "http://a/");
  EXPECT_EQ(IniReadString(config.IniPath(), "TKPHIST", "TKP0", ""), "/p/x.tkp");
  LoadHistories();
  EXPECT_EQ(UrlHistory().Entries(), (std::vector<std::string>{"http://a/"}));
}

TEST(History, LongEntriesAreKeptWhole) {
  ScopedConfigHome config;
  HistoryList h("HISTORY", "URL");
  h.Load();
  std::vector<std::string> added;
  for (int i = 0; i < 10; ++i) h.Add("http://e.com/" + std::to_string(i) + std::string(5000, 'z'));
  ASSERT_TRUE(h.Save());
  HistoryList back("HISTORY", "URL");
  back.Load();
  EXPECT_EQ(back.Entries(), h.Entries());
}

}  // namespace
}  // namespace tk

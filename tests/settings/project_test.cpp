#include "settings/project.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/history.h"
#include "settings/ini_file.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::ReadFile;
using test::ScopedConfigHome;
using test::TempDir;
using test::WriteFile;

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadHistories(); }
  ScopedConfigHome config;
  TempDir dir;
};

void ExpectDefaults(const ProjectSettings& s) {
  EXPECT_EQ(s.ProjectPath, "無題.tkp");
  EXPECT_TRUE(s.StartUrls.empty());
  EXPECT_EQ(s.SaveDir, "");
  EXPECT_EQ(s.ExcludeType, "");
  EXPECT_EQ(s.LinkLayers, 0);
  EXPECT_EQ(s.SameSiteOnly, 1);
  EXPECT_EQ(s.SaveFlat, 1);
  EXPECT_EQ(s.UseCache, 1);
  EXPECT_EQ(s.ConfirmOverwrite, 0);
}

TEST_F(ProjectTest, NoNameOrANonProjectNameGivesTheDefaults) {
  ProjectSettings s;
  s.StartUrls = {"http://a/"};
  s.LinkLayers = 5;
  s.ProjectPath = "/x/old.tkp";
  for (const char* name : {"", "tkp", ".tkp.txt", "/home/u/site.txt"}) {
    LoadProject(s, name);
    ExpectDefaults(s);
  }
  EXPECT_TRUE(ProjectHistory().Entries().empty()) << "only project names enter the history";
}

TEST_F(ProjectTest, AMissingProjectLoadsDefaultsUnderItsNameAndEntersTheHistory) {
  ProjectSettings s;
  const std::string name = (dir / "x.TKP").string();
  LoadProject(s, name);
  EXPECT_EQ(s.ProjectPath, name);
  EXPECT_EQ(s.SameSiteOnly, 1);
  EXPECT_TRUE(s.StartUrls.empty());
  ASSERT_EQ(ProjectHistory().Entries().size(), 1u);
  EXPECT_EQ(ProjectHistory().Entries()[0], name);
  EXPECT_EQ(IniReadString(config.IniPath(), "TKPHIST", "TKP0", ""), name);
}

TEST_F(ProjectTest, LoadsEveryKey) {
  const auto file = dir / "site.tkp";
  WriteFile(file,
            "[SETTING]\r\nSaveDir=/home/u/Web/\r\nExcludeType=.exe.zip\r\nPage=0\r\nCashe=0\r\n"
            "Save=0\r\nConfirm=1\r\nLink=10\r\n[URL]\r\nURL0=\"http://a/\"\r\nfoo=\r\nURL1=\"ftp://b/x\"\r\n"
            "bar=http://c/\r\n");
  ProjectSettings s;
  LoadProject(s, file.string());
  EXPECT_EQ(s.SaveDir, "/home/u/Web");
  EXPECT_EQ(s.ExcludeType, ".exe.zip");
  EXPECT_EQ(s.SameSiteOnly, 0);
  EXPECT_EQ(s.UseCache, 0);
  EXPECT_EQ(s.SaveFlat, 0);
  EXPECT_EQ(s.ConfirmOverwrite, 1);
  EXPECT_EQ(s.LinkLayers, 10);
  EXPECT_EQ(s.StartUrls, (std::vector<std::string>{"http://a/", "ftp://b/x", "http://c/"}));
}

TEST_F(ProjectTest, SaveDirKeepsALoneSeparatorAndLinkAboveTenBecomesZero) {
  struct Row {
    std::string saveDir, link;
    std::string wantDir;
    int wantLink;
  };
  const Row rows[] = {
      {"/", "25", "/", 0},
      {"/home/u/Web/", "10", "/home/u/Web", 10},
      {"/home/u/Web", "3", "/home/u/Web", 3},
      {"rel/", "-2", "rel/", 0},
      {"", "abc", "", 0},
  };
  for (const auto& r : rows) {
    const auto file = dir / "p.tkp";
    WriteFile(file, "[SETTING]\nSaveDir=" + r.saveDir + "\nLink=" + r.link + "\n");
    ProjectSettings s;
    LoadProject(s, file.string());
    EXPECT_EQ(s.SaveDir, r.wantDir) << r.saveDir;
    EXPECT_EQ(s.LinkLayers, r.wantLink) << r.link;
  }
}

TEST_F(ProjectTest, SaveWritesKeysInOrderAndQuotedUrls) {
  ProjectSettings s;
  s.SaveDir = "/home/u/Web";
  s.ExcludeType = ".gif.jpg";
  s.LinkLayers = 2;
  s.SameSiteOnly = 0;
  s.ConfirmOverwrite = -1;
  s.StartUrls = {"http://a/", "ftp://b/c d"};
  const auto file = dir / "out.tkp";
  ASSERT_TRUE(SaveProject(s, file.string()));
  EXPECT_EQ(ReadFile(file),
            "[SETTING]\nSaveDir=/home/u/Web\nExcludeType=.gif.jpg\nPage=0\nCashe=1\nSave=1\n"
            "Confirm=-1\nLink=2\nHttps=0\nRobots=1\nWait=0\nLimitRate=0\nConnections=5\nUserAgent=\n"
            "LoadCookies=\nMaxSize=0\nLinkUnlimited=0\nTimeout=60\nTries=3\n"
            "[URL]\nURL0=\"http://a/\"\nURL1=\"ftp://b/c d\"\n");
  EXPECT_EQ(s.ProjectPath, "無題.tkp") << "saving does not change the project path";
  EXPECT_EQ(ProjectHistory().Entries().front(), file.string());

  ProjectSettings back;
  LoadProject(back, file.string());
  EXPECT_EQ(back.StartUrls, s.StartUrls);
  EXPECT_EQ(back.ConfirmOverwrite, -1);
  EXPECT_EQ(back.SaveDir, s.SaveDir);
}

TEST_F(ProjectTest, HttpsRoundTripsAndANewProjectStartsWithTheLastOneUsed) {
  const auto file = dir / "p.tkp";
  WriteFile(file, "[SETTING]\nLink=1\n");
  ProjectSettings s;
  LoadProject(s, file.string());
  EXPECT_EQ(s.Https, 0) << "a project without the key";
  s.Https = 1;
  ASSERT_TRUE(SaveProject(s, file.string()));
  ProjectSettings back;
  LoadProject(back, file.string());
  EXPECT_EQ(back.Https, 1);

  // Trawlkit.ini remembers the value; only a new project takes it, a project file keeps its own.
  LoadProject(back, "");
  EXPECT_EQ(back.Https, 0);
  RememberHttpsUsed(1);
  LoadProject(back, "");
  EXPECT_EQ(back.Https, 1);
  WriteFile(file, "[SETTING]\nLink=1\n");
  LoadProject(back, file.string());
  EXPECT_EQ(back.Https, 0);
  RememberHttpsUsed(0);
  LoadProject(back, "");
  EXPECT_EQ(back.Https, 0);
}

TEST_F(ProjectTest, SaveReplacesUrlsAndKeepsUnrelatedKeys) {
  const auto file = dir / "p.tkp";
  WriteFile(file,
            "[SETTING]\nSaveDir=/old\nMine=keep\n[URL]\nURL0=\"a\"\nURL1=\"b\"\nURL2=\"c\"\nURL3=\"d\"\n"
            "[Notes]\ntext=hello\n");
  ProjectSettings s;
  s.StartUrls = {"http://x/", "http://y/"};
  ASSERT_TRUE(SaveProject(s, file.string()));
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("Mine=keep\n"), std::string::npos);
  EXPECT_NE(text.find("[URL]\nURL0=\"http://x/\"\nURL1=\"http://y/\"\n[Notes]\ntext=hello\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("URL2"), std::string::npos);
}

TEST_F(ProjectTest, ALongStartUrlRoundTripsWhole) {
  ProjectSettings s;
  s.StartUrls = {"http://example.com/" + std::string(5000, 'q')};
  for (int i = 0; i < 200; ++i) s.StartUrls.push_back("http://host" + std::to_string(i) + ".example/");
  const auto file = dir / "long.tkp";
  ASSERT_TRUE(SaveProject(s, file.string()));
  ProjectSettings back;
  LoadProject(back, file.string());
  EXPECT_EQ(back.StartUrls, s.StartUrls);
}

TEST_F(ProjectTest, SavingOverAFolderFailsAndStillRecordsNothingBroken) {
  const auto file = dir / "folder.tkp";
  std::filesystem::create_directory(file);
  ProjectSettings s;
  EXPECT_FALSE(SaveProject(s, file.string()));
  EXPECT_TRUE(std::filesystem::is_directory(file));
}

// Saving over a project the user may not read must not rewrite it with the settings and URLs
// alone. Root reads every file, so then the save runs as an ordinary user in a child process.
TEST_F(ProjectTest, SavingOverAnUnreadableProjectFailsAndLeavesIt) {
  const auto file = dir / "p.tkp";
  const std::string text = "[SETTING]\nSaveDir=/old\n[URL]\nURL0=\"http://a/\"\n[Notes]\ntext=hello\n";
  WriteFile(file, text);
  chmod(file.c_str(), 0200);
  chmod(dir.Path().c_str(), 0777);
  ProjectSettings s;
  s.StartUrls = {"http://x/"};
  bool saved = false;
  if (geteuid() != 0) {
    saved = SaveProject(s, file.string());
  } else {
    const pid_t pid = fork();
    if (pid == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
      _exit(SaveProject(s, file.string()) ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an ordinary user";
    saved = WEXITSTATUS(status) == 1;
  }
  chmod(file.c_str(), 0644);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile(file), text);
}

TEST_F(ProjectTest, ProjectFileNames) {
  EXPECT_TRUE(IsProjectFileName("a.tkp"));
  EXPECT_TRUE(IsProjectFileName(".tkp"));
  EXPECT_TRUE(IsProjectFileName("/x/SITE.TKP"));
  EXPECT_FALSE(IsProjectFileName("tkp"));
  EXPECT_FALSE(IsProjectFileName("a.tkp.bak"));
}

TEST(MakeCaption, UsesTheFileNameOfTheProject) {
  EXPECT_EQ(MakeCaption("無題.tkp", "オプション"), "Trawlkit(無題.tkp)オプション");
  EXPECT_EQ(MakeCaption("/home/u/Web/site.tkp", "ダウンロード"), "Trawlkit(site.tkp)ダウンロード");
  EXPECT_EQ(MakeCaption("/home/u/表示/表.tkp", "スタート"), "Trawlkit(表.tkp)スタート");
}

}  // namespace
}  // namespace tk

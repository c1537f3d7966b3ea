#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

using test::FileSizeLimit;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(IniDocument, ReadsValuesWithTheLayersRules) {
  const IniDocument doc(
      "[Setting]\r\n"
      "  SaveDir = /home/u/Web \r\n"
      "Quoted=\"a b\"\r\n"
      "Inner=x\"y\"\r\n"
      "OneQuote=\"open\r\n"
      "Num=42abc\r\n"
      "Neg=-1\r\n"
      "None=abc\r\n"
      "[URL]\n"
      "URL0=\"http://a/\"\n");
  EXPECT_EQ(doc.GetString("SETTING", "savedir", "def"), "/home/u/Web");
  EXPECT_EQ(doc.GetString("setting", "Quoted", ""), "a b");
  EXPECT_EQ(doc.GetString("setting", "Inner", ""), "x\"y\"");
  EXPECT_EQ(doc.GetString("setting", "OneQuote", ""), "\"open");
  EXPECT_EQ(doc.GetString("setting", "Missing", "def"), "def");
  EXPECT_EQ(doc.GetString("Nowhere", "SaveDir", "def"), "def");
  EXPECT_EQ(doc.GetInt("setting", "Num", 7), 42);
  EXPECT_EQ(doc.GetInt("setting", "Neg", 7), -1);
  EXPECT_EQ(doc.GetInt("setting", "None", 7), 0);
  EXPECT_EQ(doc.GetInt("setting", "Missing", 7), 7);
  EXPECT_EQ(doc.GetString("url", "url0", ""), "http://a/");
}

TEST(IniDocument, FirstSectionAndFirstKeyWin) {
  const IniDocument doc(
      "[A]\nk=1\nk=2\nx=\"1\"\nK=9\n"
      "[B]\nk=b\n"
      "[a]\nk=3\ny=4\n");
  EXPECT_EQ(doc.GetString("A", "k", ""), "1");
  EXPECT_EQ(doc.GetString("A", "y", "none"), "none");
  EXPECT_EQ(doc.KeyNames("a"), (std::vector<std::string>{"k", "x"}));
  // The whole section at once reads as the key-by-key calls do.
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(doc.Entries("a"), (Entries{{"k", "1"}, {"x", "1"}}));
  EXPECT_TRUE(doc.Entries("missing").empty());
}

TEST(IniDocument, KeyNamesInFileOrderSkippingJunk) {
  const IniDocument doc(
      "[URL]\n"
      "URL0=\"one\"\n"
      "this line has no equals sign\n"
      "; a comment=not a key\n"
      "=no key\n"
      "foo=\n"
      "URL1=\"two\"\n"
      "\n"
      "[Other]\n");
  EXPECT_EQ(doc.KeyNames("URL"), (std::vector<std::string>{"URL0", "foo", "URL1"}));
  EXPECT_TRUE(doc.KeyNames("Other").empty());
  EXPECT_TRUE(doc.KeyNames("Missing").empty());
}

TEST(IniDocument, SettingOneKeyKeepsEveryOtherByte) {
  const std::string original =
      "; hand-written\r\n[SETTING]\r\nSaveDir=/a\r\nLink=2\r\n\r\n[Extra]\r\nkeep = me \r\n";
  IniDocument doc(original);
  doc.Set("setting", "LINK", "3");
  EXPECT_EQ(doc.Text(),
            "; hand-written\r\n[SETTING]\r\nSaveDir=/a\r\nLINK=3\r\n\r\n[Extra]\r\nkeep = me \r\n");

  doc.Set("SETTING", "Page", "1");  // new key: after the section's last key, before the blank line
  EXPECT_EQ(doc.Text(),
            "; hand-written\r\n[SETTING]\r\nSaveDir=/a\r\nLINK=3\r\nPage=1\r\n\r\n[Extra]\r\nkeep = me \r\n");

  doc.Set("New", "k", "v");  // new section at the end, in the file's own line ends
  EXPECT_EQ(doc.Text().substr(doc.Text().size() - 12), "[New]\r\nk=v\r\n");
}

TEST(IniDocument, AppendsAfterAMissingFinalNewline) {
  IniDocument doc("[A]\nk=1");
  doc.Set("A", "j", "2");
  EXPECT_EQ(doc.Text(), "[A]\nk=1\nj=2\n");
  IniDocument other("[A]\nk=1");
  other.Set("B", "x", "y");
  EXPECT_EQ(other.Text(), "[A]\nk=1\n[B]\nx=y\n");
}

TEST(IniDocument, ReplacingASectionRemovesAllOldKeys) {
  IniDocument doc("[URL]\nURL0=a\nURL1=b\nURL2=c\nURL3=d\n\n[Keep]\nx=1\n");
  doc.ReplaceSection("url", {"URL0=\"p\"", "URL1=\"q\""});
  EXPECT_EQ(doc.Text(), "[URL]\nURL0=\"p\"\nURL1=\"q\"\n\n[Keep]\nx=1\n");
  doc.ReplaceSection("URL", {});
  EXPECT_EQ(doc.Text(), "[URL]\n\n[Keep]\nx=1\n");
  EXPECT_TRUE(doc.HasSection("URL"));
}

TEST(IniDocument, NoValueIsCutAtAFixedLength) {
  const std::string longUrl = "http://example.com/" + std::string(5000, 'a');
  IniDocument doc;
  doc.ReplaceSection("URL", {"URL0=\"" + longUrl + "\""});
  std::vector<std::string> many;
  for (int i = 0; i < 3000; ++i) many.push_back("KeyNumber" + std::to_string(i) + "=v");
  doc.ReplaceSection("Many", many);
  const IniDocument back(doc.Text());
  EXPECT_EQ(back.GetString("URL", "URL0", ""), longUrl);
  EXPECT_EQ(back.KeyNames("Many").size(), 3000u);
}

TEST(IniDocument, ValuesCannotInjectLines) {
  IniDocument doc;
  doc.Set("A", "k", "evil\r\n[B]\r\nx=1");
  EXPECT_FALSE(doc.HasSection("B"));
  EXPECT_EQ(doc.GetString("A", "k", ""), "evil[B]x=1");
}

TEST(IniDocument, SkipsAByteOrderMarkAndKeepsIt) {
  IniDocument doc("\xEF\xBB\xBF[A]\nk=1\n");
  EXPECT_EQ(doc.GetString("A", "k", ""), "1");
  doc.Set("A", "k", "2");
  EXPECT_EQ(doc.Text(), "\xEF\xBB\xBF[A]\nk=2\n");
}

TEST(IniDocument, ReadsAWindowsProjectInCp932) {
  // 無題 and 表示 in CP932; the 0x5C trail byte of 表 must not act as a path separator.
  const std::string cp932 = "[SETTING]\r\nSaveDir=C:\\\x95\x5C\x8E\xA6\r\n[URL]\r\nURL0=\"http://a/\x96\xB3\x91\xE8\"\r\n";
  const IniDocument doc(cp932);
  EXPECT_EQ(doc.GetString("SETTING", "SaveDir", ""), "C:\\表示");
  EXPECT_EQ(doc.GetString("URL", "URL0", ""), "http://a/無題");
}

TEST(IniDocument, BinaryGarbageDoesNotCrashAndKeepsItsBytes) {
  std::string garbage = "[A]\nk=1\n";
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 151 + 7) % 256);
  garbage += "\n[B]\nx=2\n";
  IniDocument doc(garbage);
  EXPECT_EQ(doc.GetString("A", "k", ""), "1");
  doc.Set("A", "k", "9");
  const IniDocument back(doc.Text());
  EXPECT_EQ(back.GetString("A", "k", ""), "9");
  EXPECT_EQ(back.GetString("B", "x", ""), "2");
}

TEST(IniDocument, AOneMegabyteLine) {
  const std::string big(1 << 20, 'x');
  IniDocument doc("[A]\n" + big + "\nk=" + big + "\n");
  EXPECT_EQ(doc.GetString("A", "k", "").size(), big.size());
}

TEST(ParseLeadingInt, TakesLeadingDigits) {
  EXPECT_EQ(ParseLeadingInt("12"), 12);
  EXPECT_EQ(ParseLeadingInt(" 7x"), 7);
  EXPECT_EQ(ParseLeadingInt("x7"), 0);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("-3"), -3);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
}

// The wizard's number fields read as the INI layer does, but tell "no number" from 0: a field
// without one keeps the value it had.
TEST(ParseLeadingInt, ReadLeadingIntSaysWhenNoNumberLeads) {
  struct Case {
    const char* text;
    std::optional<int> value;
  };
  const Case cases[] = {
      {"3", 3},      {" 4 layers", 4}, {"+5", 5},          {"-2", -2},  {"0x9", 0},
      {"", {}},      {"x7", {}},       {"-", {}},          {"- 3", {}}, {"\t", {}},
      {"11", 11},    {"-99999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadLeadingInt(c.text), c.value) << "'" << c.text << "'";
    EXPECT_EQ(ParseLeadingInt(c.text), c.value.value_or(0)) << "'" << c.text << "'";
  }
}

TEST(IniFile, WritesCreateAndKeepTheRestOfTheFile) {
  TempDir dir;
  const auto file = dir / "p.tkp";
  EXPECT_EQ(IniReadString(file, "A", "k", "def"), "def");
  ASSERT_TRUE(IniWriteString(file, "A", "k", "v"));
  ASSERT_TRUE(IniWriteSection(file, "B", {"x=1", "y=2"}));
  ASSERT_TRUE(IniWriteString(file, "A", "k", "w"));
  EXPECT_EQ(ReadFile(file), "[A]\nk=w\n[B]\nx=1\ny=2\n");
  EXPECT_EQ(IniReadInt(file, "B", "y", 0), 2);
  EXPECT_EQ(IniReadKeyNames(file, "b"), (std::vector<std::string>{"x", "y"}));
}

// Makes a folder read-only in a way that holds for root too (CI runs as root, which ignores
// permission bits): the immutable attribute. False where the file system does not support it.
bool MakeImmutable(const std::filesystem::path& dir, bool on) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

TEST(IniFile, AWriteIntoAReadOnlyFolderLeavesTheOldFileIntact) {
  TempDir dir;
  const auto sub = dir / "ro";
  std::filesystem::create_directory(sub);
  const auto file = sub / "p.tkp";
  WriteFile(file, "[A]\nk=old\n");
  chmod(sub.c_str(), 0555);
  const bool immutable = geteuid() == 0 && MakeImmutable(sub, true);
  if (geteuid() == 0 && !immutable) {
    chmod(sub.c_str(), 0755);
    GTEST_SKIP() << "running as root on a file system without the immutable attribute";
  }
  EXPECT_FALSE(IniWriteString(file, "A", "k", "new"));
  EXPECT_FALSE(IniWriteSection(file, "B", {"x=1"}));
  if (immutable) MakeImmutable(sub, false);
  chmod(sub.c_str(), 0755);
  EXPECT_EQ(ReadFile(file), "[A]\nk=old\n");
}

TEST(IniFile, AFullDiskLeavesTheOldFileIntact) {
  TempDir dir;
  const auto file = dir / "p.tkp";
  WriteFile(file, "[A]\nk=old\n");
  bool wrote;
  {
    FileSizeLimit full(64);
    wrote = IniWriteString(file, "A", "k", std::string(1000, 'x'));
  }
  EXPECT_FALSE(wrote);
  EXPECT_EQ(ReadFile(file), "[A]\nk=old\n");
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1) << "the temporary file must not stay behind";
}

TEST(IniFile, AFolderWhereTheFileShouldBe) {
  TempDir dir;
  const auto file = dir / "p.tkp";
  std::filesystem::create_directory(file);
  EXPECT_EQ(IniReadString(file, "A", "k", "def"), "def");
  EXPECT_FALSE(IniWriteString(file, "A", "k", "v"));
  EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST(IniFile, SpecialFilesReadAsMissingWithoutWaitingAndAreNeverReplaced) {
  TempDir dir;
  struct Row {
    const char* name;
    void (*make)(const std::filesystem::path& file);
  } rows[] = {
      {"a FIFO", [](const std::filesystem::path& f) { ASSERT_EQ(mkfifo(f.c_str(), 0600), 0); }},
      {"a link to /dev/zero", [](const std::filesystem::path& f) { std::filesystem::create_symlink("/dev/zero", f); }},
      {"a file past the bound",
       [](const std::filesystem::path& f) {
         WriteFile(f, "[A]\nk=1\n");
         std::filesystem::resize_file(f, kMaxIniBytes + 1);  // sparse: no disk is used
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto file = dir / "Trawlkit.ini";
    std::filesystem::remove(file);
    row.make(file);
    EXPECT_EQ(IniReadString(file, "A", "k", "def"), "def");
    EXPECT_TRUE(IniReadKeyNames(file, "A").empty());
    EXPECT_FALSE(IniWriteString(file, "A", "k", "v"));
    EXPECT_EQ(std::filesystem::symlink_status(file).type() == std::filesystem::file_type::regular,
              std::string(row.name) == "a file past the bound");
  }
  // Within the bound a file reads whole.
  WriteFile(dir / "ok.ini", "[A]\nk=1\n");
  EXPECT_EQ(ReadRegularFile(dir / "ok.ini", 8), std::optional<std::string>("[A]\nk=1\n"));
  EXPECT_FALSE(ReadRegularFile(dir / "ok.ini", 7));
}

TEST(IniFile, WritesLeaveNoTemporaryFilesBehind) {
  TempDir dir;
  const auto file = dir / "p.tkp";
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(IniWriteString(file, "A", "k", std::to_string(i)));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniFile, WritingThroughASymlinkKeepsTheLink) {
  TempDir dir;
  WriteFile(dir / "real.ini", "[A]\nk=1\n");
  std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
  ASSERT_TRUE(IniWriteString(dir / "link.ini", "A", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[A]\nk=2\n");
}

TEST(IniFile, WritingACp932FileStoresUtf8) {
  TempDir dir;
  const auto file = dir / "win.tkp";
  WriteFile(file, "[SETTING]\r\nSaveDir=C:\\\x96\xB3\x91\xE8\r\n");
  ASSERT_TRUE(IniWriteString(file, "SETTING", "Link", "2"));
  EXPECT_EQ(ReadFile(file), "[SETTING]\r\nSaveDir=C:\\無題\r\nLink=2\r\n");
}

// Two windows, or the wizard and the command line, change Trawlkit.ini at once: every change of
// each stays, and the lock leaves nothing behind.
TEST(IniFile, ConcurrentWritersKeepEachOthersChanges) {
  TempDir dir;
  const auto file = dir / "Trawlkit.ini";
  constexpr int kWrites = 60;
  auto writer = [&file](std::string section) {
    for (int i = 0; i < kWrites; ++i) IniWriteString(file, section, "k" + std::to_string(i), "v");
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  EXPECT_EQ(IniReadKeyNames(file, "A").size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(IniReadKeyNames(file, "B").size(), static_cast<size_t>(kWrites));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tk

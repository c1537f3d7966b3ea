// A run's open folders and the files saved through them: the folders entered once are the right
// ones however many there are, no symlink is ever entered, nothing leaks, and a file saved this
// way is put in place exactly as one saved from a bare save folder path.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "engine/local_file.h"
#include "engine/local_names.h"
#include "support/temp_dir.h"

namespace tk {
namespace {

namespace fs = std::filesystem;

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Writes `name` into the folder `fd` stands for, so the test can see where the folder really is.
void Mark(int fd, const std::string& name) {
  ASSERT_GE(fd, 0) << name;
  const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0) << name;
  ::close(file);
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
  return out;
}

TEST(OpenFolders, EntersEachFolderRightlyAndNeverThroughASymlink) {
  test::TempDir d, outside;
  fs::create_directories(d / "a/b");
  fs::create_symlink(outside.Path(), d / "link");
  fs::create_symlink(outside.Path(), d / "a/link");
  test::WriteFile(d / "file", "x");
  const std::size_t before = OpenDescriptors();
  {
    OpenFolders folders(d.Path());
    const struct Row {
      const char* relDir;
      bool create;
      const char* lands;  // where a file made in it appears, under the save folder; null: refused
      int error;
    } rows[] = {
        {"", false, "", 0},
        {"a/b", false, "a/b", 0},
        {"a/b", false, "a/b", 0},  // again, from what the first entry kept
        {"a/./b/", false, "a/b", 0},
        {"a/new/deeper", false, nullptr, ENOENT},
        {"a/new/deeper", true, "a/new/deeper", 0},
        {"link", false, nullptr, ELOOP},
        {"link/x", true, nullptr, ELOOP},
        {"a/link", true, nullptr, ELOOP},
        {"a/../a", false, nullptr, EINVAL},
        {"file/x", true, nullptr, ENOTDIR},
    };
    int n = 0;
    for (const Row& row : rows) {
      SCOPED_TRACE(row.relDir);
      errno = 0;
      const int fd = folders.Open(row.relDir, row.create);
      if (!row.lands) {
        EXPECT_EQ(fd, -1);
        if (row.error == ELOOP)  // a symlink met with O_DIRECTORY may answer either
          EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << errno;
        else
          EXPECT_EQ(errno, row.error);
        continue;
      }
      const std::string mark = "mark" + std::to_string(n++);
      Mark(fd, mark);
      EXPECT_TRUE(fs::exists(d / row.lands / mark)) << row.lands;
    }
    EXPECT_TRUE(Entries(outside.Path()).empty());

    // Far more folders than it keeps open: each still the right one, the descriptors bounded.
    for (int i = 0; i < 700; ++i) {
      const std::string rel = "many/f" + std::to_string(i % 350) + "/g";
      Mark(folders.Open(rel, true), "m" + std::to_string(i));
    }
    EXPECT_LE(OpenDescriptors(), before + 260);
    for (int i = 0; i < 350; ++i) {
      EXPECT_EQ(Entries(d / ("many/f" + std::to_string(i)) / "g"),
                (std::set<std::string>{"m" + std::to_string(i), "m" + std::to_string(i + 350)}));
    }
    EXPECT_EQ(MakeServerPath(folders, true, "h", "/x/y/p.htm", 80, "p.htm"), "h/x/y/p.htm");
    EXPECT_TRUE(fs::is_directory(d / "h/x/y"));
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

// Saved through a run's folders, as the crawl saves: the earlier copy replaced whole or not at
// all, its permissions and the server's date kept, an unchanged one left alone, nothing left over.
// The same whether the files are named from the start or made ahead unnamed and linked in place.
class FilesSaved : public testing::TestWithParam<bool> {};

TEST_P(FilesSaved, ThroughARunsFoldersArePlacedAsAnyOther) {
  const bool ahead = GetParam();
  test::TempDir d;
  const std::size_t before = OpenDescriptors();
  auto owned = std::make_unique<OpenFolders>(d.Path(), ahead);
  OpenFolders& folders = *owned;
  const auto save = [&](const std::string& rel, const std::string& bytes, std::optional<std::int64_t> when) {
    MakeServerPath(folders, true, "h", "/" + rel, 80, "");
    LocalFile f;
    if (!f.Create(folders, "h/" + rel)) return Placement::Failed;
    f.Write(bytes);
    return f.Finish() ? f.Place(when) : Placement::Failed;
  };
  EXPECT_EQ(save("s/a.htm", "one", std::int64_t{784111777}), Placement::New);
  ::chmod((d / "h/s/a.htm").c_str(), 0600);
  EXPECT_EQ(save("s/a.htm", "two!", std::int64_t{800000000}), Placement::Changed);
  EXPECT_EQ(save("s/a.htm", "two!", std::int64_t{900000000}), Placement::Unchanged);
  EXPECT_EQ(save("s/a.htm", "two?", std::nullopt), Placement::Changed);
  struct stat st {};
  ASSERT_EQ(::stat((d / "h/s/a.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadFile(d / "h/s/a.htm"), "two?");
  EXPECT_EQ(save("s/b.htm", "b", std::int64_t{784111777}), Placement::New);
  ASSERT_EQ(::stat((d / "h/s/b.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 784111777);

  // A folder the user removed since the run entered it is made again for the next file.
  fs::remove_all(d / "h/s");
  EXPECT_EQ(save("s/c.htm", "c", std::nullopt), Placement::New);
  EXPECT_EQ(test::ReadFile(d / "h/s/c.htm"), "c");

  // Held for mending, then placed from a fresh walk; a cut one and a discarded one leave nothing.
  LocalFile held;
  ASSERT_TRUE(held.Create(folders, "h/s/d.htm"));
  held.Write("held");
  ASSERT_TRUE(held.Finish());
  const HeldFile h = held.Hold(std::nullopt);
  EXPECT_FALSE(fs::exists(d / "h/s/d.htm"));
  EXPECT_EQ(PlaceHeld(d.Path(), h), Placement::New);
  {
    LocalFile cut;
    ASSERT_TRUE(cut.Create(folders, "h/s/c.htm"));
    cut.Write("half");
  }
  LocalFile dropped;
  ASSERT_TRUE(dropped.Create(folders, "h/s/d.htm"));
  dropped.Write("other");
  ASSERT_TRUE(dropped.Finish());
  dropped.Discard();
  EXPECT_EQ(Entries(d / "h/s"), (std::set<std::string>{"c.htm", "d.htm"}));
  EXPECT_EQ(test::ReadFile(d / "h/s/c.htm"), "c");
  EXPECT_EQ(test::ReadFile(d / "h/s/d.htm"), "held");

  // A file that turned up at the place while this one was written is replaced, as any other.
  LocalFile late;
  ASSERT_TRUE(late.Create(folders, "h/s/e.htm"));
  late.Write("mine");
  test::WriteFile(d / "h/s/e.htm", "theirs");
  ASSERT_TRUE(late.Finish());
  EXPECT_EQ(late.Place(std::nullopt), Placement::Changed);
  EXPECT_EQ(test::ReadFile(d / "h/s/e.htm"), "mine");
  EXPECT_EQ(Entries(d / "h/s"), (std::set<std::string>{"c.htm", "d.htm", "e.htm"}));
  // Only the folders stay open (and the files made ahead), never a file's descriptor.
  EXPECT_LE(OpenDescriptors(), before + 4 + (ahead ? 17 : 0));
  owned.reset();
  EXPECT_EQ(OpenDescriptors(), before);
}

INSTANTIATE_TEST_SUITE_P(NamedOrAhead, FilesSaved, testing::Bool());

TEST(OpenFolders, TemporaryNamesAreHiddenAndNeverRepeat) {
  std::set<std::string> names;
  for (int i = 0; i < 10000; ++i) {
    const std::string name = TempFileName();
    ASSERT_EQ(name.size(), std::string(".trawlkit-0123456789abcdef.part").size()) << name;
    ASSERT_EQ(name.rfind(".trawlkit-", 0), 0u) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 10000u);
}

}  // namespace
}  // namespace tk

#include "base/atomic_replace.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace tk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The umask as the kernel reports it: reading it this way changes nothing.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  ADD_FAILURE() << "no Umask line in /proc/self/status";
  return 022;
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

std::size_t FilesIn(const fs::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

TEST(AtomicReplace, ReplacesWholeKeepingModesAndLeavingNoTemporaryFile) {
  TempDir dir;
  const fs::path fresh = dir / "fresh.ini";
  ASSERT_TRUE(WriteFileAtomically(fresh, "one"));
  EXPECT_EQ(ReadFile(fresh), "one");
  EXPECT_EQ(ModeOf(fresh), 0666 & ~CurrentUmask()) << "a new file gets the usual mode";

  for (const mode_t mode : {0600, 0640, 0604}) {
    const fs::path kept = dir / ("kept" + std::to_string(mode) + ".ini");
    WriteFile(kept, "a much longer old content than the new one");
    ASSERT_EQ(::chmod(kept.c_str(), mode), 0);
    ASSERT_TRUE(WriteFileAtomically(kept, "new"));
    EXPECT_EQ(ReadFile(kept), "new") << "shorter data leaves no tail of the old";
    EXPECT_EQ(ModeOf(kept), mode) << "the old file's permission bits stay";
  }
  EXPECT_EQ(FilesIn(dir.Path()), 4u);
}

TEST(AtomicReplace, WritesThroughALinkAndRefusesAFolder) {
  TempDir dir;
  fs::create_directory(dir / "real");
  WriteFile(dir / "real" / "target.ini", "old");
  fs::create_symlink("real/target.ini", dir / "link.ini");
  ASSERT_TRUE(WriteFileAtomically(dir / "link.ini", "through"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini")) << "the link is not replaced by a plain file";
  EXPECT_EQ(ReadFile(dir / "real" / "target.ini"), "through");

  fs::create_directory(dir / "folder.ini");
  EXPECT_FALSE(WriteFileAtomically(dir / "folder.ini", "x"));
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
  EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "a.ini", "x")) << "no folder is made";
}

TEST(AtomicReplace, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  const fs::path file = dir / "settings.ini";
  WriteFile(file, "old");
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
  EXPECT_FALSE(WriteFileAtomically(file, "new"));
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
  EXPECT_EQ(ReadFile(file), "old");
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

}  // namespace
}  // namespace tk

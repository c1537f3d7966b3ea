// The cache's housekeeping, written through its own writer: a folder removed during a run, the
// sweep of orphan bodies, evictions that leave room below the size cap, and entries written out
// on the cache's own thread.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "inet/cache.h"
#include "support/cache_test_util.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"

namespace tk::inet {
namespace {

namespace fs = std::filesystem;

std::string UrlOf(const std::string& name) { return "http://example.invalid:80/" + name; }

// A complete entry of `length` bytes with a validator, as a 200 response would leave it.
void Store(const test::TestCache& cache, const std::string& name, std::size_t length) {
  cache::Meta meta;
  meta.url = UrlOf(name);
  meta.etag = "\"" + name + "\"";
  meta.expected = static_cast<std::int64_t>(length);
  auto writer = cache::Writer::Create(cache.Get(), meta);
  ASSERT_TRUE(writer) << name;
  std::string body(length, 'x');
  writer->Append(body.data(), body.size());
  writer->Finish(true);
}

void MakeOld(const fs::path& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
}

TEST(CacheUpkeep, AFolderRemovedDuringARunIsMadeAgain) {
  test::TestCache home;
  Store(home, "a", 100);
  ASSERT_TRUE(home->Lookup(UrlOf("a")));
  fs::remove_all(home.CacheDir());
  Store(home, "b", 100);
  EXPECT_TRUE(home->Lookup(UrlOf("b")));
  EXPECT_FALSE(home->Lookup(UrlOf("a")));
}

TEST(CacheUpkeep, OnlyPartFilesOlderThanAnHourAreSwept) {
  test::TestCache home;
  Store(home, "kept", 100);
  const fs::path dir = home.CacheDir();
  const fs::path kept = home->MetaPathFor(UrlOf("kept"));
  MakeOld(kept);  // old, but an entry
  const fs::path oldPart = dir / "00000000000000aa.00000000000000aa.part";
  const fs::path newPart = dir / "00000000000000bb.00000000000000bb.part";
  test::WriteFile(oldPart, "left by a crash");
  test::WriteFile(newPart, "another process is still writing this");
  MakeOld(oldPart);
  // A folder whose recorded total is lost is measured again by its next commit.
  fs::remove(dir / "lock");
  Store(home, "trigger", 10);
  EXPECT_FALSE(fs::exists(oldPart));
  EXPECT_TRUE(fs::exists(newPart));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_TRUE(home->Lookup(UrlOf("kept")));
}

TEST(CacheUpkeep, TheEarlierTwoFileLayoutIsNeverServedAndIsClearedByTheFirstCommit) {
  test::TestCache home(40000);
  Store(home, "kept", 10000);
  const fs::path dir = home.CacheDir();
  // What the earlier layout left for another URL: its metadata, its body, a metadata file being
  // swapped in, and a recorded total in that layout's form, far over the cap.
  const std::string key = test::EntryFileName(UrlOf("old")).substr(0, 16);
  test::WriteFile(dir / (key + ".meta"), "trawlkit-cache 1\nurl " + UrlOf("old") +
                                             "\ncomplete 1\nlength 3\nexpected 3\nchecksum 0\netag \"o\"\n"
                                             "last-modified \nbody " + key + ".0000000000000001.body\nheaders 0\n");
  test::WriteFile(dir / (key + ".0000000000000001.body"), "old");
  test::WriteFile(dir / (key + ".meta.0000000000000002.tmp"), "half");
  test::WriteFile(dir / "lock", "00000000009999999999\n");
  EXPECT_FALSE(home->Lookup(UrlOf("old")));
  Store(home, "new", 10000);
  // Measured, not taken from the record: nothing needed evicting, and the old files are gone.
  EXPECT_EQ(test::FilesIn(dir), (std::vector<std::string>{test::EntryFileName(UrlOf("kept")),
                                                          test::EntryFileName(UrlOf("new")), "lock"}));
}

// The folder's running total as the lock file records it; -1 when it records none.
long long RecordedTotal(const fs::path& dir) {
  const std::string text = test::ReadFile(dir / "lock");
  if (text.size() < 3 || text.back() != '\n') return -1;
  return std::stoll(text.substr(text.find(' ') + 1));
}

TEST(CacheUpkeep, ReplacedAndRemovedEntriesLeaveTheTotalRight) {
  test::TestCache home(1000000);
  const fs::path dir = home.CacheDir();
  struct Step {
    const char* what;
    std::function<void()> run;
    long long total;
  } steps[] = {
      {"a new entry", [&] { Store(home, "a", 10000); }, 10000},
      {"the same URL again, five times", [&] { for (int i = 0; i < 5; ++i) Store(home, "a", 10000); }, 10000},
      {"replaced by a shorter body", [&] { Store(home, "a", 4000); }, 4000},
      {"a second entry", [&] { Store(home, "b", 20000); }, 24000},
      {"it is removed", [&] { home->Remove(UrlOf("b")); }, 4000},
      {"removed again", [&] { home->Remove(UrlOf("b")); }, 4000},
      {"written on the cache's thread", [&] {
         for (int i = 0; i < 40; ++i) {
           cache::Meta meta;
           meta.url = UrlOf("t" + std::to_string(i % 20));
           meta.etag = "\"t\"";
           auto writer = cache::Writer::Create(home.Get(), meta, true);
           writer->Append("0123456789", 10);
           writer->Finish(true);
         }
         home->MetaPathFor(UrlOf("t19"));
       }, 4200},
  };
  for (const Step& step : steps) {
    step.run();
    EXPECT_EQ(RecordedTotal(dir), step.total) << step.what;
  }
}

TEST(CacheUpkeep, EvictionLeavesRoomBelowTheCap) {
  test::TestCache home(40000);
  for (const char* name : {"e1", "e2", "e3", "e4"}) {
    Store(home, name, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // 40,000 bytes: at the cap, nothing goes yet.
  EXPECT_TRUE(fs::exists(home->MetaPathFor(UrlOf("e1"))));
  Store(home, "e5", 10000);
  // 50,000 bytes: the two least recently used go, so the next entries fit without a new scan.
  EXPECT_FALSE(fs::exists(home->MetaPathFor(UrlOf("e1"))));
  EXPECT_FALSE(fs::exists(home->MetaPathFor(UrlOf("e2"))));
  for (const char* name : {"e3", "e4", "e5"}) EXPECT_TRUE(home->Lookup(UrlOf(name))) << name;
  Store(home, "e6", 10000);  // 40,000 again: still nothing to evict
  for (const char* name : {"e3", "e4", "e5", "e6"}) EXPECT_TRUE(home->Lookup(UrlOf(name))) << name;
}

std::unique_ptr<cache::Writer> Deferred(const test::TestCache& home, const std::string& name) {
  cache::Meta meta;
  meta.url = UrlOf(name);
  meta.etag = "\"" + name + "\"";
  return cache::Writer::Create(home.Get(), meta, true);
}

std::string ReadEntry(const test::TestCache& home, const std::string& name) {
  auto entry = home->Lookup(UrlOf(name));
  if (!entry) return "<none>";
  std::string data(static_cast<std::size_t>(entry->meta().length), '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    long n = entry->Read(data.data() + got, data.size() - got);
    if (n <= 0) return "<unreadable>";
    got += static_cast<std::size_t>(n);
  }
  return data;
}

TEST(CacheDeferred, AFinishedEntryIsFoundAtOnceByThisProcess) {
  test::TestCache home;
  for (int i = 0; i < 20; ++i) {
    auto writer = Deferred(home, "d" + std::to_string(i));
    ASSERT_TRUE(writer);
    std::string body = "body " + std::to_string(i);
    writer->Append(body.data(), 2);
    writer->Append(body.data() + 2, body.size() - 2);
    writer->Finish(true);
  }
  // The metadata path waits for the writes as Lookup does.
  EXPECT_TRUE(fs::exists(home->MetaPathFor(UrlOf("d19"))));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadEntry(home, "d" + std::to_string(i)), "body " + std::to_string(i));
}

TEST(CacheDeferred, ALongBodyGoesToItsFileAsItStreams) {
  test::TestCache home;
  auto writer = Deferred(home, "long");
  std::string chunk(1000, 'L');
  std::size_t total = 0;
  while (total <= cache::Writer::kHeldInMemory) {
    writer->Append(chunk.data(), chunk.size());
    total += chunk.size();
  }
  int parts = 0;
  for (auto& e : fs::directory_iterator(home.CacheDir()))
    if (e.path().extension() == ".part" && fs::file_size(e.path()) == total) ++parts;
  EXPECT_EQ(parts, 1);
  writer->Append("end", 3);
  writer->Finish(true);
  EXPECT_EQ(ReadEntry(home, "long"), std::string(total, 'L') + "end");
}

TEST(CacheDeferred, AnEntryFinishedAfterItsSessionClosedStillLands) {
  test::TestCache home;
  auto writer = Deferred(home, "late");
  writer->Append("abc", 3);
  home.Reset();  // the session and its cache are gone; the writer keeps what it needs
  writer->Finish(true);
  writer.reset();  // the last hold on the cache: its thread writes the entry, then stops
  cache::Cache again(home.CacheDir());
  auto entry = again.Lookup(UrlOf("late"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->meta().length, 3u);
}

TEST(CacheDeferred, AnUnwritableFolderGetsNoEntryAndNoFailure) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "not a folder");
  auto nowhere = std::make_shared<cache::Cache>(dir / "file" / "trawlkit");
  cache::Meta meta;
  meta.url = UrlOf("nowhere");
  meta.etag = "\"nowhere\"";
  auto writer = cache::Writer::Create(nowhere, meta, true);
  ASSERT_TRUE(writer);  // not known yet: the folder is only touched when the entry is written
  writer->Append("abc", 3);
  writer->Finish(true);
  EXPECT_FALSE(nowhere->Lookup(meta.url));
}

TEST(CacheDeferred, EntriesFinishedJustBeforeExitAreWritten) {
  test::TestCache home;
  Store(home, "before", 10);  // the parent's own writes, so a child is forked from a process that has them
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 0; i < 30; ++i) {
      auto writer = Deferred(home, "exit" + std::to_string(i));
      writer->Append("bye", 3);
      writer->Finish(true);
    }
    // The cache goes as a session's does at the end of a run: whatever is still queued is
    // written first.
    home.Reset();
    std::exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(ReadEntry(home, "exit" + std::to_string(i)), "bye") << i;
}

}  // namespace
}  // namespace tk::inet

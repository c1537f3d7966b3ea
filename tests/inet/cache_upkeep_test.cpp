// The cache's housekeeping, written through its own writer: a folder removed during a run, the
// sweep of orphan bodies, and evictions that leave room below the size cap.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "inet/cache.h"
#include "inet/options.h"
#include "inet_test_util.h"
#include "support/temp_dir.h"

namespace tk::inet {
namespace {

namespace fs = std::filesystem;

std::string UrlOf(const std::string& name) { return "http://example.invalid:80/" + name; }

// A complete entry of `length` bytes with a validator, as a 200 response would leave it.
void Store(const std::string& name, std::size_t length) {
  cache::Meta meta;
  meta.url = UrlOf(name);
  meta.etag = "\"" + name + "\"";
  meta.expected = static_cast<std::int64_t>(length);
  auto writer = cache::Writer::Create(meta);
  ASSERT_TRUE(writer) << name;
  std::string body(length, 'x');
  writer->Append(body.data(), body.size());
  writer->Finish(true);
}

void MakeOld(const fs::path& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
}

TEST(CacheUpkeep, AFolderRemovedDuringARunIsMadeAgain) {
  test::ScopedCacheHome home;
  Store("a", 100);
  ASSERT_TRUE(cache::Lookup(UrlOf("a")));
  fs::remove_all(home.CacheDir());
  Store("b", 100);
  EXPECT_TRUE(cache::Lookup(UrlOf("b")));
  EXPECT_FALSE(cache::Lookup(UrlOf("a")));
}

TEST(CacheUpkeep, OnlyOrphanBodiesOlderThanAnHourAreSwept) {
  test::ScopedCacheHome home;
  Store("kept", 100);
  const fs::path dir = home.CacheDir();
  fs::path keptBody;
  for (auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".body") keptBody = e.path();
  ASSERT_FALSE(keptBody.empty());
  MakeOld(keptBody);  // old, but its metadata names it
  const fs::path oldOrphan = dir / "00000000000000aa.00000000000000aa.body";
  const fs::path newOrphan = dir / "00000000000000bb.00000000000000bb.body";
  test::WriteFile(oldOrphan, "left by a crash");
  test::WriteFile(newOrphan, "another process is still writing this");
  MakeOld(oldOrphan);
  {
    // A commit in another folder: on coming back, the first commit measures this one again.
    test::ScopedCacheHome other;
    Store("elsewhere", 10);
  }
  Store("trigger", 10);
  EXPECT_FALSE(fs::exists(oldOrphan));
  EXPECT_TRUE(fs::exists(newOrphan));
  EXPECT_TRUE(fs::exists(keptBody));
  EXPECT_TRUE(cache::Lookup(UrlOf("kept")));
}

TEST(CacheUpkeep, EvictionLeavesRoomBelowTheCap) {
  test::ScopedCacheHome home;
  SetCacheSizeLimit(40000);
  for (const char* name : {"e1", "e2", "e3", "e4"}) {
    Store(name, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // 40,000 bytes: at the cap, nothing goes yet.
  EXPECT_TRUE(fs::exists(cache::MetaPathFor(UrlOf("e1"))));
  Store("e5", 10000);
  // 50,000 bytes: the two least recently used go, so the next entries fit without a new scan.
  EXPECT_FALSE(fs::exists(cache::MetaPathFor(UrlOf("e1"))));
  EXPECT_FALSE(fs::exists(cache::MetaPathFor(UrlOf("e2"))));
  for (const char* name : {"e3", "e4", "e5"}) EXPECT_TRUE(cache::Lookup(UrlOf(name))) << name;
  Store("e6", 10000);  // 40,000 again: still nothing to evict
  for (const char* name : {"e3", "e4", "e5", "e6"}) EXPECT_TRUE(cache::Lookup(UrlOf(name))) << name;
  SetCacheSizeLimit(std::uint64_t{1} << 30);
}

}  // namespace
}  // namespace tk::inet

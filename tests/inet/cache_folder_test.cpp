// The cache folder is the user's own: made 0700, refused when others could change it, and every
// file in it read as a plain file of bounded size, never through a link, never waited on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "base/home_folder.h"
#include "inet/cache.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"

namespace tk::inet {
namespace {

namespace fs = std::filesystem;

const std::string kUrl = "http://example.invalid:80/a";

void Store(cache::Cache& cache, const std::shared_ptr<cache::Cache>& owner, const std::string& body,
           const std::string& headers = "") {
  cache::Meta meta;
  meta.url = kUrl;
  meta.etag = "\"a\"";
  meta.headers = headers;
  meta.expected = static_cast<std::int64_t>(body.size());
  auto writer = cache::Writer::Create(owner, meta);
  ASSERT_TRUE(writer);
  writer->Append(body.data(), body.size());
  writer->Finish(true);
  (void)cache;
}

int ModeOf(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::size_t CountFiles(const fs::path& dir) {
  std::size_t n = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
  return n;
}

TEST(CacheFolder, WithoutHomeItIsTheUsersOwnHomeNeverASharedFolder) {
  const std::string home = PasswordHome();
  const fs::path expected = home.empty() ? fs::path() : fs::path(home) / ".cache" / "trawlkit";
  EXPECT_EQ(cache::DirectoryFor(nullptr, nullptr), expected);
  EXPECT_EQ(cache::DirectoryFor(nullptr, ""), expected);
  EXPECT_NE(cache::DirectoryFor(nullptr, nullptr), fs::path("/tmp/.cache/trawlkit"));
  // No home at all: no cache, rather than one in a folder every user shares.
  cache::Cache none{fs::path()};
  EXPECT_EQ(none.Open(), "no home folder to keep it in");
}

TEST(CacheFolder, MadeForTheUserAlone) {
  test::TempDir t;
  const fs::path dir = t.Path() / "xdg" / "trawlkit";
  auto store = std::make_shared<cache::Cache>(dir);
  EXPECT_EQ(store->Open(), "");
  EXPECT_EQ(ModeOf(dir), 0700);
  EXPECT_EQ(ModeOf(t.Path() / "xdg"), 0700);
  Store(*store, store, "abc");
  EXPECT_TRUE(store->Lookup(kUrl));
}

TEST(CacheFolder, OneOthersCouldChangeIsRefusedAndLeftAsItWas) {
  struct Row {
    const char* name;
    void (*plant)(const fs::path& dir, const fs::path& victim);
    const char* why;
  } rows[] = {
      {"writable by all", [](const fs::path& dir, const fs::path&) { fs::permissions(dir, fs::perms(0777)); },
       " is not a folder of this user alone"},
      {"writable by the group", [](const fs::path& dir, const fs::path&) { fs::permissions(dir, fs::perms(0770)); },
       " is not a folder of this user alone"},
      {"a link to a folder",
       [](const fs::path& dir, const fs::path& victim) {
         fs::create_directory(victim.parent_path() / "elsewhere");
         fs::create_directory_symlink(victim.parent_path() / "elsewhere", dir);
       },
       " is not a folder"},
      {"its lock a link to another file",
       [](const fs::path& dir, const fs::path& victim) { fs::create_symlink(victim, dir / "lock"); },
       "/lock is not a file of this user alone"},
      {"its lock a FIFO", [](const fs::path& dir, const fs::path&) { ::mkfifo((dir / "lock").c_str(), 0600); },
       "/lock is not a file of this user alone"},
      {"its lock writable by others",
       [](const fs::path& dir, const fs::path&) {
         test::WriteFile(dir / "lock", "");
         fs::permissions(dir / "lock", fs::perms(0666));
       },
       "/lock is not a file of this user alone"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TempDir t;
    const fs::path dir = t.Path() / "trawlkit";
    const fs::path victim = t.Path() / "victim.txt";
    test::WriteFile(victim, "the user's own file");
    if (std::string(row.name) != "a link to a folder") fs::create_directory(dir);
    row.plant(dir, victim);
    const std::size_t before = CountFiles(dir);
    auto store = std::make_shared<cache::Cache>(dir);
    EXPECT_EQ(store->Open(), dir.string() + row.why);
    EXPECT_FALSE(store->Lookup(kUrl));
    cache::Meta meta;
    meta.url = kUrl;
    meta.etag = "\"a\"";
    EXPECT_FALSE(cache::Writer::Create(store, meta));
    auto deferred = cache::Writer::Create(store, meta, true);
    ASSERT_TRUE(deferred);
    deferred->Append("abc", 3);
    deferred->Finish(true);
    store->Remove(kUrl);
    store.reset();  // whatever it queued is written, or not, by now
    EXPECT_EQ(CountFiles(dir), before);
    EXPECT_EQ(test::ReadFile(victim), "the user's own file");
  }
}

TEST(CacheEntries, SpecialOrDamagedFilesAreAbsentNeverWaitedOn) {
  std::mt19937 rng(7);
  std::string noise(5u << 20, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  // Each row turns the good entry file (`spare` is a copy of it) into something else.
  auto edit = [](std::function<void(std::string&)> change) {
    return [change](const fs::path& f, const fs::path& spare) {
      std::string bytes = test::ReadFile(spare);
      change(bytes);
      test::WriteFile(f, bytes);
    };
  };
  struct Row {
    const char* name;
    std::function<void(const fs::path& file, const fs::path& spare)> plant;
    bool swept;  // an eviction scan removes it (it tells no stored length)
  } rows[] = {
      {"a FIFO", [](const fs::path& f, const fs::path&) { ::mkfifo(f.c_str(), 0600); }, true},
      {"a link to /dev/zero", [](const fs::path& f, const fs::path&) { fs::create_symlink("/dev/zero", f); }, true},
      {"a link to a good copy", [](const fs::path& f, const fs::path& spare) { fs::create_symlink(spare, f); }, true},
      {"random bytes", [&](const fs::path& f, const fs::path&) { test::WriteFile(f, noise); }, true},
      {"zero bytes", [](const fs::path& f, const fs::path&) { test::WriteFile(f, std::string(5u << 20, '\0')); }, true},
      {"empty", [](const fs::path& f, const fs::path&) { test::WriteFile(f, ""); }, true},
      {"a body byte changed", edit([](std::string& b) { b[1] = 'X'; }), false},
      {"a validator changed", edit([](std::string& b) { b.replace(b.find("etag \"a\""), 8, "etag \"b\""); }), false},
      {"a header changed", edit([](std::string& b) { b.replace(b.find("Type: text/html"), 15, "Type: text/htmx"); }), false},
      {"cut inside its trailer", edit([](std::string& b) { b.erase(b.size() - 60); }), true},
      {"a byte added at the end", edit([](std::string& b) { b += '\n'; }), true},
      {"a byte added to the body", edit([](std::string& b) { b.insert(1, "b"); }), true},
      {"its footer's body length one more", edit([](std::string& b) { b[b.size() - 28] += 1; }), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TempDir t;
    auto store = std::make_shared<cache::Cache>(t.Path() / "trawlkit");
    Store(*store, store, "abcdef", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
    const fs::path file = store->MetaPathFor(kUrl);
    ASSERT_TRUE(store->Lookup(kUrl));
    const fs::path spare = t.Path() / "spare";
    fs::copy_file(file, spare);
    fs::remove(file);
    row.plant(file, spare);
    EXPECT_FALSE(store->Lookup(kUrl));
    // An eviction scan meets it too: the folder's recorded total is lost, so the next commit
    // measures every entry.
    fs::remove(t.Path() / "trawlkit" / "lock");
    cache::Meta other;
    other.url = kUrl + "2";
    other.etag = "\"b\"";
    auto writer = cache::Writer::Create(store, other);
    ASSERT_TRUE(writer);
    writer->Append("b", 1);
    writer->Finish(true);
    EXPECT_TRUE(store->Lookup(other.url));
    EXPECT_EQ(!fs::exists(fs::symlink_status(file)), row.swept);
    EXPECT_TRUE(fs::is_regular_file(spare));
  }
}

}  // namespace
}  // namespace tk::inet

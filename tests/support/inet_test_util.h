#pragma once
// Shared pieces of the internet layer's tests: reading a whole body, and a cache folder of the
// test's own.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "inet/cache.h"
#include "inet/inet.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {

// The test servers are on 127.0.0.1: a proxy from the environment must never be asked for them.
inline const bool kLoopbackBypassesProxy = [] {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  return true;
}();

template <typename Readable>
std::optional<std::string> ReadAll(Readable& r, inet::Error& err) {
  std::string out;
  char buf[1024];
  for (;;) {
    long n = r.Read(buf, 1023, err);
    if (n < 0) return std::nullopt;
    if (n == 0) return out;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

// A cache in a fresh folder, to open a session with.
class TestCache {
 public:
  explicit TestCache(std::uint64_t sizeLimit = inet::cache::kDefaultSizeLimit)
      : m_cache(std::make_shared<inet::cache::Cache>(CacheDir(), sizeLimit)) {}
  std::filesystem::path CacheDir() const { return m_dir.Path() / "trawlkit"; }
  const std::shared_ptr<inet::cache::Cache>& Get() const { return m_cache; }
  inet::cache::Cache* operator->() const { return m_cache.get(); }
  // Ends this cache object, writing what it still holds: a later one may take the same folder.
  void Reset() { m_cache.reset(); }

 private:
  TempDir m_dir;
  std::shared_ptr<inet::cache::Cache> m_cache;
};

}  // namespace tk::test

#pragma once
// Shared pieces of the internet layer's tests: the server's deterministic bodies, reading a
// whole body, and a cache folder of the test's own.
#include <cstdlib>
#include <optional>
#include <string>

#include "inet/inet.h"
#include "support/temp_dir.h"

namespace tk::test {

// The test servers are on 127.0.0.1: a proxy from the environment must never be asked for them.
inline const bool kLoopbackBypassesProxy = [] {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  return true;
}();

// The same bytes as http_test_server.py's body_bytes(n, seed).
inline std::string BodyBytes(std::size_t n, const std::string& seed = "x") {
  std::string out;
  while (out.size() < n) out += seed + ":" + std::to_string(out.size()) + "|";
  out.resize(n);
  return out;
}

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

// Points XDG_CACHE_HOME at a fresh folder for the lifetime of the object.
class ScopedCacheHome {
 public:
  ScopedCacheHome() {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) m_old = old;
    setenv("XDG_CACHE_HOME", m_dir.Path().c_str(), 1);
  }
  ~ScopedCacheHome() {
    if (m_old.empty())
      unsetenv("XDG_CACHE_HOME");
    else
      setenv("XDG_CACHE_HOME", m_old.c_str(), 1);
  }
  std::filesystem::path CacheDir() const { return m_dir.Path() / "trawlkit"; }

 private:
  TempDir m_dir;
  std::string m_old;
};

}  // namespace tk::test

// Fills the cache folder with entries "of earlier runs", the way the program's own writer leaves
// them, so that a crawl benchmark can meet a cache that already holds many entries. The folder is
// the one the program uses: $XDG_CACHE_HOME/trawlkit, else $HOME/.cache/trawlkit.
// Build a Release folder and run:
//   cmake --build build-rel --target cache_fill
//   HOME=/var/tmp/somehome build-rel/bench/cache_fill 100000 [bytes per body, default 4000]
// Prints the folder and the seconds taken.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "inet/cache.h"

namespace {

std::string Body(std::size_t n, long seed) {
  std::string out;
  out.reserve(n + 32);
  while (out.size() < n) out += "<p>earlier run " + std::to_string(seed) + ":" + std::to_string(out.size()) + "</p>\n";
  out.resize(n);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: cache_fill ENTRIES [BYTES]\n");
    return 2;
  }
  const long entries = std::atol(argv[1]);
  const long bytes = argc == 3 ? std::atol(argv[2]) : 4000;
  if (entries < 0 || bytes <= 0) {
    std::fprintf(stderr, "cache_fill: ENTRIES >= 0 and BYTES > 0\n");
    return 2;
  }
  namespace cache = tk::inet::cache;
  // The folder a session of the program would open, read once as the program reads it.
  auto store = std::make_shared<cache::Cache>(cache::DefaultDirectory());
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < entries; ++i) {
    const std::string body = Body(static_cast<std::size_t>(bytes), i);
    cache::Meta meta;
    meta.url = "http://earlier-run.invalid:80/site" + std::to_string(i / 1000) + "/page" + std::to_string(i) + ".html";
    meta.etag = "\"e" + std::to_string(i) + "\"";
    meta.lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    meta.expected = bytes;
    meta.headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(bytes) +
                   "\r\nETag: " + meta.etag + "\r\nLast-Modified: " + meta.lastModified + "\r\n";
    // Held in memory and written on the cache's own thread, as a crawl writes small pages.
    auto writer = cache::Writer::Create(store, meta, body.size() <= cache::Writer::kHeldInMemory);
    if (!writer) {
      std::fprintf(stderr, "cache_fill: %s cannot be written\n", store->Directory().c_str());
      return 1;
    }
    writer->Append(body.data(), body.size());
    writer->Finish(true);
  }
  // The last entry waits for its own write, and the writes go in order: all are in the folder.
  const bool last = entries == 0 || std::filesystem::exists(store->MetaPathFor(
      "http://earlier-run.invalid:80/site" + std::to_string((entries - 1) / 1000) + "/page" +
      std::to_string(entries - 1) + ".html"));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s %ld entries %.2f s\n", store->Directory().c_str(), entries, seconds);
  return last ? 0 : 1;
}

#pragma once
// The cache's own thread: entries whose body fitted in memory are written to disk there, in the
// order they were finished, while the worker thread goes on with its next request. What has
// queued up meanwhile is written as one batch, published under one lock.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "inet/cache.h"

namespace tk::inet::cache::detail {

// A finished entry whose body is still in memory, bound for `dir`.
struct Held {
  std::filesystem::path dir;
  Meta meta;
  std::string body;
};

// Queues `entry` for the cache's thread, started on first use.
void Defer(Held entry);

// Returns once no entry for `url` queued by this process is still waiting to be written: this
// process always finds what it finished. Other entries may still be on their way.
void WaitFor(std::string_view url);

// Returns once every entry queued so far by this process has been written.
void WaitForDeferred();

// Writes a batch of held entries (defined with the cache's files; run on the cache's thread).
void WriteHeld(std::vector<Held>& batch);

}  // namespace tk::inet::cache::detail

#pragma once
// The cache's own thread: entries whose body fitted in memory are written to disk there, in the
// order they were finished, while the worker thread goes on with its next request.
#include <functional>

namespace tk::inet::cache::detail {

// Queues `job` for the cache's thread, started on first use.
void Defer(std::function<void()> job);

// Returns once every job queued so far by this process has run: whoever reads the cache folder
// sees each entry this process finished before.
void WaitForDeferred();

}  // namespace tk::inet::cache::detail

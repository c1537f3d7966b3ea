#pragma once
// Opening saved pages in Debian's headless Chromium from file:// with the network off, through
// the checker page offline_check.html, and judging what the browser reported.
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tk::test {

struct BrowserRun {
  bool started = false;  // false: the browser could not start; `message` says why
  std::string message;
  std::string dom;       // what --dump-dom printed
};

// The browser binary: $TRAWLKIT_CHROMIUM when set, else /usr/bin/chromium.
std::string ChromiumPath();

// Runs the browser on `page` with a fresh profile in `profile` and prints its DOM once the
// page's work is done. The browser and every process it starts are killed after `timeout`.
BrowserRun DumpDomOffline(const std::filesystem::path& page, const std::filesystem::path& profile,
                          std::chrono::seconds timeout);

// The checker page with the file URLs of `pages` filled in.
std::string CheckerPage(const std::vector<std::filesystem::path>& pages);

// The problems in the checker's verdict: a page that did not render as the page it is, an
// image that did not load, a script that did not run, a frame, image or link (other than the
// values in `kept`) that leads to no file inside `save`. Empty when all is well.
std::vector<std::string> CheckVerdict(const std::string& dom, const std::filesystem::path& save,
                                      const std::set<std::string>& kept, std::size_t pages);

}  // namespace tk::test

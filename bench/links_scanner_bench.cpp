// Scanner throughput: a generated 50 MB page with 200,000 links, every one of which fetchUrl
// answers at once from a table (as the visited list does for links already fetched), fed in
// the engine's chunks of 1,023 bytes. Build a Release folder and run by hand:
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLKIT_GUI=OFF
//   cmake --build build-bench --target links_scanner_bench && build-bench/bench/links_scanner_bench
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "links/html_scanner.h"

namespace {

constexpr int kLinks = 200000;
constexpr std::size_t kPageBytes = 50u * 1000 * 1000;

std::string MakePage(std::unordered_map<std::string, std::string>& visited) {
  static const char kText[] =
      "Trawlkit keeps a copy of every page it visits, so the text between the tags is most of "
      "what the scanner reads; it must pass it on in long runs. ";
  std::string page = "<!DOCTYPE html>\n<html lang=ja><head><title>bench</title></head><body>\n";
  page.reserve(kPageBytes + 4096);
  const std::size_t perLink = kPageBytes / kLinks;
  for (int i = 0; i < kLinks; ++i) {
    const std::string n = std::to_string(i);
    const std::size_t start = page.size();
    switch (i % 4) {
      case 0: page += "<p class=\"item\"><a href=\"sub/page" + n + ".html\">page " + n + "</a> "; break;
      case 1: page += "<p><img src=\"img/i" + n + ".gif\" alt=\"image\" width=32 height=32> "; break;
      case 2: page += "<div id=d" + n + "><A NAME=n" + n + " HREF=/top/t" + n + ".htm#x>t</A> "; break;
      default: page += "<li><a title=\"x\" href='list.php?id=" + n + "&amp;s=1'>l</a> "; break;
    }
    while (page.size() - start + sizeof kText - 1 < perLink) page += kText;
    page.append(kText, perLink - std::min(perLink, page.size() - start));
    page += "</p>\n";
  }
  page += "</body></html>\n";
  visited.reserve(kLinks);
  const std::string base = "http://bench.example/dir/";
  for (int i = 0; i < kLinks; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 4) {
      case 0: visited[base + "sub/page" + n + ".html"] = "bench.example/dir/sub/page" + n + ".html"; break;
      case 1: visited[base + "img/i" + n + ".gif"] = "bench.example/dir/img/i" + n + ".gif"; break;
      case 2: visited["http://bench.example/top/t" + n + ".htm"] = "bench.example/top/t" + n + ".htm"; break;
      default: visited[base + "list.php?id=" + n + "&s=1"] = "bench.example/dir/list" + n + ".htm"; break;
    }
  }
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  // "--fixed": every link answers one fixed path, leaving the table look-up out of the figure.
  const bool fixed = argc > 1 && std::string(argv[1]) == "--fixed";
  std::unordered_map<std::string, std::string> visited;
  const std::string page = MakePage(visited);
  const std::string fixedPath = "bench.example/dir/sub/fixed.html";
  std::vector<double> rates;
  for (int round = 0; round < 5; ++round) {
    std::size_t written = 0;
    int fetched = 0;
    int answered = 0;
    tk::PageContext ctx{"bench.example", 80, "/dir/index.html", "bench.example/dir/index.html", 0, 1,
                        nullptr, nullptr};
    ctx.fetchUrl = [&](const std::string& url, bool, int) {
      ++fetched;
      if (fixed) return ++answered, fixedPath;
      const auto it = visited.find(url);
      if (it == visited.end()) return std::string();
      ++answered;
      return it->second;
    };
    ctx.write = [&](const char*, std::size_t len) { written += len; };
    tk::ScanState state;
    // CPU time of this thread: the machine is shared, and the goal is per core.
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    for (std::size_t at = 0; at < page.size(); at += 1023)
      tk::ParseHtmlChunk(ctx, std::string_view(page).substr(at, 1023), state);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    const double s = static_cast<double>(c1.tv_sec - c0.tv_sec) + static_cast<double>(c1.tv_nsec - c0.tv_nsec) / 1e9;
    rates.push_back(static_cast<double>(page.size()) / 1e6 / s);
    std::printf("round %d: %.1f MB in %.3f s CPU = %.0f MB/s, %d links fetched, %d answered, %zu bytes out\n",
                round, static_cast<double>(page.size()) / 1e6, s, rates.back(), fetched, answered,
                written);
  }
  // The table alone: the same look-ups and copies in the same order, without the scanner.
  {
    std::vector<std::string> urls;
    for (int round = 0; round < 1; ++round) {
      int n = 0;
      tk::PageContext ctx{"bench.example", 80, "/dir/index.html", "bench.example/dir/index.html", 0,
                          1, nullptr, nullptr};
      ctx.fetchUrl = [&](const std::string& url, bool, int) { return urls.push_back(url), ++n, std::string(); };
      tk::ScanState state;
      tk::ParseHtmlChunk(ctx, page, state);
    }
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    std::size_t total = 0;
    for (const std::string& url : urls) {
      const auto it = visited.find(url);
      const std::string local = it == visited.end() ? std::string() : it->second;
      total += local.size();
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    const double s = static_cast<double>(c1.tv_sec - c0.tv_sec) + static_cast<double>(c1.tv_nsec - c0.tv_nsec) / 1e9;
    std::printf("table alone: %zu look-ups in %.3f s CPU (%zu bytes of answers)\n", urls.size(), s, total);
  }
  std::sort(rates.begin(), rates.end());
  std::printf("median %.0f MB/s\n", rates[rates.size() / 2]);
  return 0;
}

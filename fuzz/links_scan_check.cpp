#include "fuzz/links_scan_check.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "fuzz/fuzz_random.h"
#include "links/html_scanner.h"

namespace tk::fuzz {
namespace {

struct Run {
  std::string output;
  std::vector<std::size_t> links;  // where in the output each link value was written
  std::vector<std::string> calls;  // url, flag and depth in one line each
  std::string badCall;
};

// Some links come back saved, some not, a few under names that need escaping.
std::string SavedAs(const std::string& url) {
  const std::uint32_t h = Hash(url);
  switch (h % 4) {
    case 0: return {};
    case 1: return "h/f" + std::to_string(h) + ".htm";
    case 2: return "h/d/sub/f" + std::to_string(h) + ".gif";
    default: return "o~8080/a b#" + std::to_string(h) + "?.htm";
  }
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// seed 0 feeds the page whole.
Run Scan(std::string_view page, std::uint32_t seed, bool saveSome) {
  Run run;
  PageContext ctx{"h", 8080, "/d/page.html", "h/d/page.html", 0, 1, nullptr, nullptr};
  ctx.fetchUrl = [&](const std::string& url, bool parseHtml, int depth) {
    run.calls.push_back(url + (parseHtml ? " 4 " : " 0 ") + std::to_string(depth));
    if (depth != 1 || !(StartsNoCase(url, "http://") || StartsNoCase(url, "ftp://")))
      run.badCall = run.calls.back();
    return saveSome ? SavedAs(url) : std::string();
  };
  ctx.write = [&](const char* data, std::size_t len) {
    if (len == 0) run.badCall = "empty write";
    run.output.append(data, len);
  };
  // Without saved files every link value becomes an absolute URL; the pass-through check leaves
  // the values out and looks at everything around them.
  if (!saveSome)
    ctx.writeLink = [&](std::string_view text, const std::string& url, bool saved) {
      if (saved || text.empty() || url.empty()) run.badCall = "link written as saved: " + url;
      run.links.push_back(run.output.size());
    };
  ScanState state;
  std::uint32_t x = seed | 1u;
  std::size_t at = 0;
  while (at < page.size()) {
    std::size_t len = page.size() - at;
    if (seed != 0) {
      // Mostly tiny pieces, so that tags and "<" are cut at every position; now and then the
      // engine's 1,023 bytes.
      const std::uint32_t r = Next(x);
      len = std::min<std::size_t>(len, 1 + ((r & 0x100) ? r % 1023 : r % 9));
    }
    ParseHtmlChunk(ctx, page.substr(at, len), state);
    at += len;
  }
  FinishHtml(ctx, state);
  return run;
}

// Matches the output, less its link values, against the page: the text between two values
// stands in the page after a value of at least one byte that holds no ">" (a tag ends there).
// Returns how much of the page the output stands for, or npos when it does not match.
std::size_t MatchAroundLinks(std::string_view page, const Run& run) {
  std::size_t pos = 0;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= run.links.size(); ++i) {
    const std::size_t to = i < run.links.size() ? run.links[i] : run.output.size();
    const std::string_view segment = std::string_view(run.output).substr(from, to - from);
    if (i > 0) {
      std::size_t k = pos + 1;
      while (k <= page.size() && page[k - 1] != '>' && page.substr(k, segment.size()) != segment) ++k;
      if (k > page.size() || page[k - 1] == '>') return std::string_view::npos;
      pos = k;
    }
    if (page.substr(pos, segment.size()) != segment) return std::string_view::npos;
    pos += segment.size();
    from = to;
  }
  return pos;
}

std::string CheckPassThrough(std::string_view page, std::uint32_t seed) {
  const Run run = Scan(page, seed, false);
  if (!run.badCall.empty()) return "bad fetch or write: " + run.badCall;
  const std::size_t matched = MatchAroundLinks(page, run);
  if (matched == std::string_view::npos) return "output is not the page with its links replaced";
  const std::string_view lost = page.substr(matched);
  return lost.empty() ? std::string() : "lost the page's tail: " + std::string(lost.substr(0, 64));
}

std::string CheckChunking(std::string_view page, std::uint32_t seed) {
  const Run whole = Scan(page, 0, true);
  const Run chunked = Scan(page, seed, true);
  if (!whole.badCall.empty()) return "bad fetch or write: " + whole.badCall;
  if (chunked.calls != whole.calls) return "chunking changed the fetches";
  if (chunked.output != whole.output) return "chunking changed the output";
  return {};
}

}  // namespace

std::string CheckScan(const std::uint8_t* data, std::size_t size) {
  std::uint32_t seed = 0;
  std::size_t used = 0;
  for (; used < 4 && used < size; ++used) seed = (seed << 8) | data[used];
  if (seed == 0) seed = 1;
  const std::string_view page(reinterpret_cast<const char*>(data) + used, size - used);
  std::string error = CheckPassThrough(page, seed);
  if (error.empty()) error = CheckChunking(page, seed);
  return error;
}

}  // namespace tk::fuzz

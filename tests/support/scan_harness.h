#pragma once
// Runs the link scanner over a page the way the engine does, recording what it fetched and wrote.
#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "links/html_scanner.h"

namespace tk::test {

struct FetchCall {
  std::string url;
  bool parseHtml = false;
  int depth = 0;
  bool operator==(const FetchCall&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const FetchCall& c) {
    return os << "{" << c.url << ", parseHtml=" << c.parseHtml << ", depth=" << c.depth << "}";
  }
};

struct ScanResult {
  std::string output;
  std::vector<FetchCall> calls;
};

// A page at http://h/dir/page.html saved as h/dir/page.html, at depth 0 with one link layer.
struct ScanSetup {
  std::string host = "h";
  int port = 80;
  std::string object = "/dir/page.html";
  std::string pageLocalPath = "h/dir/page.html";
  int depth = 0;
  int linkLayers = 1;
  std::map<std::string, std::string> saved;  // URL -> local path; any other URL gives ""
};

// Feeds `html` in pieces that end at each position of `cuts` (then the rest).
inline ScanResult ScanWithCuts(std::string_view html, const ScanSetup& setup,
                               const std::vector<std::size_t>& cuts) {
  ScanResult result;
  PageContext page{setup.host, setup.port, setup.object, setup.pageLocalPath, setup.depth,
                   setup.linkLayers, nullptr, nullptr};
  page.fetchUrl = [&](const std::string& url, bool parseHtml, int depth) {
    result.calls.push_back({url, parseHtml, depth});
    const auto it = setup.saved.find(url);
    return it == setup.saved.end() ? std::string() : it->second;
  };
  page.write = [&](const char* data, std::size_t len) { result.output.append(data, len); };
  // A hyperlink beyond the layers is not fetched, but finds its copy when one was saved.
  page.savedPath = [&](const std::string& url) {
    const auto it = setup.saved.find(url);
    return it == setup.saved.end() ? std::string() : it->second;
  };
  ScanState state;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    cut = std::min(std::max(cut, from), html.size());
    ParseHtmlChunk(page, html.substr(from, cut - from), state);
    from = cut;
  }
  ParseHtmlChunk(page, html.substr(from), state);
  FinishHtml(page, state);
  return result;
}

inline ScanResult Scan(std::string_view html, const ScanSetup& setup = {}) {
  return ScanWithCuts(html, setup, {});
}

// In chunks of at most 1,023 bytes, as the engine feeds a collected page.
inline ScanResult ScanInEngineChunks(std::string_view html, const ScanSetup& setup = {}) {
  std::vector<std::size_t> cuts;
  for (std::size_t at = 1023; at < html.size(); at += 1023) cuts.push_back(at);
  return ScanWithCuts(html, setup, cuts);
}

}  // namespace tk::test

#pragma once
// The state of one run: counters, the visited list, the names given out, the open connections.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/hash.h"
#include "base/text.h"
#include "engine/robots.h"
#include "inet/inet.h"

namespace tk {

// FetchUrl flag bits.
inline constexpr int FETCH_START_PAGE = 2;  // its hosts become StartHosts; no site or type rule
inline constexpr int FETCH_PARSE_HTML = 4;  // an HTML answer is scanned for links while saved
// An entry of an FTP folder's listing: the site and type rules hold for it as for a page's link
// over HTTP, where an FTP file named by a link of its own is taken whatever its site and type.
inline constexpr int FETCH_LISTED = 8;

// The cache flags of a request. With the cache off (the reload flag set) the run keeps no cache
// copy either: the copy would only serve a later run with the cache on, and the option's promise
// is a run that neither reads nor writes the cache.
inline constexpr std::uint32_t CacheFlags(std::uint32_t reloadFlag) {
  return reloadFlag ? reloadFlag : inet::kFlagCacheFile;
}

// The flags of every HTTP request, spelled once: a request sent ahead is taken up only when its
// flags are those of the request made in its turn.
inline constexpr std::uint32_t HttpRequestFlags(std::uint32_t reloadFlag) {
  return inet::kFlagNoAutoRedirect | CacheFlags(reloadFlag);
}

struct UrlRecord;

// A link a saved page holds as an absolute URL because its target was not saved when the page
// was written: where the value stands in the page's file, and what it names: the target's
// record, or, when the run had met no such URL yet, its visited-list key, kept in the page's
// PendingKeys from `keyAt` to a NUL.
struct PendingLink {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  std::uint32_t keyAt = 0;
  const UrlRecord* target = nullptr;
};

struct UrlRecord {
  std::string Url;        // exactly as first passed to FetchUrl
  std::string LocalPath;  // relative to the save folder, "/" separated; empty when nothing saved
  // A URL dropped by the same-site or type rule remembers the context it was dropped in, so
  // that a later request whose rules would let it through is not answered from this record.
  bool Dropped = false;
  // An FTP folder, saved as a generated index page whose links are its entries (FETCH_LISTED).
  bool Folder = false;
  std::string DroppedContext;
  // A scanned page: the layer it was scanned at (-1: never scanned). When the run reaches it
  // again on a higher layer, its page links are followed again from there.
  int ScannedDepth = -1;
  // The page links it holds, in page order, kept only below the first layer. A link whose URL
  // is spelled as its target's record spells it is that record (see PageLinkTo), met again
  // without parsing or hashing; any other is where its text starts in PageLinkText: "f" and the
  // URL for a link that was followed, "h" for a hyperlink left beyond the layers, ended by a NUL;
  // "F" and "H" for a URL on the page's own origin, which is left out.
  // Records live in the visited list's nodes, which never move.
  std::vector<std::uintptr_t> PageLinks;
  std::string PageLinkText;
  std::vector<PendingLink> PendingLinks;
  std::string PendingKeys;
};

// A page link is a record's address, or its text's offset shifted up and tagged with the low
// bit, which no record's address has.
inline std::uintptr_t PageLinkTo(UrlRecord* target) { return reinterpret_cast<std::uintptr_t>(target); }
inline std::uintptr_t PageLinkToText(std::size_t offset) { return (static_cast<std::uintptr_t>(offset) << 1) | 1; }
inline UrlRecord* PageLinkTarget(std::uintptr_t link) {
  return (link & 1) ? nullptr : reinterpret_cast<UrlRecord*>(link);
}
inline std::size_t PageLinkTextAt(std::uintptr_t link) { return static_cast<std::size_t>(link >> 1); }

// 64-bit throughout: a run may well pass 2 GiB.
struct RunCounters {
  std::int64_t FilesDownloaded = 0;
  std::int64_t Errors = 0;
  std::int64_t FilesSkipped = 0;
  std::int64_t BytesDownloaded = 0;
};

// Not a counter of the summary: every NG line the run wrote, also those that change no counter
// (an FTP server that cannot be reached, a file not found, a scheme not supported), so that a
// front end can tell a run that failed somewhere from one that did not.

struct RunState : RunCounters {
  std::int64_t NgLines = 0;
  // What the run did to the files of the copy, told when it ends (CopyChangesText): a user sees
  // what an update changed, and a kept or equal file is never counted as written. Failed files
  // are the Errors.
  std::int64_t FilesNew = 0;
  std::int64_t FilesChanged = 0;
  std::int64_t FilesUnchanged = 0;
  // The run log could not be opened, or a write to it failed: the front end has been told, and
  // the run counts as one that failed.
  bool LogFailed = false;
  std::int64_t FileBytes = 0;
  std::size_t PageMemoryHeld = 0;  // what the pages being scanned hold in memory, all together
  // Keyed by the canonical URL, case-insensitively: two spellings of one URL are one URL.
  std::unordered_map<std::string, UrlRecord, HashNoCase, EqualNoCase> VisitedUrls;
  std::unordered_set<std::string, HashNoCase, EqualNoCase> UsedNames;
  std::unordered_map<std::string, int, HashNoCase, EqualNoCase> NextNameNumber;  // per taken name, its next "(n)"
  // The site of the start page being crawled: the host it was asked for and, when it was
  // redirected, the host it landed on (example.com sending its visitors to www.example.com).
  std::vector<std::string> StartHosts;
  // Where the copy starts: the local path of the first start page that was saved.
  std::string StartPagePath;
  // Each server's robots.txt rules, once read, by "scheme://host:port"; and the product token
  // of the user agent the run sends, whose group the rules are taken from.
  std::unordered_map<std::string, RobotsRules, HashNoCase, EqualNoCase> Robots;
  std::string RobotsAgent;
  int UnnamedCount = 0;
  std::uint32_t ReloadFlag = 0;
  std::unique_ptr<inet::HttpConnection> HttpConnection;
  std::unique_ptr<inet::FtpConnection> FtpConnection;
  std::string FtpConnectionUser;  // its login; "" for anonymous
  // The login a URL gave for an FTP server ("host:port"), used by its URLs that give none (a
  // folder's entries), for the run only.
  struct FtpLogin {
    std::string user;
    std::string password;
  };
  std::unordered_map<std::string, FtpLogin, HashNoCase, EqualNoCase> FtpLogins;
  // The listings of the FTP folders whose index pages are being scanned ("host:port/dir/"), so
  // that each entry is found in its folder's listing instead of listing the folder again.
  std::unordered_map<std::string, std::vector<inet::FtpEntry>> FtpListings;
  std::FILE* LogFile = nullptr;
};

}  // namespace tk

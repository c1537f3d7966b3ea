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
#include "engine/page_link_file.h"
#include "engine/robots.h"
#include "engine/visited_list.h"
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

// What only some records need: the links of a page being scanned or rescanned, and those of a
// page being written that await mending.
struct PageExtras {
  PageLinkList Links;
  std::vector<PendingLink> PendingLinks;
  std::string PendingKeys;
};

// A pointer to what a record owns alone: a copy of the record (a snapshot of a finished run)
// copies what it points to.
template <typename T>
class CopiedPtr : public std::unique_ptr<T> {
 public:
  CopiedPtr() = default;
  CopiedPtr(std::unique_ptr<T>&& owned) : std::unique_ptr<T>(std::move(owned)) {}
  CopiedPtr(const CopiedPtr& other) : std::unique_ptr<T>(other ? std::make_unique<T>(*other) : nullptr) {}
  CopiedPtr& operator=(const CopiedPtr& other) {
    if (this != &other) this->reset(other ? new T(*other) : nullptr);
    return *this;
  }
  CopiedPtr(CopiedPtr&&) noexcept = default;
  CopiedPtr& operator=(CopiedPtr&&) noexcept = default;
};

struct UrlRecord {
  // Its key in the visited list, which holds the text.
  std::string_view Key;
  // The URL exactly as first passed to FetchUrl.
  std::string Url() const;
  bool UrlIs(std::string_view url) const;
  // Relative to the save folder, "/" separated; empty when nothing saved. Its text is kept by
  // the visited list (see SetLocalPath).
  std::string_view LocalPath;
  // A URL dropped by the same-site or type rule remembers the context it was dropped in (the
  // visited list's number for it; 0 for none), so that a later request whose rules would let it
  // through is not answered from this record.
  bool Dropped = false;
  // An FTP folder, saved as a generated index page whose links are its entries (FETCH_LISTED).
  bool Folder = false;
  bool Held = false;  // written whole, waiting for the end of the run (see HeldPages)
  // How Url() is spelled: the key itself, the key without its port, or the key's first
  // UrlHead bytes, then OwnUrl, then its last UrlTail bytes (a link's "d1/../d2/a.html" is keyed
  // as "d2/a.html": only what differs is kept).
  enum class UrlForm : std::uint8_t { Own, Key, KeyWithoutPort } Form = UrlForm::Own;
  std::uint16_t UrlHead = 0;
  std::uint16_t UrlTail = 0;
  std::uint32_t DroppedContext = 0;
  // A scanned page: the layer it was scanned at (-1: never scanned). When the run reaches it
  // again on a higher layer, its page links are followed again from there.
  int ScannedDepth = -1;
  std::uint32_t Index = 0;  // its number in the visited list
  std::uint32_t KeyTag = 0;  // the low half of its key's HashNoCase
  std::string_view OwnUrl;
  // A scanned page's links, in page order, kept only below the first layer (see PageLinkTo):
  // while it is scanned in Extras, afterwards in the run's page-link file.
  PageLinkFile::Place KeptLinks;
  CopiedPtr<PageExtras> Extras;

  PageExtras& More() {
    if (!Extras) Extras = std::make_unique<PageExtras>();
    return *Extras;
  }
  std::vector<std::uint32_t>& LiveLinks() { return More().Links.links; }
  bool HasPendingLinks() const { return Extras && !Extras->PendingLinks.empty(); }
  // Pending links that name offsets in a file that is not what was written.
  void ForgetPendingLinks();
  // Once its scan is over: its links go to `file`, and it keeps in memory only what awaits
  // mending, with no room to grow.
  void Compact(PageLinkFile& file);
};

// A page link is one of:
// - a record's number: the link is spelled as that record spells its URL, or its target was
//   fetched (or met visited) without being dropped; either way it is that record, met again
//   without parsing or hashing;
// - a record's number tagged kLinkSpelled: a hyperlink left beyond the layers whose URL is
//   spelled as that record's, followed as the text would be;
// - tagged kLinkText, where its text starts in the page's PageLinkText: "f" and the URL for a
//   link that was followed, "h" for a hyperlink left beyond the layers, ended by a NUL; "F" and
//   "H" for a URL on the page's own origin, which is left out.
inline constexpr std::uint32_t kLinkText = 1u << 31;
inline constexpr std::uint32_t kLinkSpelled = 1u << 30;
inline constexpr std::uint32_t kLinkNumber = kLinkSpelled - 1;
inline std::uint32_t PageLinkTo(const UrlRecord& target) { return target.Index; }
inline std::uint32_t PageLinkToText(std::size_t offset) { return static_cast<std::uint32_t>(offset) | kLinkText; }
inline bool IsRecordLink(std::uint32_t link) { return (link & (kLinkText | kLinkSpelled)) == 0; }
inline std::size_t PageLinkTextAt(std::uint32_t link) { return link & ~kLinkText; }

// The visited list: one record per URL the run has met, keyed by the canonical URL, compared
// without ASCII case (two spellings of one URL are one URL). Records never move.
class VisitedList {
 public:
  // The record of `key`, and whether it was added now.
  std::pair<UrlRecord*, bool> Add(std::string_view key);
  UrlRecord* Find(std::string_view key);
  const UrlRecord* Find(std::string_view key) const;
  // `hash`: HashNoCase of `key`, known already.
  const UrlRecord* Find(std::string_view key, std::size_t hash) const;
  // Whether `key` was added after the list held `since` records: one who found a key missing
  // then needs to look only at what came since, while that is little.
  bool AddedSince(std::uint32_t since, std::string_view key, std::size_t hash) const;
  std::size_t count(std::string_view key) const { return Find(key) ? 1 : 0; }
  std::size_t size() const { return m_records.size(); }
  UrlRecord& At(std::uint32_t index) { return m_records[index]; }
  // Gives a record added now the URL it was asked for by.
  void SetUrl(UrlRecord& record, std::string_view url);
  // Gives a record the local path of its saved file, sharing the text of the name given out
  // for it where `names` holds it.
  void SetLocalPath(UrlRecord& record, std::string_view path, const NameSet& names);
  // A number for a rule context, the same for the same text; never 0.
  std::uint32_t Context(const std::string& text);
  const std::string& ContextText(std::uint32_t number) const { return m_contexts[number]; }

 private:
  std::deque<UrlRecord> m_records;
  TextStore m_text;
  // The text of the names given out, into which local paths point: held as long as the list.
  std::shared_ptr<const void> m_nameText;
  mutable IndexTable m_index;
  std::vector<std::string> m_contexts{std::string()};
};

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
  VisitedList VisitedUrls;
  NameSet UsedNames;
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

#pragma once
// One download job: RunDownload drives it from the settings block to the summary (run_driver.cpp);
// FetchUrl is the way every URL passes, also the links found in saved pages (fetch_url.cpp), on
// to HTTP or FTP retrieval, which both end in SaveStream (save_stream.cpp).
#include <atomic>
#include <chrono>
#include <climits>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/held_pages.h"
#include "engine/inet_backend.h"
#include "engine/local_file.h"
#include "engine/run_clock.h"
#include "engine/run_host.h"
#include "engine/run_state.h"
#include "engine/send_ahead.h"
#include "engine/url_filters.h"
#include "settings/project.h"
#include "settings/url_password.h"

namespace tk {

class PageBuffer;
struct PageContext;

// A byte range of a saved file, [offset, offset + length), and the text that replaces it.
struct FileEdit {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::string text;
};

class Crawler : private AheadCrawl {
 public:
  // The run works on its own copy of `settings`, so the caller's stays its own while the run
  // goes on another thread; HandBackSettings returns what the run changed in it.
  Crawler(const ProjectSettings& settings, RunHost& host, InetBackend& backend = DefaultInetBackend(),
          RunClock& clock = SystemClock(), std::string agent = "trawlkit");
  Crawler(const Crawler&) = delete;
  Crawler& operator=(const Crawler&) = delete;
  ~Crawler();

  // Runs the whole job on the calling thread.
  void RunDownload();
  // Once RunDownload has returned, on the caller's thread: copies into `project` what the run
  // changed in its settings, the save folder given its "/", a bare project file name placed in
  // that folder, and the overwrite question's answer to all.
  void HandBackSettings(ProjectSettings& project) const;

  // Any thread: makes a network call in progress fail at once. The caller also raises the
  // host's cancel flag, which the run polls.
  void Interrupt();

  const RunState& State() const { return m_state; }
  // The run log's line (without its line end) when the cache was refused for the run, else "".
  const std::string& CacheRefusal() const { return m_cacheRefusal; }
  // The absolute path of the first start page's copy, where a user opens the copy; empty when
  // no start page was saved or kept.
  std::filesystem::path StartPageCopy() const;

 private:
  // The bytes read and scanned at a time.
  static constexpr std::size_t kChunk = 1023;
  // Frames, images and style sheets are followed whatever the layer count, and hyperlinks too
  // when the layers are unlimited, so a chain of pages could nest page scans without end, each
  // one a level of the machine stack. At most this many pages are scanned one inside another;
  // the links of the innermost are fetched later (see Defer).
  static constexpr int kMaxPageNesting = 64;
  static std::string WithoutFragment(std::string_view object);

  // The local path (relative to the save folder) that `url` is stored at, or "" when nothing is.
  std::string FetchUrl(const std::string& url, int flags, int depth);
  // The log box, and the run log when it is open.
  void WriteLog(std::string_view text);

  bool IsSiteAllowed(std::string_view host, int flags) const;
  bool IsTypeAllowed(std::string_view path, int flags) const;
  // The user's include and exclude globs on `object`, the path with its query; a start page
  // passes, as it does the type rule.
  bool IsUrlAllowed(std::string_view object, int flags) const;
  // True when `localPath` may be written.
  bool AskOverwrite(const std::string& localPath);

  struct HttpTarget {
    std::string host;
    std::string object;
    int port = 80;
    bool https = false;
    // The login written in the URL (user:password@host), sent with its first request.
    std::string user;
    std::string password;
  };

  // robots.txt (robots_txt.cpp). True when the crawl may request `target`; a refusal is logged
  // here. The server's rules are fetched first when the run has none for it yet.
  bool RobotsAllow(const HttpTarget& target, int flags, UrlRecord& record);
  const RobotsRules& RobotsFor(const HttpTarget& target);
  // The rules of a server the run has read them for, or nullptr.
  const RobotsRules* KnownRobots(const std::string& host, int port, bool https) const;
  RobotsRules FetchRobots(HttpTarget target);
  // SendRequest, tried again after a pause while its failure is one another try may pass and
  // the project's tries last (retry.cpp). Only the last try's outcome reaches the log.
  std::unique_ptr<inet::HttpRequest> RequestWithRetries(const HttpTarget& target, inet::Error& err);
  // Waits `delay`; false, at once, when the run is cancelled meanwhile.
  bool Pause(std::chrono::milliseconds delay);

  // Http, and Https when the project turns it on: the services HTTP retrieval takes.
  bool IsHttpService(inet::Service service) const;
  std::string FetchHttp(const HttpTarget& target, int flags, int depth, UrlRecord& record);
  std::unique_ptr<inet::HttpRequest> SendRequest(const HttpTarget& target, inet::Error& err);
  bool Authenticate(inet::HttpRequest& request, UrlRecord& record, const std::string& host, std::string& result);
  bool FollowRedirects(HttpTarget& target, std::unique_ptr<inet::HttpRequest>& request, int flags, int depth,
                       UrlRecord& record, std::string& result);
  // Takes the request: it is let go once the body is in, before the page's links are fetched.
  std::string SaveHttpBody(const HttpTarget& target, std::unique_ptr<inet::HttpRequest> request, int flags,
                           int depth, UrlRecord& record);
  // What the link scanner is told of a page at `host`:`port`, `object` without its fragment.
  PageContext ScanContext(const std::string& host, int port, bool https, std::string object, int depth) const;
  // Scans the page and writes it to `file`, then puts it in place, or holds it for the links
  // mended at the end of the run; without `file` (a page kept as it was) it is only scanned.
  // `linkFlags` go with every link the page's scan fetches. False when the page did not reach
  // the disk.
  bool WritePage(const HttpTarget& target, PageBuffer& page, LocalFile* file, int depth, UrlRecord& record,
                 const std::string& name, bool sheet, std::optional<std::int64_t> modified, int linkFlags = 0);
  // A scanned page's file once written: in place now, or held while links in it await mending.
  bool SettlePage(LocalFile& file, UrlRecord& record, std::optional<std::int64_t> modified);
  // Puts a page written whole among the held ones, with the links in it that await mending.
  void HoldPage(UrlRecord& record, const HeldFile& held);
  // Where a link not followed is saved already, or "". With `from`, the page being scanned,
  // the link is noted among its links.
  std::string SavedPath(const std::string& url, UrlRecord* from);
  // FetchUrl for a page link: with `from`, the page being scanned, the link is noted among its
  // links once its record is found, before anything is fetched; with `met`, that record is told.
  std::string FetchLink(const std::string& url, int flags, int depth, UrlRecord* from, UrlRecord** met);
  // A URL met again: true when its record answers the request (and a page reached on a higher
  // layer than before has been rescanned from there); false when it is to be fetched afresh.
  bool AnswersAgain(UrlRecord& record, int flags, int depth);
  // Whether a page met again on a higher layer than it was scanned from could find more there.
  bool WantsRescan(const UrlRecord& record, int flags, int depth) const;
  // A scanned page reached on a higher layer than before: its page links are followed again
  // from there, without fetching the page itself again.
  void Rescan(UrlRecord& record, int depth);
  // Remembers that `record`'s saved file holds, at `offset`, the absolute URL `url` as a link.
  void NotePendingLink(UrlRecord& record, std::uint64_t offset, std::size_t length, const std::string& url);
  // At the end of a run: the links that saved pages hold as absolute URLs are made local where
  // their targets were saved after all, and those pages are put in place.
  void MendSavedPages();
  std::vector<FileEdit> PendingEdits(const UrlRecord& record, const std::vector<HeldPages::Link>& links);
  // A page link that is not its target's record, as its URL (see PageLinkTo).
  bool TextLinkAt(const UrlRecord& page, const PageLinkList& list, std::uint32_t link, std::string& url,
                  bool& hyperlink);
  // The links a page's scan will ask for, in scan order, with those that can be sent ahead of
  // their turn filled in; none where not every hint is surely followed by its request.
  std::vector<AheadLink> LinksToSendAhead(const PageContext& context, PageBuffer& page);
  // The links a rescan of a page asks for again, from its kept page links.
  std::vector<AheadLink> RescanLinksToSendAhead(const UrlRecord& record, const PageLinkList& list, int depth);
  // What the look-ahead asks of the crawl (ahead_links.cpp).
  AheadLink ResolveAhead(const std::string& url, bool parseHtml, int depth) override;
  std::vector<AheadLink> RescanAhead(AheadLink& page) override;
  void NoteRescanBarren(const AheadLink& page) override;
  std::size_t VisitedCount() const override { return m_state.VisitedUrls.size(); }
  bool Visited(const std::string& key, std::size_t hash, std::uint32_t& notVisitedAt) const override;
  PageContext AheadScanContext(const AheadLink& page) const override {
    return ScanContext(page.host, page.port, page.https, page.object, page.depth);
  }
  inet::HttpConnection* AheadConnection() override { return m_state.HttpConnection.get(); }
  std::uint32_t AheadRequestFlags() const override { return HttpRequestFlags(m_state.ReloadFlag); }
  bool AheadCancelled() override { return Cancelled(); }
  // WritePage's parts. The scanner's four callbacks: links fetched (and sent ahead) and noted
  // among the page's, the page's bytes and rewritten links to `file`, `written` counting them.
  void WirePageScan(PageContext& context, SendAhead::Scope& ahead, UrlRecord& record, LocalFile* file,
                    std::uint64_t& written, int linkFlags);
  // Runs the page through its scanner; false when the held page could not be read back whole.
  bool ScanPage(PageContext& context, PageBuffer& page, bool sheet, const LocalFile* file);
  // Puts the written page in place or holds it for mending; a page that did not reach the disk
  // gets its error line and counts, and the earlier copy stays.
  bool FinishPageFile(LocalFile& file, UrlRecord& record, const std::string& name, bool whole,
                      std::optional<std::int64_t> modified);

  // An FTP URL: one file, the files a "*" pattern matches, or (ending in "/") a folder.
  std::string FetchFtp(const inet::Url& url, int flags, int depth, UrlRecord& record);
  bool ConnectFtp(const inet::Url& url, inet::Error& err);
  bool FindFtpFiles(const inet::Url& url, bool exact, std::vector<inet::FtpEntry>& entries, inet::Error& err);
  std::string FetchFtpFolder(const inet::Url& url, int flags, int depth, UrlRecord& record);
  void FetchFtpFile(const inet::FtpEntry& entry, const inet::Url& url, UrlRecord& record, std::string& lastName);

  // A remote file's bytes, as the save sequence reads them.
  struct StreamSource {
    std::string size;  // the length announced, for the display; "" when unknown
    // Opens the transfer once the file is on the display; empty when it is open already.
    std::function<bool(inet::Error&)> open;
    // Up to `size` bytes into `buf`: how many, 0 at the end, below 0 on an error told in `err`.
    std::function<long(char* buf, std::size_t size, inet::Error& err)> read;
    // A cancel that comes with the last bytes in: true saves the file with its line (HTTP),
    // false leaves it without a line or a count (FTP).
    bool endBeatsCancel = true;
    // The server's date for the file, which the saved file takes.
    std::optional<std::int64_t> modified;
  };
  enum class SaveEnd {
    Saved,      // its OK line written
    Skipped,    // not to be overwritten: its SKIPPED line written; a page's bytes are in for its scan
    TooLarge,   // larger than the maximum size: its SKIPPED line written, nothing kept
    Failed,     // its NG line written
    Cancelled,  // no line
  };
  // Saves `source` as `name` from the overwrite question to the outcome's line; `url` names it
  // in the log. With `page`, the bytes are collected there and `file` is left open for the page.
  SaveEnd SaveStream(const std::string& url, const std::string& name, UrlRecord& record,
                     const StreamSource& source, LocalFile& file, PageBuffer* page);
  // The existing file `name` stays as it is: its SKIPPED line.
  SaveEnd KeepFile(const std::string& url, const std::string& name, UrlRecord& record);
  void CountPlacement(Placement placed);
  // The save folder's folders as this run has entered them.
  OpenFolders& Folders();

  // The outcomes that end a file: a line, the counters, the display.
  std::string FinishFailure(const std::string& line, bool countError, std::string result);
  std::string FinishInternetError(const std::string& url, const inet::Error& err, std::string result);
  std::string Drop(UrlRecord& record, int flags);
  std::string RuleContext(int flags) const;
  bool Cancelled() { return m_host.CancelRequested(); }

  // A file larger than the project's maximum size (size_limit.cpp): whether the size announced
  // before the transfer (a Content-Length, an FTP listing's) is over it already, and whether
  // `bytes` received are.
  bool AnnouncedTooLarge(const std::string& sizeText) const;
  bool OverMaxSize(std::int64_t bytes) const { return m_settings.MaxSize > 0 && bytes > m_settings.MaxSize; }
  // Its SKIPPED line and count; the file's temporary goes, an earlier copy stays.
  SaveEnd SkipTooLarge(const std::string& url, UrlRecord& record);

  // Pages nest on the machine stack while their links are fetched (deep_pages.cpp). At the
  // bound, a fetch is put off rather than refused: it is made once the start page's tree has
  // been walked, nesting from the top again, so a chain of any length is copied whole.
  bool NestedTooDeep() const { return m_ahead.Nesting() >= static_cast<std::size_t>(kMaxPageNesting); }
  // Whether FetchLink would fetch or rescan `record` for a request with these flags and depth.
  bool WouldFetch(const UrlRecord& record, bool inserted, int flags, int depth) const;
  std::string Defer(UrlRecord& record, const std::string& url, int flags, int depth);
  void FetchDeferred();

  // The cookies.txt the settings name, read into the session's options (cookie_file.cpp).
  void LoadCookies(inet::SessionOptions& options);

  void NoteStartPage(const std::string& localPath);
  // Once every page is in place: the start page noted is one to open.
  void CheckStartPage();
  void OpenRunLog();
  // The run log has failed: the front end is told once, and the run counts as failed.
  void RunLogFailed(std::string_view why);
  void WriteSummary();
  void CloseNetwork();

  ProjectSettings m_settings;
  RunHost& m_host;
  InetBackend& m_backend;
  RunClock& m_clock;
  std::string m_agent;
  RunState m_state;
  std::filesystem::path m_saveFolder;
  std::unique_ptr<OpenFolders> m_folders;  // made on the run's first save, closed at its end
  std::string m_cacheRefusal;
  // Why the run log was not opened, or empty.
  std::string_view m_logRefusal;
  std::mutex m_sessionMutex;  // guards m_session against Interrupt from another thread
  std::unique_ptr<inet::Session> m_session;
  // The links to come, sent ahead of their turn; also what counts the pages scanned one inside another.
  SendAhead m_ahead{*this, kMaxPageNesting, kChunk};
  // How many layers of hyperlinks are followed: all of them when the project says unlimited.
  int m_linkLayers = m_settings.UnlimitedLayers ? INT_MAX : m_settings.LinkLayers;
  UrlFilters m_urlFilters{m_settings.IncludeUrls, m_settings.ExcludeUrls};
  // The login the current HTTP connection was made with, "user\npassword", empty for none.
  std::string m_httpLogin;
  // A book's walk down its "next" links puts off a fetch for nearly every page: each is kept as
  // its record, and the URL only where the link spells it otherwise.
  static constexpr std::uint32_t kSpelledAsRecord = 0xffffffff;
  struct DeferredFetch {
    std::uint32_t record = 0;
    std::uint32_t spelling = kSpelledAsRecord;  // in m_deferredSpellings
    int flags = 0;
    int depth = 0;
  };
  std::deque<DeferredFetch> m_deferred;
  std::vector<std::string> m_deferredSpellings;
  // Pages written whole whose links to files saved later are mended before they are put in place.
  HeldPages m_heldPages;
  // The links scanned pages keep for a rescan.
  PageLinkFile m_pageLinks;
  // Per visited record, 1 + the layer from which on a rescan was found to ask for nothing new
  // (see NoteRescanBarren); 0: not found so.
  std::vector<std::uint8_t> m_rescanBarren;
};

// The settings block that opens a run's log, for settings whose SaveDir already ends in "/".
std::string SettingsBlock(const ProjectSettings& settings, const std::tm& start);
std::string WithTrailingSlash(std::string dir);

// "%s(NG:%s(%d))\r\n" and friends, spelled once.
std::string LogLine(std::string_view url, std::string_view outcome);

// Notes a page link of `page` by its text: "f" for a link followed, "h" for one left beyond the layers.
void NotePageLinkText(UrlRecord& page, char how, std::string_view url);

// The page link at `index` of a page's links, once its target has been fetched (or met visited)
// without being dropped: the target's record answers it from then on however the page spelled
// it, as it is never fetched again; its text is no longer needed. True when it changed.
bool SettlePageLink(PageLinkList& list, std::size_t index, UrlRecord* target);

// Gives back the text of the page's links that have been settled.
void DropSettledText(PageLinkList& list);

// "548 files: 0 new, 2 changed, 546 unchanged, 0 failed": what a run did to the copy.
std::string CopyChangesText(const RunState& state);

// Replaces byte ranges of the file `relPath` under `saveFolder`, each [offset, offset + length)
// with its text, sorted by offset. A file that does not grow is rewritten in place from the first
// range on; one that grows is replaced whole (a new file renamed over it). False, and the file
// left as it was, when it cannot be read, is a symlink or lies beyond one, or a range lies beyond
// its end or out of order.
bool EditSavedFile(const std::filesystem::path& saveFolder, std::string_view relPath,
                   const std::vector<FileEdit>& edits);

// The visited list's key of a parsed URL: scheme, host, port and object, compared without case.
std::string VisitKey(const inet::Url& url);

}  // namespace tk

#pragma once
// One download job: RunDownload drives it from the settings block to the summary (run_driver.cpp);
// FetchUrl is the way every URL passes, also the links found in saved pages (fetch_url.cpp), on
// to HTTP or FTP retrieval, which both end in SaveStream (save_stream.cpp).
#include <atomic>
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

#include "engine/inet_backend.h"
#include "engine/local_file.h"
#include "engine/run_clock.h"
#include "engine/run_host.h"
#include "engine/run_state.h"
#include "settings/project.h"

namespace tk {

class PageBuffer;
struct PageContext;

// A byte range of a saved file, [offset, offset + length), and the text that replaces it.
struct FileEdit {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::string text;
};

class Crawler {
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
  // The absolute path of the first start page's copy, where a user opens the copy; empty when
  // no start page was saved or kept.
  std::filesystem::path StartPageCopy() const;

 private:
  // The bytes read and scanned at a time.
  static constexpr std::size_t kChunk = 1023;
  // Frames, images and style sheets are followed whatever the layer count, so a chain of frames
  // (or of @import) could nest page scans without end, each one a level of the machine stack.
  // Deeper pages are saved as they come, their links not followed.
  static constexpr int kMaxPageNesting = 64;
  static std::string WithoutFragment(std::string_view object);

  // The local path (relative to the save folder) that `url` is stored at, or "" when nothing is.
  std::string FetchUrl(const std::string& url, int flags, int depth);
  // The log box, and the run log when it is open.
  void WriteLog(std::string_view text);

  bool IsSiteAllowed(std::string_view host, int flags) const;
  bool IsTypeAllowed(std::string_view path, int flags) const;
  // True when `localPath` may be written.
  bool AskOverwrite(const std::string& localPath);

  struct HttpTarget {
    std::string host;
    std::string object;
    int port = 80;
    bool https = false;
  };

  // Http, and Https when the project turns it on: the services HTTP retrieval takes.
  bool IsHttpService(inet::Service service) const;
  std::string FetchHttp(const HttpTarget& target, int flags, int depth, UrlRecord& record);
  std::unique_ptr<inet::HttpRequest> SendRequest(const HttpTarget& target, inet::Error& err);
  bool Authenticate(inet::HttpRequest& request, UrlRecord& record, const std::string& host, std::string& result);
  bool FollowRedirects(HttpTarget& target, std::unique_ptr<inet::HttpRequest>& request, int flags,
                       UrlRecord& record, std::string& result);
  std::string SaveHttpBody(const HttpTarget& target, inet::HttpRequest& request, int flags, int depth,
                           UrlRecord& record);
  // What the link scanner is told of a page at `host`:`port`, `object` without its fragment.
  PageContext ScanContext(const std::string& host, int port, bool https, std::string object, int depth) const;
  // Scans the page and writes it to `file`, then puts it in place, or holds it for the links
  // mended at the end of the run; without `file` (a page kept as it was) it is only scanned.
  // False when the page did not reach the disk.
  bool WritePage(const HttpTarget& target, PageBuffer& page, LocalFile* file, int depth, UrlRecord& record,
                 const std::string& name, bool sheet, std::optional<std::int64_t> modified);
  // A scanned page's file once written: in place now, or held while links in it await mending.
  bool SettlePage(LocalFile& file, UrlRecord& record, std::optional<std::int64_t> modified);
  // Where a link not followed is saved already, or "".
  std::string SavedPath(const std::string& url) const;
  // FetchUrl for a page link: with `from`, the page being scanned, the link is noted among its
  // links once its record is found, before anything is fetched; with `met`, that record is told.
  std::string FetchLink(const std::string& url, int flags, int depth, UrlRecord* from, UrlRecord** met);
  // A URL met again: true when its record answers the request (and a page reached on a higher
  // layer than before has been rescanned from there); false when it is to be fetched afresh.
  bool AnswersAgain(UrlRecord& record, int flags, int depth);
  // A scanned page reached on a higher layer than before: its page links are followed again
  // from there, without fetching the page itself again.
  void Rescan(UrlRecord& record, int depth);
  // Remembers that `record`'s saved file holds, at `offset`, the absolute URL `url` as a link.
  void NotePendingLink(UrlRecord& record, std::uint64_t offset, std::size_t length, const std::string& url);
  // At the end of a run: the links that saved pages hold as absolute URLs are made local where
  // their targets were saved after all, and those pages are put in place.
  void MendSavedPages();
  std::vector<FileEdit> PendingEdits(const UrlRecord& record) const;
  // The links a page's scan will ask for, in scan order, with those that can be sent ahead of
  // their turn filled in.
  struct AheadLink {
    std::string key;     // in the visited list
    std::string object;  // as the request will name it; empty: not to be sent ahead
    std::string host;
    int port = 0;
    bool https = false;
    bool visited = false;  // found in the visited list: never looked up again
    bool page = false;     // followed as a page: its answer, once in, is looked at for its own links
    int depth = 0;         // the depth the page's own links are scanned at
    bool peeked = false;   // its answer was in and has been looked at
    std::vector<AheadLink> links;  // a page looked at before its turn: the links it will ask for
  };
  // A page being scanned: its links, and the first one not yet asked for.
  struct AheadFrame {
    std::vector<AheadLink> links;
    std::size_t next = 0;
  };
  // While it lives, the links of a page being scanned (or rescanned) go ahead of their turn:
  // Next() before each is asked for.
  class AheadScope {
   public:
    AheadScope(Crawler& crawler, std::vector<AheadLink> links) : m_crawler(crawler) {
      m_frame.links = std::move(links);
      m_crawler.m_aheadFrames.push_back(&m_frame);
      m_crawler.SendAhead();
    }
    ~AheadScope() { m_crawler.m_aheadFrames.pop_back(); }
    AheadScope(const AheadScope&) = delete;
    AheadScope& operator=(const AheadScope&) = delete;
    void Next() {
      ++m_frame.next;
      m_crawler.SendAhead();
    }

   private:
    Crawler& m_crawler;
    AheadFrame m_frame;
  };
  std::vector<AheadLink> LinksToSendAhead(const PageContext& context, PageBuffer& page);
  // The links a rescan of a page asks for again, from its kept page links.
  std::vector<AheadLink> RescanLinksToSendAhead(const UrlRecord& record, std::size_t count, int depth);
  AheadLink AheadLinkFor(const std::string& url, bool parseHtml, int depth);
  std::vector<AheadLink> DryScan(const PageContext& context,
                                 const std::function<bool(const std::function<void(std::string_view)>&)>& chunks);
  void SendAhead();
  void WalkAhead(std::vector<AheadLink>& links, std::size_t from, std::vector<const AheadLink*>& order,
                 std::unordered_set<std::string, HashNoCase, EqualNoCase>& seen);
  void PeekAhead(AheadLink& link);

  std::string FetchFtp(const std::string& host, const std::string& path, int port, UrlRecord& record);
  bool ConnectFtp(const std::string& host, int port, inet::Error& err);
  void FetchFtpFile(const inet::FtpEntry& entry, const std::string& host, const std::string& path, int port,
                    UrlRecord& record, std::string& lastName);

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

  // The outcomes that end a file: a line, the counters, the display.
  std::string FinishFailure(const std::string& line, bool countError, std::string result);
  std::string FinishInternetError(const std::string& url, const inet::Error& err, std::string result);
  std::string Drop(UrlRecord& record, int flags);
  std::string RuleContext(int flags) const;
  bool Cancelled() { return m_host.CancelRequested(); }

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
  // Why the run log was not opened, or empty.
  std::string_view m_logRefusal;
  std::mutex m_sessionMutex;  // guards m_session against Interrupt from another thread
  std::unique_ptr<inet::Session> m_session;
  // The pages being scanned, outermost first: whose links come next, in depth-first order.
  std::vector<AheadFrame*> m_aheadFrames;
  // Pages written whole whose links to files saved later are mended before they are put in place.
  std::unordered_map<UrlRecord*, HeldFile> m_heldPages;
};

// The settings block that opens a run's log, for settings whose SaveDir already ends in "/".
std::string SettingsBlock(const ProjectSettings& settings, const std::tm& start);
std::string WithTrailingSlash(std::string dir);

// "%s(NG:%s(%d))\r\n" and friends, spelled once.
std::string LogLine(std::string_view url, std::string_view outcome);

// Notes a page link of `page` by its text: "f" for a link followed, "h" for one left beyond the layers.
void NotePageLinkText(UrlRecord& page, char how, std::string_view url);

// The page link at `index` of `page`, once its target has been fetched (or met visited) without
// being dropped: the target's record answers it from then on however the page spelled it, as it
// is never fetched again; its text is no longer needed.
void SettlePageLink(UrlRecord& page, std::size_t index, UrlRecord* target);

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

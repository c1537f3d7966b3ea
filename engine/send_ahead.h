#pragma once
// Requests sent ahead of their turn: while a page is scanned, the links it (and the pages it
// leads to, once their answers are in) will ask for are hinted to the connection in the order
// the crawl will ask for them, so the server is already answering when each turn comes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_state.h"
#include "links/html_scanner.h"

namespace tk {

// One link a page's scan will ask for, with what sending it ahead of its turn needs.
struct AheadLink {
  std::string key;     // in the visited list (empty for a visited record's link: see recordKey)
  std::string object;  // as the request will name it; empty: not to be sent ahead
  std::string host;
  int port = 0;
  bool https = false;
  bool visited = false;  // found in the visited list: never looked up again
  std::size_t keyHash = 0;  // HashNoCase of the key, once a walk has needed it (0: not yet)
  std::uint32_t notVisitedAt = kNeverLookedUp;  // the visited list's size when last found not in it
  static constexpr std::uint32_t kNeverLookedUp = 0xffffffff;
  bool page = false;     // followed as a page: its answer, once in, is looked at for its own links
  int depth = 0;         // the depth the page's own links are scanned at
  bool peeked = false;   // its answer was in and has been looked at
  bool rescanLooked = false;  // visited: whether its turn rescans it has been looked at
  std::uint32_t record = kNoRecord;  // visited: its number in the visited list, once looked up
  std::string_view recordKey;  // a link to a visited record: its key, as the visited list keeps it
  std::string_view Key() const { return key.empty() ? recordKey : std::string_view(key); }
  static constexpr std::uint32_t kNoRecord = 0xffffffff;
  // A page looked at before its turn: the links it will ask for (a visited page: those its
  // rescan in that turn will ask for).
  std::vector<AheadLink> links;
  std::size_t linksSettled = 0;  // links before this one are visited or never sent: not walked again
};

// What the look-ahead asks of the crawl it runs ahead of.
class AheadCrawl {
 public:
  virtual ~AheadCrawl() = default;
  // `url` as the crawl would request it in its turn; an empty object when it would not be
  // requested over HTTP at all (the rules, robots.txt).
  virtual AheadLink ResolveAhead(const std::string& url, bool parseHtml, int depth) = 0;
  // `hash`: HashNoCase of `key`. `notVisitedAt`: the visited list's size when the key was last
  // found not in it (AheadLink::kNeverLookedUp: never looked up); made the size now.
  virtual bool Visited(const std::string& key, std::size_t hash, std::uint32_t& notVisitedAt) const = 0;
  // A visited page that its turn will scan again from a higher layer (`page.depth`) than it was
  // scanned on: the links that rescan will ask for, as ResolveAhead gives them (those visited
  // already as `visited` pages with their keys). Empty when the turn will not rescan it.
  virtual std::vector<AheadLink> RescanAhead(AheadLink& page) = 0;
  // Everything the rescan of `page` (as RescanAhead gave it) would ask for is visited, and so is
  // everything the rescans it leads to would: a later rescan of it from that layer or deeper
  // asks for nothing either, and is not looked at again.
  virtual void NoteRescanBarren(const AheadLink& page) = 0;
  // How many URLs the crawl has met: unchanged, no turn has asked for anything.
  virtual std::size_t VisitedCount() const = 0;
  // What the link scanner is told of `page` when its turn comes.
  virtual PageContext AheadScanContext(const AheadLink& page) const = 0;
  // The connection the crawl's requests go on now, or nullptr; and the flags they go with.
  virtual inet::HttpConnection* AheadConnection() = 0;
  virtual std::uint32_t AheadRequestFlags() const = 0;
  virtual bool AheadCancelled() = 0;
};

class SendAhead {
 public:
  using Chunks = std::function<bool(const std::function<void(std::string_view)>&)>;

  // `maxNesting`: the page scans nested at most; a link met deeper is put off, not fetched in
  // its turn, and is not sent ahead. `chunk`: the bytes the crawl's own scan reads at a time.
  SendAhead(AheadCrawl& crawl, std::size_t maxNesting, std::size_t chunk)
      : m_crawl(crawl), m_maxNesting(maxNesting), m_chunk(chunk) {}
  SendAhead(const SendAhead&) = delete;
  SendAhead& operator=(const SendAhead&) = delete;

  // Whether the run's pacing (a wait, a rate, one connection) leaves room for requests sent
  // ahead of their turn; the internet layer holds them back too, this only spares the looking.
  void SetEnabled(bool on) { m_enabled = on; }
  bool Enabled() const { return m_enabled; }
  // How many page scans are under way, one inside another.
  std::size_t Nesting() const { return m_frames.size(); }

  // The links a scan of the page in `chunks` asks for, in scan order: a dry pass of the same
  // scanner. Empty when a chunk could not be read.
  std::vector<AheadLink> DryScan(const PageContext& context, const Chunks& chunks);
  // A second spelling of one URL finds it visited when its turn comes: it is never requested.
  static void DropRepeats(std::vector<AheadLink>& links);
  // The links a walk found a rescan of the page `key` at `depth` would ask for, when that page
  // is the link whose turn has just come (Next) in the innermost scan: the rescan now under way
  // takes them over, with all the walks before found beneath them, rather than reading the
  // page's links and looking at each again. False when no walk looked there.
  bool TakeRescanLinks(std::string_view key, int depth, std::vector<AheadLink>& links);

  // While it lives, the links of a page being scanned (or rescanned) go ahead of their turn:
  // Next() before each is asked for.
  class Scope {
   public:
    Scope(SendAhead& ahead, std::vector<AheadLink> links);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    void Next();

   private:
    SendAhead& m_ahead;
    std::vector<AheadLink> m_links;
    std::size_t m_next = 0;
    std::size_t m_settled = 0;
  };

 private:
  struct Frame {
    std::vector<AheadLink>* links;
    const std::size_t* next;
    std::size_t* settled;
  };
  void Hint(bool mayRest);
  void Walk(std::vector<AheadLink>& links, std::size_t from, std::size_t& settled, std::size_t nesting);
  bool WalkDone() const;
  // True the first time a walk meets `key`; else `firstDepth` (when given) is the depth it was
  // met at then.
  bool Meet(std::string_view key, std::size_t hash, int depth = 0, int* firstDepth = nullptr);
  void PlaceSeen(std::string_view key, std::size_t hash, int depth);
  void Peek(AheadLink& link);

  AheadCrawl& m_crawl;
  const std::size_t m_maxNesting;
  const std::size_t m_chunk;
  bool m_enabled = true;
  // The pages being scanned, outermost first: whose links come next, in depth-first order.
  std::vector<Frame> m_frames;
  // Filled by Hint's walk: the links to hint, nearest first, the keys met and how many links.
  std::vector<const AheadLink*> m_order;
  std::size_t m_walked = 0;
  // The keys a walk has met: an open-addressed table kept from walk to walk, a slot counting as
  // empty unless stamped with the current walk's number, since a set of strings rebuilt at every
  // hint (at every link of every page) allocated for each key it held. The keys stay in the links.
  struct SeenSlot {
    std::string_view key;
    std::size_t hash = 0;
    std::uint32_t walk = 0;
    int depth = 0;
  };
  std::vector<SeenSlot> m_seen;  // a power of two in size, at most half full
  std::size_t m_seenCount = 0;
  std::uint32_t m_walkNumber = 0;
  inet::HttpConnection* m_connection = nullptr;
  std::size_t m_visitedAtWalk = static_cast<std::size_t>(-1);  // VisitedCount() at the last walk
  bool m_adopted = false;  // TakeRescanLinks gave the next scope its links
};

}  // namespace tk

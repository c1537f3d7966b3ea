// Requests sent ahead of their turn: the walk over the links to come, in the order the crawl
// will ask for them, and the dry scans of pages whose answers came in before their turn.
#include "engine/send_ahead.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "engine/local_names.h"

namespace tk {
namespace {
// How many of the requests to come are hinted at a time: enough to keep the connections sent
// ahead busy across the pages the next turns lead to, few enough that the answers held wait
// little (the connection holds at most 32 hints). A page whose answer is in is no hint: it
// needs no connection, and the walk goes on through its links, up to kMaxWalk links in all.
constexpr std::size_t kHints = 16;
constexpr std::size_t kMaxWalk = 8 * kHints;
}  // namespace

std::vector<AheadLink> SendAhead::DryScan(const PageContext& context, const Chunks& chunks) {
  std::vector<AheadLink> links;
  // A dry pass of the same scanner over the same chunks asks for the same links in the same order.
  PageContext dry = context;
  dry.write = [](const char*, std::size_t) {};
  dry.writeLink = nullptr;
  dry.savedPath = nullptr;
  dry.fetchUrl = [this, &links](const std::string& url, bool parseHtml, int linkDepth) {
    links.push_back(m_crawl.ResolveAhead(url, parseHtml, linkDepth));
    return std::string();
  };
  ScanState scan;
  if (!chunks([&](std::string_view chunk) { ParseHtmlChunk(dry, chunk, scan); })) links.clear();
  FinishHtml(dry, scan);
  DropRepeats(links);
  return links;
}

void SendAhead::DropRepeats(std::vector<AheadLink>& links) {
  // Views into the links' own keys: a copy of each was a heap block per link of every page.
  std::unordered_set<std::string_view, HashNoCase, EqualNoCase> seen;
  seen.reserve(links.size());
  for (AheadLink& link : links)
    if (!link.object.empty() && !seen.insert(link.key).second) link.object.clear();
}

bool SendAhead::TakeRescanLinks(std::string_view key, int depth, std::vector<AheadLink>& links) {
  if (m_frames.empty()) return false;
  const Frame& frame = m_frames.back();
  if (*frame.next == 0 || *frame.next > frame.links->size()) return false;
  AheadLink& link = (*frame.links)[*frame.next - 1];
  if (!link.rescanLooked || link.links.empty() || link.depth != depth || !EqualsNoCase(link.Key(), key)) return false;
  links = std::move(link.links);
  link.links.clear();
  link.linksSettled = 0;
  m_adopted = true;
  return true;
}

SendAhead::Scope::Scope(SendAhead& ahead, std::vector<AheadLink> links) : m_ahead(ahead), m_links(std::move(links)) {
  m_ahead.m_frames.push_back({&m_links, &m_next, &m_settled});
  // Links a walk has just been through as the rescan to come: walking them again as a scan of
  // their own finds the same.
  const bool seen = std::exchange(m_ahead.m_adopted, false);
  m_ahead.Hint(seen);
}

SendAhead::Scope::~Scope() { m_ahead.m_frames.pop_back(); }

void SendAhead::Scope::Next() {
  ++m_next;
  m_ahead.Hint(true);
}

// Hints the requests the crawl will make next, in the depth-first order their turns come in:
// the rest of the page being scanned, each link followed by what its page (when its answer is
// already in) links to, then the rest of the page around it, and so outwards. The nearest is
// hinted last, so that it goes first.
// `mayRest`: when nothing was visited since the last walk, the turns passed since asked for
// nothing (a rescan going over visited links), and a walk now would hint what that one did: a
// rescan of thousands of links under a layer limit would walk again at every link.
void SendAhead::Hint(bool mayRest) {
  const std::size_t visited = m_crawl.VisitedCount();
  if (mayRest && visited == m_visitedAtWalk) return;
  m_visitedAtWalk = static_cast<std::size_t>(-1);
  m_connection = m_crawl.AheadConnection();
  if (!m_connection || !m_enabled || m_frames.empty() || m_crawl.AheadCancelled()) return;
  // A server that answers sooner than a walk takes is asked in turn; its answers tell when that
  // changes.
  if (!m_connection->AheadPays()) return;
  m_visitedAtWalk = visited;
  m_order.clear();
  m_seenCount = 0;
  if (++m_walkNumber == 0) {  // the stamps wrapped: every slot is emptied once
    for (SeenSlot& slot : m_seen) slot.walk = 0;
    m_walkNumber = 1;
  }
  m_walked = 0;
  // The links of the page scanned innermost are asked for while the scans around it are open.
  for (std::size_t frame = m_frames.size(); frame-- > 0 && !WalkDone();)
    Walk(*m_frames[frame].links, *m_frames[frame].next, *m_frames[frame].settled, frame + 1);
  const std::uint32_t flags = m_crawl.AheadRequestFlags();
  for (auto link = m_order.rbegin(); link != m_order.rend(); ++link) m_connection->Prefetch((*link)->object, flags);
}

bool SendAhead::WalkDone() const { return m_order.size() >= kHints || m_walked >= kMaxWalk; }

// `nesting`: how many page scans are open when the turns of `links` come. `settled`: the links
// before it are visited or never sent; the walk moves it on over the run of such links it starts
// with, so that each hint does not walk again, on a page of thousands of links under dozens of
// open scans, what the walks before it found visited.
void SendAhead::Walk(std::vector<AheadLink>& links, std::size_t from, std::size_t& settled, std::size_t nesting) {
  // Met that deep, a link is put off until the start page's tree has been walked.
  if (nesting >= m_maxNesting) return;
  bool settling = true;
  for (std::size_t i = std::max(from, settled); i < links.size() && !WalkDone(); ++i) {
    AheadLink& link = links[i];
    // A link already visited is not fetched again when its turn comes; once visited, always.
    if (!link.object.empty() && !link.visited) {
      if (link.keyHash == 0) link.keyHash = HashNoCase{}(link.key);
      if (m_crawl.Visited(link.key, link.keyHash, link.notVisitedAt)) link.visited = true;
    }
    if (link.visited) {
      // A page met again from a higher layer than it was scanned on is scanned again in its
      // turn, and whatever that scan asks for comes then: under a layer limit most of a crawl's
      // tail is such rescans, and a walk that stopped at them left every connection but one idle.
      // Once visited, the links of a page's answer looked at before its turn are no longer its
      // to walk: its own scan walks them.
      if (link.page && !link.rescanLooked) {
        link.rescanLooked = true;
        if (link.keyHash == 0) link.keyHash = HashNoCase{}(link.Key());
        link.links = m_crawl.RescanAhead(link);
        link.linksSettled = 0;
      }
      // Met again in the same walk, only its first meeting is walked; one met first on the same
      // or a higher layer leaves nothing to this one's turn, which then finds it scanned from
      // there. Once all its rescan would ask for is visited, it is settled like a visited link.
      if (link.linksSettled < link.links.size()) {
        int firstDepth = 0;
        if (Meet(link.Key(), link.keyHash, link.depth, &firstDepth)) {
          ++m_walked;
          Walk(link.links, 0, link.linksSettled, nesting + 1);
        } else if (firstDepth <= link.depth) {
          link.links.clear();  // not barren for that: only left to the first meeting
          link.linksSettled = 0;
        }
      }
      if (link.linksSettled < link.links.size()) {
        settling = false;
        continue;
      }
      if (!link.links.empty()) {
        m_crawl.NoteRescanBarren(link);
        link.links.clear();
        link.linksSettled = 0;
      }
      if (settling) settled = i + 1;
      continue;
    }
    if (link.object.empty()) {
      if (settling) settled = i + 1;
      continue;
    }
    settling = false;
    // Met earlier in the walk: visited by the time this turn comes.
    if (!Meet(link.key, link.keyHash)) continue;
    // Another server's link is fetched on another connection, and so is all it leads to.
    if (!EqualsNoCase(link.host, m_connection->ServerName()) || link.port != m_connection->Port() ||
        link.https != m_connection->Secure())
      continue;
    ++m_walked;
    if (link.page && !link.peeked) Peek(link);
    if (!link.peeked) m_order.push_back(&link);
    if (!link.links.empty()) Walk(link.links, 0, link.linksSettled, nesting + 1);
  }
}

bool SendAhead::Meet(std::string_view key, std::size_t hash, int depth, int* firstDepth) {
  if (2 * (m_seenCount + 1) > m_seen.size()) {
    std::vector<SeenSlot> old = std::move(m_seen);
    m_seen.assign(std::max<std::size_t>(256, 2 * old.size()), SeenSlot{});
    m_seenCount = 0;
    for (const SeenSlot& slot : old)
      if (slot.walk == m_walkNumber) PlaceSeen(slot.key, slot.hash, slot.depth);
  }
  const std::size_t mask = m_seen.size() - 1;
  for (std::size_t i = hash & mask; m_seen[i].walk == m_walkNumber; i = (i + 1) & mask)
    if (m_seen[i].hash == hash && EqualsNoCase(m_seen[i].key, key)) {
      if (firstDepth) *firstDepth = m_seen[i].depth;
      return false;
    }
  PlaceSeen(key, hash, depth);
  return true;
}

void SendAhead::PlaceSeen(std::string_view key, std::size_t hash, int depth) {
  const std::size_t mask = m_seen.size() - 1;
  std::size_t i = hash & mask;
  while (m_seen[i].walk == m_walkNumber) i = (i + 1) & mask;
  m_seen[i] = {key, hash, m_walkNumber, depth};
  ++m_seenCount;
}

// A page whose answer came in before its turn is scanned dry now, as it will be scanned then.
void SendAhead::Peek(AheadLink& link) {
  std::string contentType;
  std::string body;
  if (!m_connection->PeekAhead(link.object, m_crawl.AheadRequestFlags(), contentType, body)) return;
  link.peeked = true;
  if (!IsHtmlType(contentType)) return;
  link.links = DryScan(m_crawl.AheadScanContext(link), [&](const std::function<void(std::string_view)>& each) {
    for (std::size_t at = 0; at < body.size(); at += m_chunk) each(std::string_view(body).substr(at, m_chunk));
    return true;
  });
}

}  // namespace tk

// Requests sent ahead of their turn: while a page is scanned, the links it (and the pages it
// leads to, once their answers are in) will ask for are hinted to the connection in the order
// the crawl will ask for them, so the server is already answering when each turn comes.
#include <unordered_set>

#include "engine/crawler.h"
#include "engine/local_names.h"
#include "engine/page_buffer.h"
#include "links/html_scanner.h"

namespace tk {
namespace {
// How many of the requests to come are hinted at a time: enough to keep the connections sent
// ahead busy across the pages the next turns lead to, few enough that the answers held wait
// little (the connection holds at most 32 hints).
constexpr std::size_t kHints = 16;
}  // namespace

std::vector<Crawler::AheadLink> Crawler::LinksToSendAhead(const PageContext& context, PageBuffer& page) {
  // Only where every hint is surely followed by its request: a crawl held to its start site,
  // whose connection then serves the page's whole subtree.
  if (!m_settings.SameSiteOnly || !m_state.HttpConnection || !m_sendsAhead) return {};
  return DryScan(context, [&page](const std::function<void(std::string_view)>& each) {
    return page.ForEachChunk(kChunk, each);
  });
}

std::vector<Crawler::AheadLink> Crawler::DryScan(
    const PageContext& context, const std::function<bool(const std::function<void(std::string_view)>&)>& chunks) {
  std::vector<AheadLink> links;
  // A dry pass of the same scanner over the same chunks asks for the same links in the same order.
  PageContext dry = context;
  dry.write = [](const char*, std::size_t) {};
  dry.writeLink = nullptr;
  dry.savedPath = nullptr;
  dry.fetchUrl = [this, &links](const std::string& url, bool parseHtml, int linkDepth) {
    links.push_back(AheadLinkFor(url, parseHtml, linkDepth));
    return std::string();
  };
  ScanState scan;
  if (!chunks([&](std::string_view chunk) { ParseHtmlChunk(dry, chunk, scan); })) links.clear();
  FinishHtml(dry, scan);
  // A second spelling of one URL finds it visited when its turn comes: it is never requested.
  std::unordered_set<std::string, HashNoCase, EqualNoCase> seen;
  for (AheadLink& link : links)
    if (!link.object.empty() && !seen.insert(link.key).second) link.object.clear();
  return links;
}

Crawler::AheadLink Crawler::AheadLinkFor(const std::string& url, bool parseHtml, int depth) {
  AheadLink link;
  auto parsed = inet::ParseUrl(url);
  int flags = parseHtml ? FETCH_PARSE_HTML : 0;
  if (!parsed || !IsHttpService(parsed->service) || !IsSiteAllowed(parsed->host, flags) ||
      !IsTypeAllowed(parsed->object, flags) || !IsUrlAllowed(parsed->object, flags))
    return link;
  const bool https = parsed->service == inet::Service::Https;
  // A link robots.txt refuses is never requested; one on a server whose rules are not read yet
  // is on another connection anyway.
  if (m_settings.Robots) {
    const RobotsRules* rules = KnownRobots(parsed->host, parsed->port, https);
    if (!rules || !rules->Allows(WithoutFragment(parsed->object))) return link;
  }
  link.key = VisitKey(*parsed);
  link.object = WithoutFragment(parsed->object);
  link.host = parsed->host;
  link.port = parsed->port;
  link.https = https;
  link.page = parseHtml;
  link.depth = depth;
  return link;
}

// Hints the requests the crawl will make next, in the depth-first order their turns come in:
// the rest of the page being scanned, each link followed by what its page (when its answer is
// already in) links to, then the rest of the page around it, and so outwards. The nearest is
// hinted last, so that it goes first.
void Crawler::SendAhead() {
  auto& connection = m_state.HttpConnection;
  if (!connection || !m_sendsAhead || Cancelled() || m_aheadFrames.empty()) return;
  std::vector<const AheadLink*> order;
  std::unordered_set<std::string, HashNoCase, EqualNoCase> seen;
  order.reserve(kHints);
  for (auto frame = m_aheadFrames.rbegin(); frame != m_aheadFrames.rend() && order.size() < kHints; ++frame)
    WalkAhead((*frame)->links, (*frame)->next, order, seen);
  const std::uint32_t flags = HttpRequestFlags(m_state.ReloadFlag);
  for (auto link = order.rbegin(); link != order.rend(); ++link) connection->Prefetch((*link)->object, flags);
}

void Crawler::WalkAhead(std::vector<AheadLink>& links, std::size_t from, std::vector<const AheadLink*>& order,
                        std::unordered_set<std::string, HashNoCase, EqualNoCase>& seen) {
  auto& connection = m_state.HttpConnection;
  for (std::size_t i = from; i < links.size() && order.size() < kHints; ++i) {
    AheadLink& link = links[i];
    // A link already visited is not fetched again when its turn comes; once visited, always.
    if (link.object.empty() || link.visited) continue;
    if (m_state.VisitedUrls.count(link.key)) {
      link.visited = true;
      continue;
    }
    // Met earlier in the walk: visited by the time this turn comes.
    if (!seen.insert(link.key).second) continue;
    // Another server's link is fetched on another connection, and so is all it leads to.
    if (!EqualsNoCase(link.host, connection->ServerName()) || link.port != connection->Port() ||
        link.https != connection->Secure())
      continue;
    order.push_back(&link);
    if (link.page && !link.peeked) PeekAhead(link);
    if (!link.links.empty()) WalkAhead(link.links, 0, order, seen);
  }
}

// A page whose answer came in before its turn is scanned dry now, as it will be scanned then.
void Crawler::PeekAhead(AheadLink& link) {
  std::string contentType;
  std::string body;
  const std::uint32_t flags = HttpRequestFlags(m_state.ReloadFlag);
  if (!m_state.HttpConnection->PeekAhead(link.object, flags, contentType, body)) return;
  link.peeked = true;
  if (!IsHtmlType(contentType) || link.depth >= kMaxPageNesting) return;
  const PageContext context = ScanContext(link.host, link.port, link.https, link.object, link.depth);
  link.links = DryScan(context, [&body](const std::function<void(std::string_view)>& each) {
    for (std::size_t at = 0; at < body.size(); at += kChunk)
      each(std::string_view(body).substr(at, kChunk));
    return true;
  });
}

}  // namespace tk

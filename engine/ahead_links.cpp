// The crawl's side of the requests sent ahead of their turn: which links go ahead, and each one
// as the crawl will request it.
#include "engine/crawler.h"
#include "engine/page_buffer.h"

namespace tk {

std::vector<AheadLink> Crawler::LinksToSendAhead(const PageContext& context, PageBuffer& page) {
  // Only where every hint is surely followed by its request: a crawl held to its start site,
  // whose connection then serves the page's whole subtree.
  if (!m_settings.SameSiteOnly || !m_state.HttpConnection || !m_ahead.Enabled()) return {};
  return m_ahead.DryScan(context, [&page](const std::function<void(std::string_view)>& each) {
    return page.ForEachChunk(kChunk, each);
  });
}

AheadLink Crawler::ResolveAhead(const std::string& url, bool parseHtml, int depth) {
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

std::vector<AheadLink> Crawler::RescanAhead(AheadLink& page) {
  // As FetchUrl would find the page in its turn: a dropped record may be fetched afresh then.
  const UrlRecord* record = page.record != AheadLink::kNoRecord ? &m_state.VisitedUrls.At(page.record)
                                                                 : m_state.VisitedUrls.Find(page.Key(), page.keyHash);
  if (!record || record->Dropped || !WantsRescan(*record, FETCH_PARSE_HTML, page.depth)) return {};
  page.record = record->Index;
  if (record->Index < m_rescanBarren.size()) {
    const int barrenFrom = m_rescanBarren[record->Index];
    if (barrenFrom != 0 && page.depth >= barrenFrom - 1) return {};
  }
  PageLinkList list;
  if (!m_pageLinks.Get(record->KeptLinks, list)) return {};
  return RescanLinksToSendAhead(*record, list, page.depth);
}

void Crawler::NoteRescanBarren(const AheadLink& page) {
  // Layers past the byte's range are not noted: their rescans are only looked at again.
  if (page.record == AheadLink::kNoRecord || page.depth < 0 || page.depth >= 255) return;
  if (page.record >= m_rescanBarren.size()) m_rescanBarren.resize(m_state.VisitedUrls.size(), 0);
  std::uint8_t& from = m_rescanBarren[page.record];
  if (from == 0 || page.depth + 1 < from) from = static_cast<std::uint8_t>(page.depth + 1);
}

bool Crawler::Visited(const std::string& key, std::size_t hash, std::uint32_t& notVisitedAt) const {
  // Every hint walks again the links found unvisited at the one before, and only a handful of
  // URLs are met in between: those are looked at rather than the whole list, whose records and
  // keys lie all over memory.
  constexpr std::uint32_t kFewSince = 64;
  const VisitedList& list = m_state.VisitedUrls;
  const auto size = static_cast<std::uint32_t>(list.size());
  const bool visited = notVisitedAt <= size && size - notVisitedAt <= kFewSince
                           ? list.AddedSince(notVisitedAt, key, hash)
                           : list.Find(key, hash) != nullptr;
  if (!visited) notVisitedAt = size;
  return visited;
}

}  // namespace tk

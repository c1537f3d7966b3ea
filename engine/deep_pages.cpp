// Fetches put off because the pages being scanned already nest as deep as the run allows: made
// after the start page's tree, each from the top of the stack again.
#include "engine/crawler.h"

namespace tk {
namespace {
// The rule context of a record put off: no rule context ever reads so (hosts hold no line
// break), so the record is fetched by the next request for it, whichever comes first.
constexpr std::string_view kPutOff = "\n";
}  // namespace

bool Crawler::WouldFetch(const UrlRecord& record, bool inserted, int flags, int depth) const {
  if (inserted) return true;
  if (record.Dropped) return m_state.VisitedUrls.ContextText(record.DroppedContext) != RuleContext(flags);
  return WantsRescan(record, flags, depth);
}

std::string Crawler::Defer(UrlRecord& record, const std::string& url, int flags, int depth) {
  // A record that was put off already is queued once; one to be rescanned from a higher layer
  // is queued each time, and the rescans after the first find nothing left to do.
  if (record.Dropped && m_state.VisitedUrls.ContextText(record.DroppedContext) == kPutOff) return {};
  if (record.ScannedDepth < 0) {
    record.Dropped = true;
    record.DroppedContext = m_state.VisitedUrls.Context(std::string(kPutOff));
  }
  DeferredFetch& next = m_deferred.emplace_back(DeferredFetch{record.Index, kSpelledAsRecord, flags, depth});
  if (!record.UrlIs(url)) {
    next.spelling = static_cast<std::uint32_t>(m_deferredSpellings.size());
    m_deferredSpellings.push_back(url);
  }
  // The link is written as its absolute URL for now; the end of the run makes it local.
  return {};
}

void Crawler::FetchDeferred() {
  while (!m_deferred.empty() && !Cancelled()) {
    const DeferredFetch next = m_deferred.front();
    m_deferred.pop_front();
    const std::string url = next.spelling == kSpelledAsRecord ? m_state.VisitedUrls.At(next.record).Url()
                                                               : std::move(m_deferredSpellings[next.spelling]);
    FetchLink(url, next.flags, next.depth, nullptr, nullptr);
  }
  m_deferred.clear();
  m_deferredSpellings.clear();
}

}  // namespace tk

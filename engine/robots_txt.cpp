// robots.txt: asked for once per server and run, before the first request to that server, and
// asked before every request a link leads to. Start pages are the user's own choice: always
// fetched, though their server's rules are read all the same for the links they lead to.
#include "engine/crawler.h"
#include "engine/log_texts.h"
#include "engine/redirect_location.h"

namespace tk {
namespace {

// More than any real robots.txt; the rest of a longer one is not read.
constexpr std::size_t kMaxRobotsBytes = 512 * 1024;
constexpr int kMaxRobotsRedirects = 5;

bool IsRobotsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string RobotsKey(const std::string& host, int port, bool https) {
  return (https ? "https://" : "http://") + host + ":" + std::to_string(port);
}

}  // namespace

bool Crawler::RobotsAllow(const HttpTarget& target, int flags, UrlRecord& record) {
  if (!m_settings.Robots) return true;
  const RobotsRules& rules = RobotsFor(target);
  if ((flags & FETCH_START_PAGE) || rules.Allows(WithoutFragment(target.object))) return true;
  // Not a file of the run: no counter changes, and the exit status stays as it was.
  WriteLog(LogLine(record.Url(), logtext::kRobotsDisallowed));
  return false;
}

const RobotsRules& Crawler::RobotsFor(const HttpTarget& target) {
  const std::string key = RobotsKey(target.host, target.port, target.https);
  auto known = m_state.Robots.find(key);
  if (known != m_state.Robots.end()) return known->second;
  RobotsRules rules = FetchRobots(target);
  // Elements of the map keep their place when it grows: the reference stays good.
  return m_state.Robots.insert_or_assign(key, std::move(rules)).first->second;
}

const RobotsRules* Crawler::KnownRobots(const std::string& host, int port, bool https) const {
  auto known = m_state.Robots.find(RobotsKey(host, port, https));
  return known == m_state.Robots.end() ? nullptr : &known->second;
}

// Whatever keeps the file from being read (no answer, a 4xx or 5xx, a broken body) allows
// everything: a server that says nothing forbids nothing.
RobotsRules Crawler::FetchRobots(HttpTarget target) {
  target.object = "/robots.txt";
  inet::Error err;
  auto request = SendRequest(target, err);
  for (int hops = 0; request && IsRobotsRedirect(request->StatusCode()); ++hops) {
    std::string location;
    if (hops == kMaxRobotsRedirects || !FindLocation(request->RawHeaders(), location)) return {};
    auto url = inet::ParseUrl(
        ResolveLocation(target.host, target.port, target.object, location, target.https ? "https" : "http"));
    request.reset();
    if (!url || !IsHttpService(url->service)) return {};
    target = HttpTarget{url->host, url->object, url->port, url->service == inet::Service::Https, {}, {}};
    request = SendRequest(target, err);
  }
  if (!request || request->StatusCode() != 200) return {};
  std::string text;
  char buf[kChunk];
  while (text.size() < kMaxRobotsBytes) {
    const long n = request->Read(buf, sizeof buf, err);
    if (n < 0) return {};
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return RobotsRules::Parse(text, m_state.RobotsAgent);
}

}  // namespace tk

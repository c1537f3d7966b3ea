// HTTP retrieval: rules, request, password, redirects, the body and the page scan.
#include <algorithm>
#include <unordered_set>

#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/local_names.h"
#include "engine/page_buffer.h"
#include "engine/redirect_location.h"
#include "links/css_links.h"
#include "links/html_scanner.h"

namespace tk {
namespace {

constexpr std::size_t kChunk = 1023;
constexpr int kMaxRedirects = 20;
// Frames, images and style sheets are followed whatever the layer count, so a chain of frames
// (or of @import) could nest page scans without end, each one a level of the machine stack.
// Deeper pages are saved as they come, their links not followed.
constexpr int kMaxPageNesting = 64;
// How many of the requests to come are hinted at a time: enough to keep the connections sent
// ahead busy across the pages the next turns lead to, few enough that the answers held wait
// little (the connection holds at most 32 hints).
constexpr std::size_t kHints = 16;
// A style sheet is scanned for the files it pulls in; a server that names no type is believed
// by the file's extension.
bool IsStyleSheet(std::string_view contentType, std::string_view name) {
  constexpr std::string_view kCss = "text/css";
  if (contentType.empty()) return name.size() >= 4 && EqualsNoCase(name.substr(name.size() - 4), ".css");
  return contentType.size() >= kCss.size() && EqualsNoCase(contentType.substr(0, kCss.size()), kCss);
}

bool IsRedirect(int status) { return status == 301 || status == 302 || status == 303; }

std::string WithoutFragment(std::string_view object) {
  return std::string(object.substr(0, object.rfind('#')));
}

}  // namespace

std::unique_ptr<inet::HttpRequest> Crawler::SendRequest(const HttpTarget& target, inet::Error& err) {
  auto& connection = m_state.HttpConnection;
  // One connection serves one server: the same name, the same port and the same scheme.
  if (connection && !(EqualsNoCase(connection->ServerName(), target.host) && connection->Port() == target.port &&
                      connection->Secure() == target.https))
    connection.reset();
  if (!connection) {
    // Only this thread replaces the session, so reading it needs no lock.
    if (!m_session) return nullptr;
    connection = target.https ? m_backend.ConnectHttps(*m_session, target.host, target.port, err)
                              : m_backend.ConnectHttp(*m_session, target.host, target.port, err);
    if (!connection) return nullptr;
  }
  std::uint32_t flags = inet::kFlagNoAutoRedirect | CacheFlags(m_state.ReloadFlag);
  return connection->OpenRequest(WithoutFragment(target.object), flags, err);
}

bool Crawler::Authenticate(inet::HttpRequest& request, UrlRecord& record, const std::string& host,
                           std::string& result) {
  while (request.StatusCode() == 401) {
    auto credentials = m_host.AskPassword(record.Url, host);
    if (!credentials) {
      result = FinishFailure(LogLine(record.Url, "NG:Cancelled by user"), true, {});
      return false;
    }
    inet::Error err;
    if (!request.ResendWithCredentials(credentials->User, credentials->Password, err)) {
      result = Cancelled() ? std::string() : FinishInternetError(record.Url, err, {});
      return false;
    }
  }
  return true;
}

// Follows 301/302/303 answers until another status comes. False when the fetch has ended
// (`result` then holds its return value).
bool Crawler::FollowRedirects(HttpTarget& target, std::unique_ptr<inet::HttpRequest>& request, int flags,
                              UrlRecord& record, std::string& result) {
  for (int hops = 0; IsRedirect(request->StatusCode()); ++hops) {
    if (hops == kMaxRedirects) {
      result = FinishFailure(LogLine(record.Url, "NG:Too many redirects"), true, {});
      return false;
    }
    std::string location;
    if (!FindLocation(request->RawHeaders(), location)) {
      result = FinishFailure(LogLine(record.Url, "NG:Site redirects with no new location"), true, {});
      return false;
    }
    auto url = inet::ParseUrl(
        ResolveLocation(target.host, target.port, target.object, location, target.https ? "https" : "http"));
    if (!url) {
      result = FinishFailure(LogLine(record.Url, "NG:The redirected URL could not be parsed(" + location + ")"),
                             true, {});
      return false;
    }
    request.reset();
    if (url->service == inet::Service::Ftp) {
      result = FetchFtp(url->host, url->object, url->port, record);
      return false;
    }
    if (!IsHttpService(url->service)) {
      result = FinishFailure(
          LogLine(record.Url, "NG:The redirected URL does not reference a HTTP resource(" + location + ")"), true,
          {});
      return false;
    }
    if (!IsSiteAllowed(url->host, flags) || !IsTypeAllowed(url->object, flags)) {
      result = Drop(record, flags);
      return false;
    }
    target = HttpTarget{url->host, url->object, url->port, url->service == inet::Service::Https};
    inet::Error err;
    request = SendRequest(target, err);
    if (!request) {
      result = Cancelled() ? std::string() : FinishInternetError(record.Url, err, {});
      return false;
    }
  }
  return true;
}

bool Crawler::IsHttpService(inet::Service service) const {
  return service == inet::Service::Http || (service == inet::Service::Https && m_settings.Https);
}

std::string Crawler::FetchHttp(const HttpTarget& start, int flags, int depth, UrlRecord& record) {
  if (!IsSiteAllowed(start.host, flags) || !IsTypeAllowed(start.object, flags)) return Drop(record, flags);
  HttpTarget target = start;
  inet::Error err;
  auto request = SendRequest(target, err);
  if (!request) return Cancelled() ? std::string() : FinishInternetError(record.Url, err, {});
  std::string result;
  if (!Authenticate(*request, record, start.host, result)) return result;
  if (!FollowRedirects(target, request, flags, record, result)) return result;
  // The host a start page lands on is its site as much as the one it was asked for.
  if ((flags & FETCH_START_PAGE) && !EqualsNoCase(target.host, start.host)) m_state.StartHosts.push_back(target.host);
  if (request->StatusCode() != 200)
    return FinishFailure(LogLine(record.Url, "NG:Bad Status(" + std::to_string(request->StatusCode()) + ")"),
                         true, {});
  return SaveHttpBody(target, *request, flags, depth, record);
}

std::string Crawler::SaveHttpBody(const HttpTarget& target, inet::HttpRequest& request, int flags, int depth,
                                  UrlRecord& record) {
  std::string contentType = request.ContentType();
  std::string name = MakeLocalName(m_state, WithoutFragment(target.object), contentType);
  if (!IsTypeAllowed(name, flags)) return Drop(record, flags);
  // Named for the browser only after the type rule, which judges the server's own extension.
  name = HtmlPageName(std::move(name), contentType);
  if (!m_settings.SaveFlat)
    name = MakeServerPath(m_saveFolder, true, target.host, target.object, target.port, name, target.https);
  name = MakeUniqueName(m_state, name);
  if (!AskOverwrite(name)) {
    ++m_state.FilesSkipped;
    return FinishFailure(LogLine(record.Url, "SKIPPED:No overwrite"), false, name);
  }
  record.LocalPath = name;
  const bool sheet = IsStyleSheet(contentType, name);
  bool parse = (IsHtmlType(contentType) && (flags & FETCH_PARSE_HTML)) || sheet;
  const bool tooDeep = parse && depth >= kMaxPageNesting;
  if (tooDeep) parse = false;
  m_state.FileBytes = 0;
  m_host.BeginFile(record.Url, name, request.ContentLength());
  // An earlier run's copy is not emptied for a transfer that will not happen.
  if (Cancelled()) {
    record.LocalPath.clear();
    return {};
  }
  LocalFile file;
  if (!file.Create(m_saveFolder, name))
    return FinishFailure(LogLine(record.Url, "NG:Failed in saving to[" + name + "]"), true, name);
  // A page to be scanned is collected first: its links are fetched while it is written out.
  PageBuffer page(m_saveFolder, m_state.PageMemoryHeld);
  bool ended = false;
  if (!ReceiveBody(request, file, parse ? &page : nullptr, record, name, ended)) return ended ? name : "";
  if (!parse && !file.Close())
    return FinishFailure(LogLine(record.Url, "NG:Failed in saving to[" + name + "]"), true, name);
  m_state.BytesDownloaded += m_state.FileBytes;
  ++m_state.FilesDownloaded;
  WriteLog(LogLine(record.Url, "OK:Saved as[" + name + "]"));
  m_host.ShowCounts(m_state);
  if (tooDeep)
    WriteLog(LogLine(record.Url, "NOTE:Nested " + std::to_string(depth) + " pages deep, its links not followed"));
  if (parse) WritePage(target, page, file, depth, record, name, sheet);
  return Cancelled() ? std::string() : name;
}

// Reads the body into `page` or the file. False when the file ended early: `ended` tells
// whether it got its line (an error) or was cancelled without one.
bool Crawler::ReceiveBody(inet::HttpRequest& request, LocalFile& file, PageBuffer* page, UrlRecord& record,
                          const std::string& name, bool& ended) {
  char buf[kChunk + 1];
  while (true) {
    inet::Error err;
    long n = request.Read(buf, kChunk, err);
    if (n == 0) return true;
    if (n < 0) {
      if (Cancelled()) return false;
      FinishInternetError(record.Url, err, {});
      ended = true;
      return false;
    }
    // The part written so far stays on disk, without a line.
    if (Cancelled()) return false;
    m_state.FileBytes += n;
    m_host.AddBytes(n);
    std::string_view chunk(buf, static_cast<std::size_t>(n));
    if (page ? !page->Append(chunk) : !file.Write(chunk)) {
      FinishFailure(LogLine(record.Url, "NG:Failed in saving to[" + name + "]"), true, {});
      ended = true;
      return false;
    }
  }
}

// The one place a saved page passes through the link scanner on its way to disk.
void Crawler::WritePage(const HttpTarget& target, PageBuffer& page, LocalFile& file, int depth, UrlRecord& record,
                        const std::string& name, bool sheet) {
  PageContext context;
  context.scheme = target.https ? "https" : "http";
  context.https = m_settings.Https != 0;
  context.host = target.host;
  context.port = target.port;
  context.object = WithoutFragment(target.object);
  context.pageLocalPath = name;
  context.depth = depth;
  context.linkLayers = m_settings.LinkLayers;
  // While the page is scanned, its links and those of the pages it leads to go ahead of their turn.
  AheadScope ahead(*this, sheet ? std::vector<AheadLink>() : LinksToSendAhead(context, page));
  record.ScannedDepth = depth;
  // A page on the first layer can be reached no higher, except as a start page, which is
  // scanned afresh then; below it, the page links are kept for a shorter way found later.
  UrlRecord* const linksOf = depth == 0 ? nullptr : &record;
  context.fetchUrl = [this, &ahead, linksOf](const std::string& url, bool parseHtml, int linkDepth) {
    // While this link (and all it links to) is fetched, the server already has the next ones.
    ahead.Next();
    if (!parseHtml || !linksOf) return FetchUrl(url, parseHtml ? FETCH_PARSE_HTML : 0, linkDepth);
    const std::size_t index = linksOf->PageLinks.size();
    UrlRecord* met = nullptr;
    std::string local = FetchLink(url, FETCH_PARSE_HTML, linkDepth, linksOf, &met);
    SettlePageLink(*linksOf, index, met);
    return local;
  };
  context.savedPath = [this, linksOf](const std::string& url) {
    if (linksOf) NotePageLinkText(*linksOf, 'h', url);
    return SavedPath(url);
  };
  std::uint64_t written = 0;
  context.write = [&file, &written](const char* data, std::size_t len) {
    file.Write(std::string_view(data, len));
    written += len;
  };
  context.writeLink = [this, &file, &written, &record](std::string_view text, const std::string& url, bool saved) {
    // A fragment after the URL (a style sheet's "#symbol") stays when the link is mended.
    if (!saved) NotePendingLink(record, written, std::min(text.find('#'), text.size()), url);
    file.Write(text);
    written += text.size();
  };
  // A cancel stops the fetching (FetchUrl then answers at once), not the page: logged as saved,
  // it is written whole, each link local where its copy exists, absolute where not. A page that
  // can no longer be written is a broken copy: its scan stops at the failed write rather than
  // fetching every link below it.
  bool whole = true;
  if (sheet) {
    CssLinkState scan;
    whole = page.ForEachChunk(kChunk, [&](std::string_view chunk) {
      if (!file.Failed()) ScanCssChunk(context, chunk, scan);
    });
    if (!file.Failed()) FinishCssScan(context, scan);
  } else {
    ScanState scan;
    whole = page.ForEachChunk(kChunk, [&](std::string_view chunk) {
      if (!file.Failed()) ParseHtmlChunk(context, chunk, scan);
    });
    if (!file.Failed()) FinishHtml(context, scan);
  }
  // Kept for the rest of the run: no room to grow.
  record.PageLinks.shrink_to_fit();
  record.PageLinkText.shrink_to_fit();
  record.PendingLinks.shrink_to_fit();
  record.PendingKeys.shrink_to_fit();
  // The page's OK line already stands; a page that did not reach the disk (or could not be read
  // back from its temporary file) adds an error below it.
  if (!file.Close() || !whole) {
    record.PendingLinks.clear();  // offsets into a file that is not what was written
    record.PendingKeys.clear();
    if (Cancelled()) return;
    ++m_state.Errors;
    ++m_state.NgLines;
    WriteLog(LogLine(record.Url, "NG:Failed in saving to[" + name + "]"));
    m_host.ShowCounts(m_state);
  }
}

std::vector<Crawler::AheadLink> Crawler::LinksToSendAhead(const PageContext& context, PageBuffer& page) {
  // Only where every hint is surely followed by its request: a crawl held to its start site,
  // whose connection then serves the page's whole subtree.
  if (!m_settings.SameSiteOnly || !m_state.HttpConnection) return {};
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
      !IsTypeAllowed(parsed->object, flags))
    return link;
  link.key = VisitKey(*parsed);
  link.object = WithoutFragment(parsed->object);
  link.host = parsed->host;
  link.port = parsed->port;
  link.https = parsed->service == inet::Service::Https;
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
  if (!connection || Cancelled() || m_aheadFrames.empty()) return;
  std::vector<const AheadLink*> order;
  std::unordered_set<std::string, HashNoCase, EqualNoCase> seen;
  order.reserve(kHints);
  for (auto frame = m_aheadFrames.rbegin(); frame != m_aheadFrames.rend() && order.size() < kHints; ++frame)
    WalkAhead((*frame)->links, (*frame)->next, order, seen);
  const std::uint32_t flags = inet::kFlagNoAutoRedirect | CacheFlags(m_state.ReloadFlag);
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
  const std::uint32_t flags = inet::kFlagNoAutoRedirect | CacheFlags(m_state.ReloadFlag);
  if (!m_state.HttpConnection->PeekAhead(link.object, flags, contentType, body)) return;
  link.peeked = true;
  if (!IsHtmlType(contentType) || link.depth >= kMaxPageNesting) return;
  PageContext context;
  context.scheme = link.https ? "https" : "http";
  context.https = m_settings.Https != 0;
  context.host = link.host;
  context.port = link.port;
  context.object = link.object;
  context.depth = link.depth;
  context.linkLayers = m_settings.LinkLayers;
  link.links = DryScan(context, [&body](const std::function<void(std::string_view)>& each) {
    for (std::size_t at = 0; at < body.size(); at += kChunk)
      each(std::string_view(body).substr(at, kChunk));
    return true;
  });
}

}  // namespace tk

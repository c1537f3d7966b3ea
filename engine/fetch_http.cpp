// HTTP retrieval: rules, request, password, redirects, the body and the page scan. The requests
// sent ahead of their turn are in send_ahead.cpp.
#include <algorithm>

#include "engine/crawler.h"
#include "engine/http_date.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/local_names.h"
#include "engine/page_buffer.h"
#include "engine/redirect_location.h"
#include "links/css_links.h"
#include "links/html_scanner.h"

namespace tk {
namespace {

constexpr int kMaxRedirects = 20;
// A style sheet is scanned for the files it pulls in; a server that names no type is believed
// by the file's extension.
bool IsStyleSheet(std::string_view contentType, std::string_view name) {
  constexpr std::string_view kCss = "text/css";
  if (contentType.empty()) return name.size() >= 4 && EqualsNoCase(name.substr(name.size() - 4), ".css");
  return contentType.size() >= kCss.size() && EqualsNoCase(contentType.substr(0, kCss.size()), kCss);
}

bool IsRedirect(int status) { return status == 301 || status == 302 || status == 303; }

}  // namespace

std::string Crawler::WithoutFragment(std::string_view object) {
  return std::string(object.substr(0, object.rfind('#')));
}

std::unique_ptr<inet::HttpRequest> Crawler::SendRequest(const HttpTarget& target, inet::Error& err) {
  auto& connection = m_state.HttpConnection;
  // One connection serves one server: the same name, the same port and the same scheme. A URL
  // with a login of its own needs a connection made with it; one without takes the connection
  // as it is, as its server's login is the session's to send.
  const std::string login = target.user.empty() ? std::string() : target.user + "\n" + target.password;
  if (connection && !(EqualsNoCase(connection->ServerName(), target.host) && connection->Port() == target.port &&
                      connection->Secure() == target.https && (login.empty() || login == m_httpLogin)))
    connection.reset();
  if (!connection) {
    // Only this thread replaces the session, so reading it needs no lock.
    if (!m_session) return nullptr;
    if (!login.empty())
      connection = m_backend.ConnectHttpLogin(*m_session, target.host, target.port, target.https, target.user,
                                              target.password, err);
    else
      connection = target.https ? m_backend.ConnectHttps(*m_session, target.host, target.port, err)
                                : m_backend.ConnectHttp(*m_session, target.host, target.port, err);
    if (!connection) return nullptr;
    m_httpLogin = login;
  }
  std::uint32_t flags = HttpRequestFlags(m_state.ReloadFlag);
  return connection->OpenRequest(WithoutFragment(target.object), flags, err);
}

bool Crawler::Authenticate(inet::HttpRequest& request, UrlRecord& record, const std::string& host,
                           std::string& result) {
  while (request.StatusCode() == 401) {
    auto credentials = m_host.AskPassword(record.Url(), host);
    if (!credentials) {
      result = FinishFailure(LogLine(record.Url(), logtext::kCancelledByUser), true, {});
      return false;
    }
    inet::Error err;
    if (!request.ResendWithCredentials(credentials->User, credentials->Password, err)) {
      result = Cancelled() ? std::string() : FinishInternetError(record.Url(), err, {});
      return false;
    }
  }
  return true;
}

// Follows 301/302/303 answers until another status comes. False when the fetch has ended
// (`result` then holds its return value).
bool Crawler::FollowRedirects(HttpTarget& target, std::unique_ptr<inet::HttpRequest>& request, int flags,
                              int depth, UrlRecord& record, std::string& result) {
  for (int hops = 0; IsRedirect(request->StatusCode()); ++hops) {
    if (hops == kMaxRedirects) {
      result = FinishFailure(LogLine(record.Url(), logtext::kTooManyRedirects), true, {});
      return false;
    }
    std::string location;
    if (!FindLocation(request->RawHeaders(), location)) {
      result = FinishFailure(LogLine(record.Url(), logtext::kNoNewLocation), true, {});
      return false;
    }
    // An empty location names no URL; resolved, it would be the request itself, again and again.
    auto url = location.empty() ? std::nullopt
                                : inet::ParseUrl(ResolveLocation(target.host, target.port, target.object, location,
                                                                 target.https ? "https" : "http"));
    if (!url) {
      result = FinishFailure(LogLine(record.Url(), logtext::RedirectUnparsed(location)), true, {});
      return false;
    }
    request.reset();
    if (url->service == inet::Service::Ftp) {
      result = FetchFtp(*url, flags, depth, record);
      return false;
    }
    if (!IsHttpService(url->service)) {
      result = FinishFailure(LogLine(record.Url(), logtext::RedirectNotHttp(location)), true, {});
      return false;
    }
    if (!IsSiteAllowed(url->host, flags) || !IsTypeAllowed(url->object, flags) || !IsUrlAllowed(url->object, flags)) {
      result = Drop(record, flags);
      return false;
    }
    target = HttpTarget{url->host, url->object, url->port, url->service == inet::Service::Https, url->user,
                        url->password};
    if (!RobotsAllow(target, flags, record)) {
      result = Drop(record, flags);
      return false;
    }
    inet::Error err;
    request = RequestWithRetries(target, err);
    if (!request) {
      result = Cancelled() ? std::string() : FinishInternetError(record.Url(), err, {});
      return false;
    }
  }
  return true;
}

bool Crawler::IsHttpService(inet::Service service) const {
  return service == inet::Service::Http || (service == inet::Service::Https && m_settings.Https);
}

std::string Crawler::FetchHttp(const HttpTarget& start, int flags, int depth, UrlRecord& record) {
  if (!IsSiteAllowed(start.host, flags) || !IsTypeAllowed(start.object, flags) || !IsUrlAllowed(start.object, flags))
    return Drop(record, flags);
  if (!RobotsAllow(start, flags, record)) return Drop(record, flags);
  HttpTarget target = start;
  inet::Error err;
  auto request = RequestWithRetries(target, err);
  if (!request) return Cancelled() ? std::string() : FinishInternetError(record.Url(), err, {});
  std::string result;
  if (!Authenticate(*request, record, start.host, result)) return result;
  if (!FollowRedirects(target, request, flags, depth, record, result)) return result;
  // The host a start page lands on is its site as much as the one it was asked for.
  if ((flags & FETCH_START_PAGE) && !EqualsNoCase(target.host, start.host)) m_state.StartHosts.push_back(target.host);
  if (request->StatusCode() != 200)
    return FinishFailure(LogLine(record.Url(), logtext::BadStatus(request->StatusCode())), true, {});
  return SaveHttpBody(target, std::move(request), flags, depth, record);
}

std::string Crawler::SaveHttpBody(const HttpTarget& target, std::unique_ptr<inet::HttpRequest> request, int flags,
                                  int depth, UrlRecord& record) {
  std::string contentType = request->ContentType();
  std::string name = MakeLocalName(m_state, WithoutFragment(target.object), contentType);
  if (!IsTypeAllowed(name, flags)) return Drop(record, flags);
  // Named for the browser only after the type rule, which judges the server's own extension.
  name = HtmlPageName(std::move(name), contentType);
  if (!m_settings.SaveFlat)
    name = MakeServerPath(Folders(), true, target.host, target.object, target.port, name, target.https);
  name = MakeUniqueName(m_state, name);
  const bool sheet = IsStyleSheet(contentType, name);
  bool parse = (IsHtmlType(contentType) && (flags & FETCH_PARSE_HTML)) || sheet;
  const bool tooDeep = parse && NestedTooDeep();
  if (tooDeep) parse = false;
  StreamSource source;
  source.size = request->ContentLength();
  source.read = [&request](char* buf, std::size_t size, inet::Error& err) { return request->Read(buf, size, err); };
  // Also an answer from the cache after a 304: it carries the headers of the body it stands for.
  source.modified = LastModifiedOf(request->RawHeaders());
  LocalFile file;
  // A page to be scanned is collected first: its links are fetched while it is written out.
  PageBuffer page(m_saveFolder, m_state.PageMemoryHeld);
  const SaveEnd end = SaveStream(record.Url(), name, record, source, file, parse ? &page : nullptr);
  // A file that failed or was cut is no part of the copy: links to it lead to the server.
  if (end == SaveEnd::Failed || end == SaveEnd::Cancelled || end == SaveEnd::TooLarge) return {};
  // The body is in whole. Held on, the request would keep its connection open the whole time
  // the scan below spends on other servers, and the next request here would open another one.
  request.reset();
  const bool kept = end == SaveEnd::Skipped;
  if (tooDeep && !kept) WriteLog(LogLine(record.Url(), logtext::NestedTooDeep(depth)));
  // A page written whole is the copy's also when the run was cancelled during its scan.
  if (parse && !WritePage(target, page, kept ? nullptr : &file, depth, record, name, sheet, source.modified))
    return {};
  return name;
}

PageContext Crawler::ScanContext(const std::string& host, int port, bool https, std::string object,
                                 int depth) const {
  PageContext context;
  context.scheme = https ? "https" : "http";
  context.https = m_settings.Https != 0;
  context.host = host;
  context.port = port;
  context.object = std::move(object);
  context.depth = depth;
  context.linkLayers = m_linkLayers;
  context.robots = m_settings.Robots != 0;
  return context;
}

// The one place a saved page passes through the link scanner on its way to disk.
bool Crawler::WritePage(const HttpTarget& target, PageBuffer& page, LocalFile* file, int depth, UrlRecord& record,
                        const std::string& name, bool sheet, std::optional<std::int64_t> modified, int linkFlags) {
  PageContext context = ScanContext(target.host, target.port, target.https, WithoutFragment(target.object), depth);
  if (record.Folder) context.scheme = "ftp";
  context.pageLocalPath = name;
  // While the page is scanned, its links and those of the pages it leads to go ahead of their turn.
  // The links of the innermost page of a nest are put off (see Defer): none is sent ahead now.
  const bool putOff = m_ahead.Nesting() + 1 >= static_cast<std::size_t>(kMaxPageNesting);
  SendAhead::Scope ahead(m_ahead, sheet || putOff ? std::vector<AheadLink>() : LinksToSendAhead(context, page));
  record.ScannedDepth = depth;
  std::uint64_t written = 0;
  WirePageScan(context, ahead, record, file, written, linkFlags);
  const bool whole = ScanPage(context, page, sheet, file);
  record.Compact(m_pageLinks);
  // A page kept as it was is scanned for its links only: nothing of it is written.
  return !file || FinishPageFile(*file, record, name, whole, modified);
}

void Crawler::WirePageScan(PageContext& context, SendAhead::Scope& ahead, UrlRecord& record, LocalFile* file,
                           std::uint64_t& written, int linkFlags) {
  // A page on the first layer can be reached no higher, except as a start page, which is
  // scanned afresh then; below it, the page links are kept for a shorter way found later.
  UrlRecord* const linksOf = context.depth == 0 ? nullptr : &record;
  context.fetchUrl = [this, &ahead, linksOf, linkFlags](const std::string& url, bool parseHtml, int linkDepth) {
    // While this link (and all it links to) is fetched, the server already has the next ones.
    ahead.Next();
    if (!parseHtml || !linksOf) return FetchUrl(url, (parseHtml ? FETCH_PARSE_HTML : 0) | linkFlags, linkDepth);
    const std::size_t index = linksOf->LiveLinks().size();
    UrlRecord* met = nullptr;
    std::string local = FetchLink(url, FETCH_PARSE_HTML | linkFlags, linkDepth, linksOf, &met);
    SettlePageLink(linksOf->More().Links, index, met);
    return local;
  };
  context.savedPath = [this, linksOf](const std::string& url) { return SavedPath(url, linksOf); };
  context.write = [file, &written](const char* data, std::size_t len) {
    if (file) file->Write(std::string_view(data, len));
    written += len;
  };
  context.writeLink = [this, file, &written, &record](std::string_view text, const std::string& url, bool saved) {
    if (!file) return;
    // A fragment after the URL (a style sheet's "#symbol") stays when the link is mended.
    if (!saved) NotePendingLink(record, written, std::min(text.find('#'), text.size()), url);
    file->Write(text);
    written += text.size();
  };
}

bool Crawler::ScanPage(PageContext& context, PageBuffer& page, bool sheet, const LocalFile* file) {
  const auto failed = [file] { return file && file->Failed(); };
  // A cancel stops the fetching (FetchUrl then answers at once), not the page: logged as saved,
  // it is written whole, each link local where its copy exists, absolute where not. A page that
  // can no longer be written is a broken copy: its scan stops at the failed write rather than
  // fetching every link below it.
  bool whole = true;
  if (sheet) {
    CssLinkState scan;
    whole = page.ForEachChunk(kChunk, [&](std::string_view chunk) {
      if (!failed()) ScanCssChunk(context, chunk, scan);
    });
    if (!failed()) FinishCssScan(context, scan);
  } else {
    ScanState scan;
    whole = page.ForEachChunk(kChunk, [&](std::string_view chunk) {
      if (!failed()) ParseHtmlChunk(context, chunk, scan);
    });
    if (!failed()) FinishHtml(context, scan);
  }
  return whole;
}

bool Crawler::FinishPageFile(LocalFile& file, UrlRecord& record, const std::string& name, bool whole,
                             std::optional<std::int64_t> modified) {
  // The page's OK line already stands; a page that did not reach the disk (or could not be read
  // back from its temporary file) adds an error below it, and the earlier copy stays.
  if (whole && file.Finish() && SettlePage(file, record, modified)) return true;
  file.Discard();
  record.LocalPath = {};
  record.ForgetPendingLinks();
  if (Cancelled()) return false;
  ++m_state.Errors;
  ++m_state.NgLines;
  WriteLog(LogLine(record.Url(), logtext::FailedSaving(name)));
  m_host.ShowCounts(m_state);
  return false;
}

bool Crawler::SettlePage(LocalFile& file, UrlRecord& record, std::optional<std::int64_t> modified) {
  // Links written as URLs may still become local: the page waits, whole, beside its place.
  if (record.HasPendingLinks()) {
    HoldPage(record, file.Hold(modified));
    return true;
  }
  const Placement placed = file.Place(modified);
  CountPlacement(placed);
  return placed != Placement::Failed;
}

}  // namespace tk

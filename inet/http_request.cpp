// The plain path of one HTTP request: sent, its headers awaited, its body source settled (the
// network, the cache after a 304, or a stored part resumed by a 206), and its body read.
#include "inet/http_request.h"

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "inet/http_headers.h"
#include "inet/url.h"

namespace tk::inet::detail {

HttpRequestImpl::HttpRequestImpl(std::shared_ptr<Multi> multi, std::string host, int port, bool secure,
                                 std::string object, std::uint32_t flags,
                                 std::optional<Credentials> urlCredentials)
    : m_multi(std::move(multi)),
      m_host(std::move(host)),
      m_port(port),
      m_secure(secure),
      m_object(WireObject(object)),
      m_flags(flags),
      m_urlCredentials(std::move(urlCredentials)) {
  // The scheme is part of the key: an https answer never stands in for an http one.
  m_cacheKey = Scheme() + AsciiLower(m_host) + ":" + std::to_string(m_port) + m_object;
}

HttpRequestImpl::~HttpRequestImpl() { StopTransfer(true); }

bool HttpRequestImpl::Open(Error& err) {
  m_entry = LookupEntry();
  if (!Send(err)) return false;
  return Settle(err);
}

std::unique_ptr<cache::Entry> HttpRequestImpl::LookupEntry() const {
  if (m_flags & kFlagReload) return nullptr;
  auto entry = m_multi->Session()->Cache()->Lookup(m_cacheKey);
  if (entry && entry->meta().etag.empty() && entry->meta().lastModified.empty()) entry.reset();
  return entry;
}

std::int64_t HttpRequestImpl::AnswerDelayUs() const {
  if (!m_transfer.easy) return -1;
  curl_off_t sent = 0, answered = 0;
  if (curl_easy_getinfo(m_transfer.easy, CURLINFO_PRETRANSFER_TIME_T, &sent) != CURLE_OK ||
      curl_easy_getinfo(m_transfer.easy, CURLINFO_STARTTRANSFER_TIME_T, &answered) != CURLE_OK || answered <= 0 ||
      answered < sent)
    return -1;
  return answered - sent;
}

int HttpRequestImpl::StatusCode() const { return m_source == Source::Network ? m_status : 200; }
std::string HttpRequestImpl::ContentType() const { return Header("Content-Type"); }
std::string HttpRequestImpl::ContentLength() const { return Header("Content-Length"); }

std::string HttpRequestImpl::RawHeaders() const {
  if (m_source != Source::Network) return m_entry->meta().headers;
  std::string out;
  for (const auto& line : m_lines) out += line + "\r\n";
  return out;
}

bool HttpRequestImpl::ResendWithCredentials(std::string_view user, std::string_view password, Error& err) {
  if (m_multi->Session()->Closed()) {
    err = MakeError(ErrorCode::SessionClosed);
    return false;
  }
  Credentials creds{std::string(user), std::string(password), AuthMaskFor(m_lines)};
  m_multi->Session()->RememberCredentials(SchemeName(), m_host, m_port, creds);
  StopTransfer(true);
  m_source = Source::Network;
  if (!Send(err)) return false;
  return Settle(err);
}

long HttpRequestImpl::Read(char* buf, std::size_t max, Error& err) {
  if (m_multi->Session()->Closed()) {
    err = MakeError(ErrorCode::SessionClosed);
    return -1;
  }
  if (max == 0) return 0;
  if (m_prefixLeft > 0) return m_entry->ReadPrefix(buf, max, m_prefixLeft, err);
  if (m_source == Source::Cache) return 0;
  return m_body.Read(*m_multi, m_transfer, buf, max, err,
                     [this] { return ErrorFromCurl(m_transfer.result, m_transfer.errorBuffer, IsChunked()); });
}

std::string HttpRequestImpl::Header(std::string_view name) const {
  // The live response's lines are searched in place; only a cached answer needs splitting.
  if (m_source == Source::Network) return FindHeader(m_lines, name);
  return FindHeader(SplitHeaderLines(m_entry->meta().headers), name);
}

bool HttpRequestImpl::IsChunked() const {
  std::string te = FindHeader(m_lines, "Transfer-Encoding");
  return AsciiLower(te).find("chunked") != std::string::npos;
}

std::optional<Credentials> HttpRequestImpl::CurrentCredentials() const {
  // Credentials written in the URL are the user's explicit choice for it; else what the
  // session learnt for this scheme, host and port.
  if (m_urlCredentials) return m_urlCredentials;
  return m_multi->Session()->FindCredentials(SchemeName(), m_host, m_port);
}

// Starts the transfer for the current entry state and credentials.
bool HttpRequestImpl::Start(Error& err) {
  if (m_multi->Session()->Closed()) {
    err = MakeError(ErrorCode::SessionClosed);
    return false;
  }
  m_lines.clear();
  m_status = 0;
  m_headersDone = false;
  m_body.Clear();
  m_discard = false;

  // A parked handle carries the Digest state of earlier requests to this server. Every option
  // below is set on each request, so nothing else of an earlier request carries over.
  CURL* easy = NewEasy(*m_multi->Session(), m_transfer, m_multi->TakeParked());
  std::string url = Scheme() + m_host + ":" + std::to_string(m_port) + m_object;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  // HTTP/2 is offered over TLS only, where the server picks it in the handshake.
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   static_cast<long>(m_secure ? CURL_HTTP_VERSION_2TLS : CURL_HTTP_VERSION_1_1));
  if (m_secure) SetTls(easy, m_multi->Session()->Trust());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpRequestImpl::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpRequestImpl::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  // The saved file is the resource's own bytes: no Accept-Encoding, no decoding.
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, m_freshConnection ? 1L : 0L);

  std::optional<Credentials> creds = CurrentCredentials();
  m_sentCredentials = creds;
  m_cookieChangesAtStart = m_multi->Session()->Cookies().Changes();
  m_ownCookieChanges = 0;
  m_credentialsSent = creds.has_value();
  curl_easy_setopt(easy, CURLOPT_USERNAME, creds ? creds->user.c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_PASSWORD, creds ? creds->password.c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_HTTPAUTH, creds ? creds->authMask : CURLAUTH_BASIC);

  curl_slist_free_all(m_headerList);
  m_headerList = ConditionalHeaders();
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headerList);

  m_multi->Add(m_transfer);
  return true;
}

// What the cache entry asks of the server: a complete entry whether it is still current, an
// incomplete one the rest of its body, if it is still the same version.
curl_slist* HttpRequestImpl::ConditionalHeaders() const {
  curl_slist* list = nullptr;
  if (!m_entry) return list;
  const cache::Meta& meta = m_entry->meta();
  if (meta.complete) {
    if (!meta.etag.empty()) list = curl_slist_append(list, ("If-None-Match: " + meta.etag).c_str());
    if (!meta.lastModified.empty())
      list = curl_slist_append(list, ("If-Modified-Since: " + meta.lastModified).c_str());
  } else {
    std::string range = "Range: bytes=" + std::to_string(meta.length) + "-";
    std::string ifRange = "If-Range: " + (meta.etag.empty() ? meta.lastModified : meta.etag);
    list = curl_slist_append(list, range.c_str());
    list = curl_slist_append(list, ifRange.c_str());
  }
  return list;
}

// Waits for the status and headers of the started transfer.
bool HttpRequestImpl::AwaitHeaders(Error& err) {
  if (!m_multi->RunUntil([this] { return m_headersDone || m_transfer.done; }, err)) return false;
  if (!m_headersDone && m_transfer.result != CURLE_OK) {
    err = ErrorFromCurl(m_transfer.result, m_transfer.errorBuffer);
    return false;
  }
  // Whatever the sockets already hold joins the buffer now: small bodies (redirects, errors)
  // then finish before the caller decides to drop them, and the connection stays reusable.
  m_multi->PerformOnce();
  return true;
}

// Decides, from the status, where the body comes from and whether the cache records it.
bool HttpRequestImpl::Settle(Error& err) {
  m_status = ParseStatus();
  if (m_status == 401 && m_urlCredentials)
    m_urlCredentials.reset();  // refused: the caller asks its user, then resends
  else if (m_status >= 200 && m_status < 400 && m_urlCredentials)
    m_multi->Session()->RememberCredentials(SchemeName(), m_host, m_port, *m_urlCredentials);

  if (m_entry && m_entry->meta().complete && m_status == 304) {
    m_source = Source::Cache;
    m_prefixLeft = m_entry->meta().length;
    StopTransfer(true);
    return true;
  }
  if (m_entry && !m_entry->meta().complete && m_status == 206 && RangeFits() && ValidatorMatches()) {
    m_source = Source::Resumed;
    m_prefixLeft = m_entry->meta().length;
    std::unique_ptr<cache::Writer> writer;
    if (m_flags & kFlagCacheFile) {
      writer = cache::Writer::Create(m_multi->Session()->Cache(), m_entry->meta());
      if (writer && !writer->CopyFrom(*m_entry)) writer.reset();
    }
    WriteCache(std::move(writer));
    return true;
  }
  if (m_entry && (m_status == 206 || m_status == 416 || m_status == 304)) {
    // The entry no longer matches what the server has: ask again, plainly.
    m_multi->Session()->Cache()->Remove(m_cacheKey);
    m_entry.reset();
    StopTransfer(true);
    if (!Send(err)) return false;
    return Settle(err);
  }
  m_entry.reset();
  m_source = Source::Network;
  m_prefixLeft = 0;
  if (m_status == 200 && (m_flags & kFlagCacheFile) && !NoStore()) StartCacheWriter();
  return true;
}

// A fresh entry for a 200, when it has a validator to be asked about later.
void HttpRequestImpl::StartCacheWriter() {
  cache::Meta meta;
  meta.url = m_cacheKey;
  meta.etag = FindHeader(m_lines, "ETag");
  meta.lastModified = FindHeader(m_lines, "Last-Modified");
  // A cookie is the server's word at the time it answers: an answer served from the cache later
  // sets none (the 304 that revalidates it sets its own), and the on-disk cache keeps no
  // session's token.
  meta.headers = WithoutSetCookie(RawHeaders());
  std::string length = FindHeader(m_lines, "Content-Length");
  meta.expected = length.empty() || IsChunked() ? -1 : ParseLength(length);
  // Written out on the cache's own thread when small, while the next request goes on.
  if (!meta.etag.empty() || !meta.lastModified.empty())
    WriteCache(cache::Writer::Create(m_multi->Session()->Cache(), meta, true));
}

bool HttpRequestImpl::NoStore() const {
  return AsciiLower(FindHeader(m_lines, "Cache-Control")).find("no-store") != std::string::npos;
}

// The 206 must continue exactly where the stored part ends.
bool HttpRequestImpl::RangeFits() const {
  std::string range = FindHeader(m_lines, "Content-Range");
  std::uint64_t first = 0, total = 0;
  if (!ParseContentRange(range, first, total)) return false;
  const cache::Meta& meta = m_entry->meta();
  if (first != meta.length) return false;
  return meta.expected < 0 || total == 0 || total == static_cast<std::uint64_t>(meta.expected);
}

// The 206 is of the version the stored part came from: a server that ignores If-Range would
// otherwise splice a newer version's tail onto the old head. A strong ETag must match exactly;
// without one, the Last-Modified that served as the validator.
bool HttpRequestImpl::ValidatorMatches() const {
  const cache::Meta& meta = m_entry->meta();
  if (!meta.etag.empty()) {
    const std::string etag = FindHeader(m_lines, "ETag");
    return etag == meta.etag && !etag.starts_with("W/");
  }
  return !meta.lastModified.empty() && FindHeader(m_lines, "Last-Modified") == meta.lastModified;
}

void HttpRequestImpl::WriteCache(std::unique_ptr<cache::Writer> writer) {
  m_body.WriteTo(std::move(writer));
  if (m_body.Writing() && m_transfer.done) m_body.FinishCache(m_transfer.result == CURLE_OK);
}

int HttpRequestImpl::ParseStatus() const {
  long code = 0;
  if (m_transfer.easy) curl_easy_getinfo(m_transfer.easy, CURLINFO_RESPONSE_CODE, &code);
  return static_cast<int>(code);
}

// Ends the current transfer. `drain`: read a small remaining body to its end first so that
// the connection can serve the next request.
void HttpRequestImpl::StopTransfer(bool drain) {
  if (!m_transfer.easy) return;
  if (drain && !m_transfer.done && SmallRemainder()) {
    m_discard = true;
    m_body.Resume(m_transfer.easy);
    m_body.Clear();
    Error ignored;
    m_drained = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    m_multi->RunUntil(
        [&] {
          return m_transfer.done || m_drained > PullBody::kMaxBuffered ||
                 std::chrono::steady_clock::now() > deadline;
        },
        ignored);
  }
  m_body.FinishCache(m_transfer.done && m_transfer.result == CURLE_OK);
  if (m_transfer.done && m_transfer.result == CURLE_OK) {
    curl_easy_setopt(m_transfer.easy, CURLOPT_HTTPHEADER, nullptr);  // freed just below
    m_multi->Park(m_transfer);
  } else {
    m_multi->Remove(m_transfer);
  }
  curl_slist_free_all(m_headerList);
  m_headerList = nullptr;
}

// Whether finishing the body to keep the connection costs little: a known length with at most
// kMaxBuffered bytes still to come.
bool HttpRequestImpl::SmallRemainder() const {
  if (m_multi->Session()->Closed() || !m_headersDone) return false;
  std::int64_t length = ParseLength(FindHeader(m_lines, "Content-Length"));
  if (length < 0) return false;
  curl_off_t received = 0;
  curl_easy_getinfo(m_transfer.easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
  return length - received <= static_cast<std::int64_t>(PullBody::kMaxBuffered);
}

size_t HttpRequestImpl::OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<HttpRequestImpl*>(user);
  std::size_t n = size * count;
  std::string_view line(data, n);
  if (line.substr(0, 5) == "HTTP/") {  // a new response: 100 Continue, a 401 libcurl retries
    self->m_lines.clear();
    self->m_status = 0;
    self->m_lowerCaseNames = line.substr(0, 7) == "HTTP/2 " || line.substr(0, 7) == "HTTP/3 ";
    std::size_t sp = line.find(' ');
    if (sp != std::string_view::npos && sp + 4 <= line.size())
      self->m_status = std::atoi(std::string(line.substr(sp + 1, 3)).c_str());
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (IsSetCookie(line) && self->m_multi->Session()->Cookies().NoteSetCookie(line)) ++self->m_ownCookieChanges;
  if (!line.empty()) {
    // HTTP/2 sends every name in lower case; the engine reads the raw lines as HTTP/1.1 spells
    // them ("Location: "), so the names get the usual capitals back.
    if (self->m_lowerCaseNames && !self->m_lines.empty())
      self->m_lines.push_back(WithUsualNameCase(line));
    else
      self->m_lines.emplace_back(line);
    return n;
  }
  // The blank line ends a response's headers. A 1xx is followed by another response, and a
  // 401 to a request that carried credentials may be retried by libcurl (Digest): those are
  // final only once their body starts or the transfer ends.
  int s = self->m_status;
  if (s >= 200 && !(s == 401 && self->m_credentialsSent)) self->m_headersDone = true;
  return n;
}

size_t HttpRequestImpl::OnBody(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<HttpRequestImpl*>(user);
  std::size_t n = size * count;
  self->m_headersDone = true;
  if (self->m_discard) {
    self->m_drained += n;
    return n;
  }
  return self->m_body.OnData(data, n);
}

unsigned long HttpRequestImpl::AuthMaskFor(const std::vector<std::string>& lines) {
  unsigned long mask = 0;
  for (const auto& line : lines) {
    std::string lower = AsciiLower(line);
    if (lower.rfind("www-authenticate:", 0) != 0) continue;
    std::string value = lower.substr(17);
    value.erase(0, value.find_first_not_of(" \t"));
    if (value.rfind("digest", 0) == 0) mask |= CURLAUTH_DIGEST;
    if (value.rfind("basic", 0) == 0) mask |= CURLAUTH_BASIC;
  }
  // Digest wins when both are offered; with no challenge, let libcurl find out.
  if (mask & CURLAUTH_DIGEST) return CURLAUTH_DIGEST;
  return mask ? mask : (CURLAUTH_BASIC | CURLAUTH_DIGEST);
}

}  // namespace tk::inet::detail

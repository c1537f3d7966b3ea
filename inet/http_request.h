#pragma once
// One HTTP request on libcurl's multi interface, pull-style: the write callback buffers at most
// about 64 KiB and then pauses the transfer; Read hands out the buffer and un-pauses. So a body
// is never held whole, and a caller that stops reading stops the download. Used by http.cpp only.
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "inet/cache.h"
#include "inet/http_headers.h"
#include "inet/inet.h"
#include "inet/transfer.h"
#include "inet/url.h"

namespace tk::inet::detail {

constexpr std::size_t kMaxBuffered = 64 * 1024;

// Where the body handed to the caller comes from.
enum class Source {
  Network,  // the live response
  Cache,    // a complete cache entry, after a 304 or an If-Range answered with 206
  Resumed,  // the stored part of an incomplete entry, then the 206 remainder from the network
};

class HttpRequestImpl final : public HttpRequest {
 public:
  HttpRequestImpl(std::shared_ptr<Multi> multi, std::string host, int port, bool secure, std::string object,
                  std::uint32_t flags, std::optional<Credentials> urlCredentials)
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

  ~HttpRequestImpl() override { StopTransfer(true); }

  bool Open(Error& err) {
    const bool useCache = !(m_flags & kFlagReload);
    m_entry = useCache ? cache::Lookup(m_cacheKey) : nullptr;
    if (m_entry && m_entry->meta().etag.empty() && m_entry->meta().lastModified.empty())
      m_entry.reset();
    if (!Send(err)) return false;
    return Settle(err);
  }

  // Open for a request made in its turn while requests sent ahead hold other connections to the
  // same server. A server that serves one connection at a time leaves this one waiting behind
  // them, and one that limits its connections answers it 503 or 429: when the answer is that slow
  // or that kind, `dropAhead` closes the other connections and the request is waited for, or sent
  // again, alone.
  bool OpenBesideAhead(Error& err, std::chrono::milliseconds grace, const std::function<void()>& dropAhead) {
    const bool useCache = !(m_flags & kFlagReload);
    m_entry = useCache ? cache::Lookup(m_cacheKey) : nullptr;
    if (m_entry && m_entry->meta().etag.empty() && m_entry->meta().lastModified.empty())
      m_entry.reset();
    if (!Start(err)) return false;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    if (!m_multi->RunUntil(
            [this, deadline] {
              return m_headersDone || m_transfer.done || std::chrono::steady_clock::now() >= deadline;
            },
            err))
      return false;
    const bool slow = !m_headersDone && !m_transfer.done;
    if (slow) dropAhead();
    if (!AwaitHeaders(err)) return false;
    if (!slow && IsOverloadStatus(ParseStatus())) {
      dropAhead();
      // The server may take a moment to see the other connections closed: a few tries, each
      // after a longer pause, before its answer is taken as it is.
      for (int attempt = 1; attempt <= 3; ++attempt) {
        StopTransfer(false);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150 * attempt);
        if (!m_multi->RunUntil([until] { return std::chrono::steady_clock::now() >= until; }, err))
          return false;
        if (!Send(err)) return false;
        if (!IsOverloadStatus(ParseStatus())) break;
      }
    }
    return Settle(err);
  }

  static bool IsOverloadStatus(int status) { return status == 408 || status == 429 || status >= 500; }

  int StatusCode() const override { return m_source == Source::Network ? m_status : 200; }
  std::string ContentType() const override { return Header("Content-Type"); }
  std::string ContentLength() const override { return Header("Content-Length"); }
  std::string RawHeaders() const override {
    if (m_source != Source::Network) return m_entry->meta().headers;
    std::string out;
    for (const auto& line : m_lines) out += line + "\r\n";
    return out;
  }

  bool ResendWithCredentials(std::string_view user, std::string_view password,
                             Error& err) override {
    if (m_multi->Session()->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return false;
    }
    Credentials creds{std::string(user), std::string(password), AuthMaskFor(m_lines)};
    m_multi->Session()->RememberCredentials(m_host, m_port, creds);
    StopTransfer(true);
    m_source = Source::Network;
    if (!Send(err)) return false;
    return Settle(err);
  }

  long Read(char* buf, std::size_t max, Error& err) override {
    if (m_multi->Session()->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return -1;
    }
    if (max == 0) return 0;
    if (m_prefixLeft > 0) return m_entry->ReadPrefix(buf, max, m_prefixLeft, err);
    if (m_source == Source::Cache) return 0;
    for (;;) {
      if (std::size_t n = TakeBuffered(m_buffer, m_pos, buf, max)) return static_cast<long>(n);
      if (m_transfer.done) {
        if (m_transfer.result != CURLE_OK) {
          err = ErrorFromCurl(m_transfer.result, m_transfer.errorBuffer, IsChunked());
          FinishCache(false);
          return -1;
        }
        FinishCache(true);
        return 0;
      }
      if (m_paused) {
        m_paused = false;
        curl_easy_pause(m_transfer.easy, CURLPAUSE_CONT);
      }
      if (!m_multi->RunUntil([this] { return m_pos < m_buffer.size() || m_transfer.done; }, err))
        return -1;
    }
  }

  // Sends the request ahead of its OpenRequest: started, not waited for. A request that may be
  // answered from the cache goes as the conditional request the cache entry makes of it now.
  bool StartAhead(Error& err) {
    if (!(m_flags & kFlagReload)) {
      m_entry = cache::Lookup(m_cacheKey);
      if (m_entry && m_entry->meta().etag.empty() && m_entry->meta().lastModified.empty()) m_entry.reset();
    }
    if (!Start(err)) return false;
    m_multi->PerformOnce();
    return true;
  }

  // Whether a request sent ahead still carries what it would carry if it were sent now.
  bool SentAsNow() const { return m_sentCredentials == CurrentCredentials(); }

  // Whether an answer too long to be held ahead has waited, paused, so long that the server may
  // have given up on its connection; the caller would then see an error that a request sent in
  // its turn does not meet.
  bool PausedTooLong() const {
    constexpr auto kMaxPause = std::chrono::seconds(5);
    return m_paused && std::chrono::steady_clock::now() - m_pausedAt > kMaxPause;
  }

  // Whether the cache entry a request sent ahead was built from is still the one the cache holds:
  // an entry replaced or removed since would make its answer (a 304 above all) speak of a body
  // that is no longer the one served.
  bool AheadEntryCurrent() const {
    if (m_flags & kFlagReload) return true;
    auto now = cache::Lookup(m_cacheKey);
    if (now && now->meta().etag.empty() && now->meta().lastModified.empty()) now.reset();
    if (!now || !m_entry) return !now && !m_entry;
    const cache::Meta& a = m_entry->meta();
    const cache::Meta& b = now->meta();
    return a.complete == b.complete && a.length == b.length && a.etag == b.etag &&
           a.lastModified == b.lastModified && a.body == b.body;
  }

  // The whole answer of a request sent ahead, when it is in and is a page's: a 200 with all its
  // body held, or a 304 whose cached body stands in. The caller may look at the page before its
  // turn; the same bytes are served when it comes.
  bool PeekAnswer(std::string& contentType, std::string& body) {
    if (!m_transfer.done || m_transfer.result != CURLE_OK || !m_headersDone || m_paused || m_pos != 0) return false;
    const int status = ParseStatus();
    if (status == 200) {
      contentType = FindHeader(m_lines, "Content-Type");
      body = m_buffer;
      return true;
    }
    if (status != 304 || !m_entry || !m_entry->meta().complete || m_entry->meta().length > kMaxBuffered) return false;
    body.resize(m_entry->meta().length);
    std::size_t got = 0;
    while (got < body.size()) {
      ssize_t n = ::pread(m_entry->fd(), body.data() + got, body.size() - got, static_cast<off_t>(got));
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    contentType = FindHeader(SplitHeaderLines(m_entry->meta().headers), "Content-Type");
    return true;
  }

  // Takes up a request sent ahead: its status and headers, then the same decisions as Open.
  bool OpenAhead(Error& err) { return AwaitHeaders(err) && Settle(err); }

  // Whether a request sent ahead got an answer fit to take up, waiting at most `grace` for its
  // headers. A server that serves one connection at a time never answers the extra connection,
  // and one that limits connections answers it with 503 or 429: such answers are not the
  // server's answer to the request made in turn, so the caller sends that one afresh.
  bool AheadAnswerUsable(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    Error err;
    if (!m_multi->RunUntil(
            [this, deadline] {
              return m_headersDone || m_transfer.done || std::chrono::steady_clock::now() >= deadline;
            },
            err))
      return false;
    if (!m_headersDone) return false;
    return !IsOverloadStatus(ParseStatus());
  }

  const std::string& WireObjectText() const { return m_object; }
  bool Done() const { return m_transfer.done; }
  std::uint32_t Flags() const { return m_flags; }

 private:
  std::string Header(std::string_view name) const {
    // The live response's lines are searched in place; only a cached answer needs splitting.
    if (m_source == Source::Network) return FindHeader(m_lines, name);
    return FindHeader(SplitHeaderLines(m_entry->meta().headers), name);
  }

  bool IsChunked() const {
    std::string te = FindHeader(m_lines, "Transfer-Encoding");
    return AsciiLower(te).find("chunked") != std::string::npos;
  }

  std::optional<Credentials> CurrentCredentials() const {
    // Credentials written in the URL are the user's explicit choice for it; else what the
    // session learnt for this host and port.
    if (m_urlCredentials) return m_urlCredentials;
    return m_multi->Session()->FindCredentials(m_host, m_port);
  }

  bool Send(Error& err) { return Start(err) && AwaitHeaders(err); }

  std::string Scheme() const { return m_secure ? "https://" : "http://"; }

  // Starts the transfer for the current entry state and credentials.
  bool Start(Error& err) {
    if (m_multi->Session()->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return false;
    }
    m_lines.clear();
    m_status = 0;
    m_headersDone = false;
    m_buffer.clear();
    m_pos = 0;
    m_paused = false;
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

    std::optional<Credentials> creds = CurrentCredentials();
    m_sentCredentials = creds;
    m_credentialsSent = creds.has_value();
    curl_easy_setopt(easy, CURLOPT_USERNAME, creds ? creds->user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, creds ? creds->password.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, creds ? creds->authMask : CURLAUTH_BASIC);

    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    if (m_entry) {
      const cache::Meta& meta = m_entry->meta();
      if (meta.complete) {
        if (!meta.etag.empty())
          m_headerList = curl_slist_append(m_headerList, ("If-None-Match: " + meta.etag).c_str());
        if (!meta.lastModified.empty())
          m_headerList = curl_slist_append(m_headerList,
                                           ("If-Modified-Since: " + meta.lastModified).c_str());
      } else {
        std::string range = "Range: bytes=" + std::to_string(meta.length) + "-";
        std::string ifRange = "If-Range: " + (meta.etag.empty() ? meta.lastModified : meta.etag);
        m_headerList = curl_slist_append(m_headerList, range.c_str());
        m_headerList = curl_slist_append(m_headerList, ifRange.c_str());
      }
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headerList);

    m_multi->Add(m_transfer);
    return true;
  }

  // Waits for the status and headers of the started transfer.
  bool AwaitHeaders(Error& err) {
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
  bool Settle(Error& err) {
    m_status = ParseStatus();
    if (m_status == 401 && m_urlCredentials)
      m_urlCredentials.reset();  // refused: the caller asks its user, then resends
    else if (m_status >= 200 && m_status < 400 && m_urlCredentials)
      m_multi->Session()->RememberCredentials(m_host, m_port, *m_urlCredentials);

    if (m_entry && m_entry->meta().complete && m_status == 304) {
      m_source = Source::Cache;
      m_prefixLeft = m_entry->meta().length;
      StopTransfer(true);
      return true;
    }
    if (m_entry && !m_entry->meta().complete && m_status == 206 && RangeFits() && ValidatorMatches()) {
      m_source = Source::Resumed;
      m_prefixLeft = m_entry->meta().length;
      if (m_flags & kFlagCacheFile) {
        m_writer = cache::Writer::Create(m_entry->meta());
        if (m_writer && !m_writer->CopyFrom(*m_entry)) m_writer.reset();
      }
      TakeBufferedIntoCache();
      return true;
    }
    if (m_entry && (m_status == 206 || m_status == 416 || m_status == 304)) {
      // The entry no longer matches what the server has: ask again, plainly.
      cache::Remove(m_cacheKey);
      m_entry.reset();
      StopTransfer(true);
      if (!Send(err)) return false;
      return Settle(err);
    }
    m_entry.reset();
    m_source = Source::Network;
    m_prefixLeft = 0;
    if (m_status == 200 && (m_flags & kFlagCacheFile) && !NoStore()) {
      cache::Meta meta;
      meta.url = m_cacheKey;
      meta.etag = FindHeader(m_lines, "ETag");
      meta.lastModified = FindHeader(m_lines, "Last-Modified");
      meta.headers = RawHeaders();
      std::string length = FindHeader(m_lines, "Content-Length");
      meta.expected = length.empty() || IsChunked() ? -1 : ParseLength(length);
      // Written out on the cache's own thread when small, while the next request goes on.
      if (!meta.etag.empty() || !meta.lastModified.empty()) m_writer = cache::Writer::Create(meta, true);
      TakeBufferedIntoCache();
    }
    return true;
  }

  bool NoStore() const {
    return AsciiLower(FindHeader(m_lines, "Cache-Control")).find("no-store") !=
           std::string::npos;
  }

  // The 206 must continue exactly where the stored part ends.
  bool RangeFits() const {
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
  bool ValidatorMatches() const {
    const cache::Meta& meta = m_entry->meta();
    if (!meta.etag.empty()) {
      const std::string etag = FindHeader(m_lines, "ETag");
      return etag == meta.etag && !etag.starts_with("W/");
    }
    return !meta.lastModified.empty() && FindHeader(m_lines, "Last-Modified") == meta.lastModified;
  }

  // Body bytes that arrived with the headers, before the writer existed.
  void TakeBufferedIntoCache() {
    if (m_writer) m_writer->Append(m_buffer.data() + m_pos, m_buffer.size() - m_pos);
    if (m_writer && m_transfer.done) FinishCache(m_transfer.result == CURLE_OK);
  }

  void FinishCache(bool complete) {
    if (m_writer) m_writer->Finish(complete);
    m_writer.reset();
  }

  int ParseStatus() const {
    long code = 0;
    if (m_transfer.easy) curl_easy_getinfo(m_transfer.easy, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
  }

  // Ends the current transfer. `drain`: read a small remaining body to its end first so that
  // the connection can serve the next request.
  void StopTransfer(bool drain) {
    if (!m_transfer.easy) return;
    if (drain && !m_transfer.done && SmallRemainder()) {
      m_discard = true;
      m_buffer.clear();
      m_pos = 0;
      if (m_paused) {
        m_paused = false;
        curl_easy_pause(m_transfer.easy, CURLPAUSE_CONT);
      }
      Error ignored;
      m_drained = 0;
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      m_multi->RunUntil(
          [&] {
            return m_transfer.done || m_drained > kMaxBuffered ||
                   std::chrono::steady_clock::now() > deadline;
          },
          ignored);
    }
    if (m_writer) FinishCache(m_transfer.done && m_transfer.result == CURLE_OK);
    if (m_transfer.done && m_transfer.result == CURLE_OK) {
      curl_easy_setopt(m_transfer.easy, CURLOPT_HTTPHEADER, nullptr);  // freed just below
      m_multi->Park(m_transfer);
    }
    else
      m_multi->Remove(m_transfer);
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
  }

  // Whether finishing the body to keep the connection costs little: a known length with at most
  // kMaxBuffered bytes still to come.
  bool SmallRemainder() const {
    if (m_multi->Session()->Closed() || !m_headersDone) return false;
    std::int64_t length = ParseLength(FindHeader(m_lines, "Content-Length"));
    if (length < 0) return false;
    curl_off_t received = 0;
    curl_easy_getinfo(m_transfer.easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    return length - received <= static_cast<std::int64_t>(kMaxBuffered);
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
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

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<HttpRequestImpl*>(user);
    std::size_t n = size * count;
    self->m_headersDone = true;
    if (self->m_discard) {
      self->m_drained += n;
      return n;
    }
    if (self->m_buffer.size() - self->m_pos >= kMaxBuffered) {
      if (!self->m_paused) self->m_pausedAt = std::chrono::steady_clock::now();
      self->m_paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    self->m_buffer.append(data, n);
    if (self->m_writer) self->m_writer->Append(data, n);
    return n;
  }

  static unsigned long AuthMaskFor(const std::vector<std::string>& lines) {
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

  std::shared_ptr<Multi> m_multi;
  std::string m_host;
  int m_port;
  bool m_secure;
  std::string m_object;
  std::uint32_t m_flags;
  std::optional<Credentials> m_urlCredentials;
  std::string m_cacheKey;

  Transfer m_transfer;
  curl_slist* m_headerList = nullptr;
  std::vector<std::string> m_lines;  // the current response's status line and headers
  int m_status = 0;
  bool m_lowerCaseNames = false;  // the current response came over HTTP/2 or later
  bool m_headersDone = false;
  bool m_credentialsSent = false;
  std::optional<Credentials> m_sentCredentials;
  std::string m_buffer;              // received, not yet read; bounded by kMaxBuffered + a chunk
  std::size_t m_pos = 0;
  bool m_paused = false;
  std::chrono::steady_clock::time_point m_pausedAt;
  bool m_discard = false;
  std::size_t m_drained = 0;

  Source m_source = Source::Network;
  std::unique_ptr<cache::Entry> m_entry;
  std::uint64_t m_prefixLeft = 0;
  std::unique_ptr<cache::Writer> m_writer;
};

}  // namespace tk::inet::detail

#pragma once
// One HTTP request on libcurl's multi interface, its body read pull-style (pull_body.h). Used by
// http.cpp and the requests sent ahead (http_ahead.cpp) only.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inet/cache.h"
#include "inet/inet.h"
#include "inet/pull_body.h"
#include "inet/transfer.h"

namespace tk::inet::detail {

// Where the body handed to the caller comes from.
enum class Source {
  Network,  // the live response
  Cache,    // a complete cache entry, after a 304 or an If-Range answered with 206
  Resumed,  // the stored part of an incomplete entry, then the 206 remainder from the network
};

class HttpRequestImpl final : public HttpRequest {
 public:
  HttpRequestImpl(std::shared_ptr<Multi> multi, std::string host, int port, bool secure, std::string object,
                  std::uint32_t flags, std::optional<Credentials> urlCredentials);
  ~HttpRequestImpl() override;

  bool Open(Error& err);

  int StatusCode() const override;
  std::string ContentType() const override;
  std::string ContentLength() const override;
  std::string RawHeaders() const override;
  bool ResendWithCredentials(std::string_view user, std::string_view password, Error& err) override;
  long Read(char* buf, std::size_t max, Error& err) override;

  const std::string& WireObjectText() const { return m_object; }
  bool Done() const { return m_transfer.done; }
  // Its body is held back until read: the transfer keeps its connection meanwhile.
  bool Paused() const { return m_body.Paused(); }
  // A paused answer runs to its end, its bytes kept until read (PullBody::Spill).
  bool SpillBody() { return m_body.Spill(m_transfer.easy); }
  std::uint32_t Flags() const { return m_flags; }
  // How long the server took to answer, from the request's last byte sent to the answer's first
  // byte read, in microseconds; -1 when unknown. An answer that came while the caller was busy
  // elsewhere is read, and so counted, late.
  std::int64_t AnswerDelayUs() const;

  // Requests sent ahead of their turn (defined in http_ahead.cpp).

  // Open for a request made in its turn while requests sent ahead hold other connections to the
  // same server. A server that serves one connection at a time leaves this one waiting behind
  // them, and one that limits its connections answers it 503 or 429: when the answer is that slow
  // or that kind, `dropAhead` closes the other connections and the request is waited for, or sent
  // again, alone.
  // `grace` is not waited on when the server is known to serve several connections at once:
  // only an answer of that kind drops the others then.
  bool OpenBesideAhead(Error& err, std::optional<std::chrono::milliseconds> grace,
                       const std::function<void()>& dropAhead);
  // Sends the request ahead of its OpenRequest: started, not waited for. A request that may be
  // answered from the cache goes as the conditional request the cache entry makes of it now.
  // `fresh`: on a connection of its own, never one the requests in turn have used.
  bool StartAhead(Error& err, bool fresh);
  // Whether a request sent ahead still carries what it would carry if it were sent now.
  bool SentAsNow() const;
  // Whether an answer too long to be held ahead has waited, paused, so long that the server may
  // have given up on its connection; the caller would then see an error that a request sent in
  // its turn does not meet.
  bool PausedTooLong() const;
  // Whether the cache entry a request sent ahead was built from is still the one the cache holds:
  // an entry replaced or removed since would make its answer (a 304 above all) speak of a body
  // that is no longer the one served.
  bool AheadEntryCurrent() const;
  // The whole answer of a request sent ahead, when it is in and is a page's: a 200 with all its
  // body held, or a 304 whose cached body stands in. The caller may look at the page before its
  // turn; the same bytes are served when it comes.
  bool PeekAnswer(std::string& contentType, std::string& body);
  // Takes up a request sent ahead: its status and headers, then the same decisions as Open.
  bool OpenAhead(Error& err);
  // Whether a request sent ahead got an answer fit to take up, waiting at most `grace` for its
  // headers. A server that serves one connection at a time never answers the extra connection,
  // and one that limits connections answers it with 503 or 429: such answers are not the
  // server's answer to the request made in turn, so the caller sends that one afresh.
  // Without `grace`, the answer is waited for as long as the transfer lasts.
  bool AheadAnswerUsable(std::optional<std::chrono::milliseconds> grace);
  // The headers of a request sent ahead are in, and are not an answer that limits connections.
  bool AnsweredWell() const { return m_headersDone && !IsOverloadStatus(ParseStatus()); }

 private:
  static bool IsOverloadStatus(int status) { return status == 408 || status == 429 || status >= 500; }

  // The usable cache entry for this request, unless it reloads: one without validators is none.
  std::unique_ptr<cache::Entry> LookupEntry() const;
  std::string Header(std::string_view name) const;
  bool IsChunked() const;
  std::optional<Credentials> CurrentCredentials() const;
  bool Send(Error& err) { return Start(err) && AwaitHeaders(err); }
  std::string Scheme() const { return m_secure ? "https://" : "http://"; }
  std::string_view SchemeName() const { return m_secure ? "https" : "http"; }
  bool Start(Error& err);
  curl_slist* ConditionalHeaders() const;
  bool AwaitHeaders(Error& err);
  // Runs until the headers are in, the transfer ends, or `deadline` passes.
  bool AwaitHeadersUntil(std::chrono::steady_clock::time_point deadline, Error& err);
  bool Settle(Error& err);
  void StartCacheWriter();
  bool NoStore() const;
  bool RangeFits() const;
  bool ValidatorMatches() const;
  // The cache entry written from here on, given the bytes that arrived with the headers.
  void WriteCache(std::unique_ptr<cache::Writer> writer);
  int ParseStatus() const;
  void StopTransfer(bool drain);
  bool SmallRemainder() const;
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);
  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static unsigned long AuthMaskFor(const std::vector<std::string>& lines);

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
  // The jar's Changes() when the request was sent, and how many of the changes since were this
  // request's own answer's.
  std::uint64_t m_cookieChangesAtStart = 0;
  std::uint64_t m_ownCookieChanges = 0;
  PullBody m_body;
  bool m_discard = false;  // the rest of the body is read only to keep the connection
  bool m_freshConnection = false;  // sent ahead on a connection of its own
  std::size_t m_drained = 0;

  Source m_source = Source::Network;
  std::unique_ptr<cache::Entry> m_entry;
  std::uint64_t m_prefixLeft = 0;
};

}  // namespace tk::inet::detail

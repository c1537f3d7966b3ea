// Requests sent ahead of their turn: the pool of a connection's hints, and what a single request
// does differently when it is sent ahead or made beside requests sent ahead.
#include "inet/http_ahead.h"

#include <unistd.h>

#include <algorithm>

#include "inet/http_headers.h"
#include "inet/url.h"

namespace tk::inet::detail {

bool HttpRequestImpl::AwaitHeadersUntil(std::chrono::steady_clock::time_point deadline, Error& err) {
  return m_multi->RunUntil(
      [this, deadline] {
        return m_headersDone || m_transfer.done || std::chrono::steady_clock::now() >= deadline;
      },
      err);
}

bool HttpRequestImpl::OpenBesideAhead(Error& err, std::optional<std::chrono::milliseconds> grace,
                                      const std::function<void()>& dropAhead) {
  m_entry = LookupEntry();
  if (!Start(err)) return false;
  if (grace && !AwaitHeadersUntil(std::chrono::steady_clock::now() + *grace, err)) return false;
  const bool slow = grace && !m_headersDone && !m_transfer.done;
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

bool HttpRequestImpl::StartAhead(Error& err, bool fresh) {
  if (!(m_flags & kFlagReload)) m_entry = LookupEntry();
  m_freshConnection = fresh;
  if (!Start(err)) return false;
  m_multi->PerformOnce();
  return true;
}

bool HttpRequestImpl::SentAsNow() const {
  // A cookie set since the request went (by an answer before it in turn order, or by one sent
  // ahead beside it) might have gone with it: it is sent again rather than answered without it.
  const std::uint64_t cookieChanges = m_multi->Session()->Cookies().Changes();
  return m_sentCredentials == CurrentCredentials() && cookieChanges == m_cookieChangesAtStart + m_ownCookieChanges;
}

bool HttpRequestImpl::PausedTooLong() const {
  constexpr auto kMaxPause = std::chrono::seconds(5);
  return m_body.Paused() && std::chrono::steady_clock::now() - m_body.PausedAt() > kMaxPause;
}

bool HttpRequestImpl::AheadEntryCurrent() const {
  if (m_flags & kFlagReload) return true;
  auto now = LookupEntry();
  if (!now || !m_entry) return !now && !m_entry;
  const cache::Meta& a = m_entry->meta();
  const cache::Meta& b = now->meta();
  return a.complete == b.complete && a.length == b.length && a.etag == b.etag &&
         a.lastModified == b.lastModified && a.body == b.body;
}

bool HttpRequestImpl::PeekAnswer(std::string& contentType, std::string& body) {
  if (!m_transfer.done || m_transfer.result != CURLE_OK || !m_headersDone || m_body.Paused() ||
      !m_body.Untouched() || m_body.Spilled())
    return false;
  const int status = ParseStatus();
  if (status == 200) {
    contentType = FindHeader(m_lines, "Content-Type");
    body = m_body.Buffered();
    return true;
  }
  if (status != 304 || !m_entry || !m_entry->meta().complete || m_entry->meta().length > PullBody::kMaxBuffered)
    return false;
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

bool HttpRequestImpl::OpenAhead(Error& err) { return AwaitHeaders(err) && Settle(err); }

bool HttpRequestImpl::AheadAnswerUsable(std::optional<std::chrono::milliseconds> grace) {
  Error err;
  const auto deadline = grace ? std::chrono::steady_clock::now() + *grace : std::chrono::steady_clock::time_point::max();
  if (!AwaitHeadersUntil(deadline, err)) return false;
  if (!m_headersDone) return false;
  return !IsOverloadStatus(ParseStatus());
}

AheadPool::AheadPool(std::shared_ptr<Multi> multi, std::string host, int port, bool secure,
                     std::optional<Credentials> credentials)
    : m_multi(std::move(multi)),
      m_host(std::move(host)),
      m_port(port),
      m_secure(secure),
      m_credentials(std::move(credentials)) {
  const std::size_t allowed = m_multi->Session()->MaxAheadInFlight(kMaxAheadInFlight);
  if (allowed == 0) return;
  // Every request of the connection, in turn or ahead, is under the bound on connections to
  // one server: one beyond waits for a connection to free.
  m_multi->LimitHostConnections(static_cast<long>(allowed + 1));
  m_multi->SetOnDone([this] { StartRequests(); });
  m_multi->SetOnWait(allowed + 1, [this] { return FreeHeldConnection(); });
}

AheadPool::~AheadPool() {
  // A request let go may still drain its answer, and an ending noticed then must start nothing.
  m_off = true;
  m_multi->SetOnDone(nullptr);
  m_multi->SetOnWait(0, nullptr);
  m_ahead.clear();
}

// Until the server has answered a request sent ahead, one at a time, on a connection of its own
// beside the one the requests in turn have used: a server that serves a single connection at a
// time then serves that one and leaves a single request unanswered. Then every connection
// allowed, the requests in turn among them.
bool AheadPool::HasRoom() const {
  const std::size_t allowed = m_multi->Session()->MaxAheadInFlight(kMaxAheadInFlight);
  if (allowed == 0) return false;
  std::size_t inFlight = 0;
  std::size_t paused = 0;
  for (const auto& ahead : m_ahead)
    if (ahead.started && !ahead.request->Done()) {
      ++inFlight;
      if (ahead.request->Paused()) ++paused;
    }
  // Once the server is known to serve them, the requests sent ahead may use every connection
  // the requests in turn leave free: a crawl whose turns all find their answers sent ahead
  // would otherwise leave one connection idle, a fifth of what a far server could give. A
  // long answer sent ahead is paused once its first bytes are in and keeps its connection until
  // its turn comes, which in a depth-first crawl may be after many others, so such answers never
  // take the last one; and should answers still coming in all turn out long, the request in turn
  // that finds no connection frees one (FreeHeldConnection).
  if (m_proven) return m_multi->Running() < allowed + 1 && paused < allowed;
  return m_turnAnswered && inFlight == 0;
}

bool AheadPool::FreeHeldConnection() {
  if (m_off || !m_proven) return false;
  const std::size_t allowed = m_multi->Session()->MaxAheadInFlight(kMaxAheadInFlight);
  auto first = m_ahead.end();
  auto last = m_ahead.end();
  std::size_t paused = 0;
  for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it)
    if (it->started && !it->request->Done() && it->request->Paused()) {
      ++paused;
      if (first == m_ahead.end() || it->order > first->order) first = it;
      if (last == m_ahead.end() || it->order < last->order) last = it;
    }
  if (paused < allowed + 1) return false;
  // The answer needed soonest runs on to its end, its bytes kept aside for its turn: the server
  // still sees each request once. Only with nowhere to keep them is the one needed last given up,
  // to be sent again in its turn.
  if (!first->request->SpillBody()) m_ahead.erase(last);
  return true;
}

void AheadPool::Prefetch(std::string_view object, std::uint32_t flags) {
  if (m_off || m_multi->Session()->Closed() || m_multi->Session()->MaxAheadInFlight(kMaxAheadInFlight) == 0) return;
  std::string wire = WireObject(object);
  const std::size_t hash = HashOf(wire);
  Ahead* found = nullptr;
  if (auto it = FindAhead(wire, hash, flags); it != m_ahead.end()) found = &*it;
  std::size_t unsent = static_cast<std::size_t>(
      std::count_if(m_ahead.begin(), m_ahead.end(), [](const Ahead& ahead) { return !ahead.started; }));
  if (unsent >= kMaxAhead && !found) {
    DropOldestUnsent();
    --unsent;
  }
  if (found) {
    found->order = ++m_order;  // asked for again: needed sooner than the older hints
  } else if (unsent < kMaxAhead && m_ahead.size() < kMaxHeld) {
    m_ahead.push_back({std::make_unique<HttpRequestImpl>(m_multi, m_host, m_port, m_secure, std::string(object),
                                                         flags, m_credentials),
                       ++m_order, false, hash});
  }
  // Sent when the connection next works (OpenRequest, PeekAhead, an answer coming in): hints
  // given together are then ranked among themselves before the first of them takes a free
  // connection.
}

// Full: a hint not yet sent gives way to a newer one, needed sooner; one sent stays.
void AheadPool::DropOldestUnsent() {
  auto oldest = m_ahead.end();
  for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it)
    if (!it->started && (oldest == m_ahead.end() || it->order < oldest->order)) oldest = it;
  if (oldest != m_ahead.end()) m_ahead.erase(oldest);
}

bool AheadPool::Peek(std::string_view object, std::uint32_t flags, std::string& contentType, std::string& body) {
  if (m_ahead.empty() || m_off) return false;
  StartRequests();
  const std::string wire = WireObject(object);
  const std::size_t hash = HashOf(wire);
  auto it = FindAhead(wire, hash, flags);
  if (it == m_ahead.end() || !it->started) return false;
  // Only an answer still coming in needs the sockets read: a pass over every transfer for each
  // peek at a hint not yet sent, or at an answer already in, was a fifth of a crawl's CPU.
  if (!it->request->Done()) {
    m_multi->PerformOnce();
    it = FindAhead(wire, hash, flags);  // an answer that ended may have let another hint start in its place
    if (it == m_ahead.end()) return false;
  }
  return it->request->PeekAnswer(contentType, body);
}

std::vector<AheadPool::Ahead>::iterator AheadPool::FindAhead(std::string_view wire, std::size_t hash, std::uint32_t flags) {
  return std::find_if(m_ahead.begin(), m_ahead.end(), [&](const Ahead& ahead) {
    return ahead.hash == hash && ahead.request->Flags() == flags && ahead.request->WireObjectText() == wire;
  });
}

void AheadPool::TurnOff() {
  m_off = true;
  // Those not answered lose their connections with them.
  m_ahead.clear();
}

void AheadPool::NoteAnswers() {
  if (m_proven) return;
  for (const auto& ahead : m_ahead)
    if (ahead.started && ahead.request->AnsweredWell()) m_proven = true;
}

void AheadPool::StartRequests() {
  if (m_starting || m_off) return;
  m_starting = true;
  NoteAnswers();
  while (HasRoom()) {
    auto next = m_ahead.end();
    for (auto it = m_ahead.begin(); it != m_ahead.end(); ++it)
      if (!it->started && (next == m_ahead.end() || it->order > next->order)) next = it;
    if (next == m_ahead.end()) break;
    Error ignored;  // one that cannot start is simply sent when it is opened
    next->started = true;
    m_sent = true;
    if (!next->request->StartAhead(ignored, !m_proven)) m_ahead.erase(next);
  }
  m_starting = false;
}

// A hint not yet sent is dropped, and so is a request sent with credentials that have changed
// since, one built from a cache entry that has changed since, or a long answer paused for long:
// all are sent afresh.
std::unique_ptr<HttpRequestImpl> AheadPool::Take(std::string_view object, std::uint32_t flags) {
  if (m_ahead.empty()) return nullptr;
  std::string wire = WireObject(object);
  if (auto it = FindAhead(wire, HashOf(wire), flags); it != m_ahead.end()) {
    Ahead ahead = std::move(*it);
    m_ahead.erase(it);
    if (!ahead.started || !ahead.request->SentAsNow() || ahead.request->PausedTooLong() ||
        !ahead.request->AheadEntryCurrent())
      return nullptr;
    if (!ahead.request->AheadAnswerUsable(m_proven ? std::nullopt : std::optional(kGrace))) {
      TurnOff();
      return nullptr;
    }
    m_proven = true;
    return std::move(ahead.request);
  }
  return nullptr;
}

}  // namespace tk::inet::detail

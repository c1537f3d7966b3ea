#pragma once
// Requests sent ahead of their turn: a connection's hints (Prefetch) become requests on extra
// connections to the same server, and a request opened in its turn takes up the answer already
// on its way. A server that does not take the extra connections well turns the pool off for
// good, and every request of the connection goes in its turn again.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inet/http_request.h"

namespace tk::inet::detail {

class AheadPool {
 public:
  // How long a request sent ahead may still take to answer once its turn has come; past it the
  // server is taken to be one that serves a single connection at a time.
  static constexpr std::chrono::milliseconds kGrace{500};

  // `multi`: the pool of the requests made in turn, which moves this pool on while it waits.
  AheadPool(std::shared_ptr<Multi> multi, std::string host, int port, bool secure,
            std::optional<Credentials> credentials);

  void Prefetch(std::string_view object, std::uint32_t flags);
  bool Peek(std::string_view object, std::uint32_t flags, std::string& contentType, std::string& body);
  // Sends the hinted requests that have room, the most recently hinted first.
  void StartRequests();
  // The request sent ahead for exactly this object and these flags, if it is still good to use.
  std::unique_ptr<HttpRequestImpl> Take(std::string_view object, std::uint32_t flags);
  // Requests sent ahead, or the idle connections they leave in their pool, may hold the server.
  bool InFlight() const { return m_aheadMulti != nullptr; }
  // The server does not take the extra connections well: from here on every request of this
  // connection goes in its turn, as if nothing had been sent ahead.
  void TurnOff();

 private:
  // Hints kept, and requests sent ahead at once. A request sent ahead holds its own connection
  // until its answer is in (or, for a long body, until it is read), so the second bound is the
  // number of extra connections to the server; an answer that is in holds only its bytes.
  static constexpr std::size_t kMaxAhead = 32;
  static constexpr std::size_t kMaxAheadInFlight = 4;
  // The bound the session's pacing leaves: the connection of the requests made in turn counts
  // against the connections allowed to one server.
  std::size_t MaxInFlight() const { return m_multi->Session()->MaxAheadInFlight(kMaxAheadInFlight); }

  struct Ahead {
    std::unique_ptr<HttpRequestImpl> request;
    std::uint64_t order;  // higher: hinted more recently, so needed sooner in a depth-first crawl
    bool started;
  };

  void DropOldestUnsent();

  std::shared_ptr<Multi> m_multi;
  std::string m_host;
  int m_port;
  bool m_secure;
  std::optional<Credentials> m_credentials;
  // Requests sent ahead have a pool of their own, so that the connections they keep alive can be
  // closed at once, all of them, without touching the connection of the requests made in turn.
  std::shared_ptr<Multi> m_aheadMulti;
  std::vector<Ahead> m_ahead;  // hinted, not yet opened
  bool m_off = false;          // the server answered a request sent ahead badly or not at all
  std::uint64_t m_order = 0;
};

}  // namespace tk::inet::detail

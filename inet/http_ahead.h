#pragma once
// Requests sent ahead of their turn: a connection's hints (Prefetch) become requests on further
// connections to the same server, and a request opened in its turn takes up the answer already
// on its way. A server that does not take the extra connections well turns the pool off for
// good, and every request of the connection goes in its turn again.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inet/http_request.h"

namespace tk::inet::detail {

class AheadPool {
 public:
  // How long a request sent ahead may still take to answer once its turn has come, before the
  // server has answered any: past it the server is taken to be one that serves a single
  // connection at a time. Once a request sent ahead has been answered, the server plainly serves
  // several at once, and a slow answer is only slow: it is waited for, never sent again, so the
  // server sees the same requests however long its answers take.
  static constexpr std::chrono::milliseconds kGrace{500};

  // `multi`: the connection's, which the requests sent ahead share with those made in turn.
  AheadPool(std::shared_ptr<Multi> multi, std::string host, int port, bool secure,
            std::optional<Credentials> credentials);
  ~AheadPool();
  AheadPool(const AheadPool&) = delete;
  AheadPool& operator=(const AheadPool&) = delete;

  void Prefetch(std::string_view object, std::uint32_t flags);
  bool Peek(std::string_view object, std::uint32_t flags, std::string& contentType, std::string& body);
  // Sends the hinted requests that have room, the most recently hinted first. Also called
  // whenever a transfer of the connection ends, so that its connection goes on at once.
  void StartRequests();
  // The request sent ahead for exactly this object and these flags, if it is still good to use.
  std::unique_ptr<HttpRequestImpl> Take(std::string_view object, std::uint32_t flags);
  // Requests sent ahead, or the connections they opened, may hold the server.
  bool InFlight() const { return m_sent && !m_off; }
  // A request made in turn has been answered: its connection is open, and a request sent ahead
  // on another one shows whether the server serves both at once.
  void NoteTurnAnswered() { m_turnAnswered = true; }
  // A request sent ahead has been answered: the server serves several connections at once.
  bool Proven() const { return m_proven; }
  // The server does not take the extra connections well: from here on every request of this
  // connection goes in its turn, as if nothing had been sent ahead.
  void TurnOff();

 private:
  // Hints kept unsent, and requests sent and not yet taken up. A request sent ahead holds a
  // connection until its answer is in (or, for a long body, until it is read); an answer that is
  // in holds only its bytes (at most a read buffer's) and its handle. Answers wait long in a
  // depth-first crawl: the next sibling of each page on the way down is sent early and taken up
  // only once the whole subtree before it is done, so a deep site holds a few per layer; were
  // there no room for them, the next turns could not go ahead until they were.
  static constexpr std::size_t kMaxAhead = 32;
  static constexpr std::size_t kMaxHeld = 96;
  // One fewer than the connections the pool opens to its server at most (the session's bound on
  // connections to one server may leave fewer): the most answers sent ahead that may wait paused
  // at once, since the requests in turn always keep one connection they can get.
  static constexpr std::size_t kMaxAheadInFlight = 4;

  bool HasRoom() const;
  void NoteAnswers();
  // Every connection allowed is held by an answer sent ahead and paused, and another transfer
  // waits for one: one of them is let run to its end (see PullBody::Spill), which frees its
  // connection. True when something was done.
  bool FreeHeldConnection();

  struct Ahead {
    std::unique_ptr<HttpRequestImpl> request;
    std::uint64_t order;  // higher: hinted more recently, so needed sooner in a depth-first crawl
    bool started;
    // Of its wire object: the pool is searched for every link a walk meets, and a site's paths
    // are mostly of one length, so comparing texts alone read each one nearly whole.
    std::size_t hash;
  };

  void DropOldestUnsent();
  // The request hinted for `wire` (an object as WireObject spells it, whose HashOf is `hash`)
  // with `flags`, or end().
  std::vector<Ahead>::iterator FindAhead(std::string_view wire, std::size_t hash, std::uint32_t flags);
  static std::size_t HashOf(std::string_view wire) { return std::hash<std::string_view>{}(wire); }

  std::shared_ptr<Multi> m_multi;
  std::string m_host;
  int m_port;
  bool m_secure;
  std::optional<Credentials> m_credentials;
  std::vector<Ahead> m_ahead;  // hinted, not yet opened
  bool m_off = false;          // the server answered a request sent ahead badly or not at all
  bool m_proven = false;
  bool m_sent = false;         // a request has been sent ahead
  bool m_turnAnswered = false;
  bool m_starting = false;     // StartRequests under way: an ending noticed meanwhile waits for it
  std::uint64_t m_order = 0;
};

}  // namespace tk::inet::detail

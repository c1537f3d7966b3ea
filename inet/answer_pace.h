#pragma once
// Whether sending requests ahead of their turn pays on one server. Looking ahead costs the crawl
// work on every page (a walk over the links to come, a dry scan of each page answered early, the
// extra connections); it pays where the server's answers take longer than that work. A server
// that answers within a fraction of a millisecond (one on this machine, or beside it) is
// faster asked in turn: waiting for each answer then costs less than looking ahead for it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tk::inet {

class AnswerPace {
 public:
  // Below this median delay, the answers come sooner than looking ahead for them costs...
  static constexpr std::int64_t kQuickUs = 150;
  // ...and above this one, looking ahead pays again: between the two the choice stays as it was,
  // so that a server near the line does not make the crawl switch at every window.
  static constexpr std::int64_t kSlowUs = 300;
  // Answers judged at a time, by their median: one answer held up by a long page, or by the
  // server's own hiccup, decides nothing.
  static constexpr std::size_t kWindow = 32;

  // One answer's delay, from the request sent to its answer's first byte, in microseconds; a
  // negative one (unknown) is left out.
  void Note(std::int64_t delayUs);
  // Whether requests are to be sent ahead now. True until the answers have shown otherwise.
  bool AheadPays() const { return m_aheadPays; }

 private:
  std::array<std::int64_t, kWindow> m_delays{};
  std::size_t m_count = 0;
  bool m_aheadPays = true;
};

}  // namespace tk::inet

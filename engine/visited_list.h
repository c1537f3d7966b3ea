#pragma once
// The run's lists that grow with the site, one entry per URL or per file: kept compact, as a run
// of a million URLs holds a million of each. Text lives in append-only blocks rather than in a
// heap block of its own per string, and lookups go through open-addressed tables of 32-bit
// indexes rather than a node per entry.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tk {

// Append-only text: what is put stays where it is for the store's life. Copies of the owner
// share the blocks, so views taken before a copy stay good in it.
class TextStore {
 public:
  std::string_view Put(std::string_view text);
  // What keeps the text alive: a holder of it keeps views into it good.
  std::shared_ptr<const void> Owner() const { return m_blocks; }

 private:
  struct Blocks {
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t used = 0;  // in the last block
    std::size_t size = 0;  // of the last block
  };
  std::shared_ptr<Blocks> m_blocks = std::make_shared<Blocks>();
};

// An open-addressed table of 32-bit entry numbers; the owner hashes and compares the entries.
// Beside each slot sits the top half of its entry's hash, so that a probe compares whole keys only
// when those agree: most probes then stay inside the table instead of reaching for key text.
class IndexTable {
 public:
  // The slot where `hash`'s entry is, or where it goes: `same(n)` tells whether entry n is the
  // one looked for.
  template <typename Same>
  std::uint32_t* Find(std::size_t hash, Same same) {
    if (m_slots.empty()) return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      std::uint32_t& slot = m_slots[i];
      if (slot == 0) {
        m_tags[i] = tag;  // the entry the caller may put here
        return &slot;
      }
      if (m_tags[i] == tag && same(slot - 1)) return &slot;
    }
  }
  // Makes room for one more entry; `hashOf(n)` is entry n's hash. True when the slots moved.
  template <typename HashOf>
  bool Reserve(std::size_t entries, HashOf hashOf) {
    if ((entries + 1) * 2 <= m_slots.size()) return false;
    const std::size_t size = m_slots.empty() ? 64 : m_slots.size() * 2;
    std::vector<std::uint32_t> old = std::exchange(m_slots, std::vector<std::uint32_t>(size));
    m_tags.assign(size, 0);
    const std::size_t mask = m_slots.size() - 1;
    for (std::uint32_t slot : old) {
      if (slot == 0) continue;
      const std::size_t hash = hashOf(slot - 1);
      std::size_t i = hash & mask;
      while (m_slots[i] != 0) i = (i + 1) & mask;
      m_slots[i] = slot;
      m_tags[i] = TagOf(hash);
    }
    return true;
  }

 private:
  static std::uint32_t TagOf(std::size_t hash) { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32); }

  std::vector<std::uint32_t> m_slots;  // entry number + 1; 0 for an empty slot
  std::vector<std::uint32_t> m_tags;   // the top half of each filled slot's hash
};

// A set of names compared without ASCII case: the names given out to the run's files.
class NameSet {
 public:
  // The name as kept, and whether it was new.
  std::pair<std::string_view, bool> insert(std::string_view name);
  bool contains(std::string_view name) const;
  // The name as kept, when it is spelled so (not only the same without case); else empty.
  std::string_view Find(std::string_view name) const;
  std::shared_ptr<const void> TextOwner() const { return m_text.Owner(); }
  std::size_t size() const { return m_names.size(); }

 private:
  TextStore m_text;
  std::vector<std::string_view> m_names;
  mutable IndexTable m_index;
};

}  // namespace tk

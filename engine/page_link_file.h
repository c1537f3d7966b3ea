#pragma once
// The page links a scanned page keeps for a rescan from a higher layer. A run of 100,000 pages
// keeps millions of them, and reads a page's list back only when the walk meets the page again
// higher up: they wait in an unnamed temporary file, which the system removes however the run
// ends, rather than in memory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scratch_file.h"

namespace tk {

// A page's links in page order (see PageLinkTo), and the text some of them point into.
struct PageLinkList {
  std::vector<std::uint32_t> links;
  std::string text;
  bool empty() const { return links.empty() && text.empty(); }
};

class PageLinkFile {
 public:
  // Where a list was put.
  struct Place {
    std::uint64_t at = 0;
    std::uint32_t count = 0;
    std::uint32_t textBytes = 0;
  };

  // See ScratchFile::Open.
  void Open(const std::filesystem::path& folder) { m_file.Open(folder); }
  void clear() { m_file.clear(); }

  Place Put(const PageLinkList& list);
  // False when the list could not be read back; `list` is then empty.
  bool Get(const Place& place, PageLinkList& list) const;
  // Writes a list that was read by Get and has since only shrunk (its links settled, its text
  // given back) over the one at `place`.
  bool Rewrite(Place& place, const PageLinkList& list);

 private:
  ScratchFile m_file;
};

}  // namespace tk

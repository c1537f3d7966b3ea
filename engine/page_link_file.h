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

  PageLinkFile() = default;
  PageLinkFile(const PageLinkFile&) = delete;
  PageLinkFile& operator=(const PageLinkFile&) = delete;
  ~PageLinkFile();

  // An unnamed file in `folder`, else in the system's temporary folder, else (neither can take
  // one) memory.
  void Open(const std::filesystem::path& folder);
  void clear();

  Place Put(const PageLinkList& list);
  // False when the list could not be read back; `list` is then empty.
  bool Get(const Place& place, PageLinkList& list) const;
  // Writes a list that was read by Get and has since only shrunk (its links settled, its text
  // given back) over the one at `place`.
  bool Rewrite(Place& place, const PageLinkList& list);

 private:
  bool Read(std::uint64_t at, char* out, std::size_t size) const;
  bool Write(std::uint64_t at, std::string_view data);

  int m_fd = -1;
  std::uint64_t m_fileBytes = 0;  // in the file; what follows is in m_buffer
  bool m_failed = false;          // a write failed: the rest stays in memory
  std::string m_buffer;
};

}  // namespace tk

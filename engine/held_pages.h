#pragma once
// Pages written whole whose links to files saved later are mended before they are put in place.
// What the mending needs grows with the site (thousands of pages, each with the links it waits
// for), and is read only once, at the end of the run: it waits in an unnamed temporary file,
// which the system removes however the run ends, rather than in memory.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/scratch_file.h"

namespace tk {

class HeldPages {
 public:
  // No record: the link names a URL the run had not met, by its visited-list key.
  static constexpr std::uint32_t kNoRecord = 0xffffffff;
  struct Link {
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t record = kNoRecord;
    std::string key;
  };
  struct Page {
    std::uint32_t record = 0;   // its number in the visited list
    std::string relPath;        // its place under the save folder
    std::string temp;           // the temporary file it waits in, in the same folder
    std::optional<std::int64_t> modified;  // the server's date for it
    std::vector<Link> links;    // sorted by offset
  };

  HeldPages() = default;
  HeldPages(const HeldPages&) = delete;
  HeldPages& operator=(const HeldPages&) = delete;
  ~HeldPages();

  // Where the list goes: an unnamed file in `folder`, else in the system's temporary folder,
  // else (neither can take one) memory.
  void Open(const std::filesystem::path& folder);
  // `again`: the record was held before; the later page replaces the earlier one.
  void Hold(const Page& page, bool again);
  std::size_t size() const { return m_count; }
  // Each page held, in the order they were held, the latest of each record only. False when
  // the list could not be read back whole.
  bool ForEach(const std::function<void(const Page&)>& visit) const;
  // Forgets them all and gives back the file.
  void clear();

 private:
  ScratchFile m_file;
  std::string m_entry;  // the page being held, as written to m_file
  std::size_t m_count = 0;
  // Records held more than once (none in a usual run): the ordinal of each one's latest page.
  std::unordered_map<std::uint32_t, std::size_t> m_latest;
};

}  // namespace tk

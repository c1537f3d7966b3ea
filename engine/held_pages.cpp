#include "engine/held_pages.h"

#include <algorithm>
#include <cstring>

namespace tk {
namespace {

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

// Reads the list back in order, a window at a time.
class Reader {
 public:
  explicit Reader(const ScratchFile& file) : m_file(file) {}

  bool Take(void* out, std::size_t size) {
    while (m_window.size() - m_at < size) {
      if (!More()) return false;
    }
    std::memcpy(out, m_window.data() + m_at, size);
    m_at += size;
    return true;
  }
  template <typename T>
  bool Get(T& value) {
    return Take(&value, sizeof value);
  }
  bool GetText(std::string& text) {
    std::uint32_t size = 0;
    if (!Get(size)) return false;
    text.resize(size);
    return size == 0 || Take(text.data(), size);
  }

 private:
  bool More() {
    m_window.erase(0, m_at);
    m_at = 0;
    if (m_read >= m_file.size()) return false;
    char buf[64 * 1024];
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buf, m_file.size() - m_read));
    if (!m_file.Read(m_read, buf, want)) return false;
    m_window.append(buf, want);
    m_read += want;
    return true;
  }

  const ScratchFile& m_file;
  std::uint64_t m_read = 0;
  std::string m_window;
  std::size_t m_at = 0;
};

}  // namespace

HeldPages::~HeldPages() { clear(); }

void HeldPages::Open(const std::filesystem::path& folder) {
  clear();
  m_file.Open(folder);
}

void HeldPages::Hold(const Page& page, bool again) {
  if (again) m_latest[page.record] = m_count;
  ++m_count;
  m_entry.clear();
  Put(m_entry, page.record);
  Put(m_entry, static_cast<std::uint8_t>(page.modified.has_value()));
  Put(m_entry, page.modified.value_or(0));
  PutText(m_entry, page.relPath);
  PutText(m_entry, page.temp);
  Put(m_entry, static_cast<std::uint32_t>(page.links.size()));
  for (const Link& link : page.links) {
    Put(m_entry, link.offset);
    Put(m_entry, link.length);
    Put(m_entry, link.record);
    if (link.record == kNoRecord) PutText(m_entry, link.key);
  }
  m_file.Append(m_entry);
}

bool HeldPages::ForEach(const std::function<void(const Page&)>& visit) const {
  Reader in(m_file);
  Page page;
  for (std::size_t ordinal = 0; ordinal < m_count; ++ordinal) {
    std::uint8_t dated = 0;
    std::int64_t modified = 0;
    std::uint32_t count = 0;
    if (!in.Get(page.record) || !in.Get(dated) || !in.Get(modified) || !in.GetText(page.relPath) ||
        !in.GetText(page.temp) || !in.Get(count))
      return false;
    page.modified = dated ? std::optional<std::int64_t>(modified) : std::nullopt;
    page.links.resize(count);
    for (Link& link : page.links) {
      if (!in.Get(link.offset) || !in.Get(link.length) || !in.Get(link.record)) return false;
      link.key.clear();
      if (link.record == kNoRecord && !in.GetText(link.key)) return false;
    }
    auto latest = m_latest.find(page.record);
    if (latest == m_latest.end() || latest->second == ordinal) visit(page);
  }
  return true;
}

void HeldPages::clear() {
  m_file.clear();
  m_entry = {};
  m_count = 0;
  m_latest.clear();
}

}  // namespace tk

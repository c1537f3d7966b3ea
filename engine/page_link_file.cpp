#include "engine/page_link_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "base/fd_io.h"

namespace tk {
namespace {
// Lists are gathered to this size and written in one call: most pages keep a hundred bytes.
constexpr std::size_t kFlushAt = 64 * 1024;
}  // namespace

PageLinkFile::~PageLinkFile() { clear(); }

void PageLinkFile::Open(const std::filesystem::path& folder) {
  clear();
  m_fd = OpenScratchFile(folder);
}

void PageLinkFile::clear() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_fileBytes = 0;
  m_failed = false;
  m_buffer.clear();
  m_buffer.shrink_to_fit();
}

PageLinkFile::Place PageLinkFile::Put(const PageLinkList& list) {
  Place place{m_fileBytes + m_buffer.size(), static_cast<std::uint32_t>(list.links.size()),
              static_cast<std::uint32_t>(list.text.size())};
  m_buffer.append(reinterpret_cast<const char*>(list.links.data()), list.links.size() * sizeof(std::uint32_t));
  m_buffer.append(list.text);
  if (m_buffer.size() >= kFlushAt && m_fd >= 0 && !m_failed) {
    if (PwriteAll(m_fd, m_buffer, static_cast<off_t>(m_fileBytes))) {
      m_fileBytes += m_buffer.size();
      m_buffer.clear();
    } else {
      // A full disk: what was written stays there, the rest is kept here from now on.
      m_failed = true;
    }
  }
  return place;
}

bool PageLinkFile::Get(const Place& place, PageLinkList& list) const {
  list.links.resize(place.count);
  list.text.resize(place.textBytes);
  const std::size_t linkBytes = std::size_t{place.count} * sizeof(std::uint32_t);
  if (Read(place.at, reinterpret_cast<char*>(list.links.data()), linkBytes) &&
      Read(place.at + linkBytes, list.text.data(), place.textBytes))
    return true;
  list.links.clear();
  list.text.clear();
  return false;
}

bool PageLinkFile::Rewrite(Place& place, const PageLinkList& list) {
  if (list.links.size() * 4 + list.text.size() > std::size_t{place.count} * 4 + place.textBytes) return false;
  std::string data(reinterpret_cast<const char*>(list.links.data()), list.links.size() * sizeof(std::uint32_t));
  data += list.text;
  if (!Write(place.at, data)) return false;
  place.count = static_cast<std::uint32_t>(list.links.size());
  place.textBytes = static_cast<std::uint32_t>(list.text.size());
  return true;
}

// A span lies in the file, in the buffer, or across the two when a write failed part way.
bool PageLinkFile::Read(std::uint64_t at, char* out, std::size_t size) const {
  if (at + size > m_fileBytes + m_buffer.size()) return false;
  while (size > 0 && at < m_fileBytes) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_fileBytes - at));
    const ssize_t n = PreadRetrying(m_fd, out, part, static_cast<off_t>(at));
    if (n <= 0) return false;
    out += n;
    at += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  if (size > 0) std::memcpy(out, m_buffer.data() + (at - m_fileBytes), size);
  return true;
}

bool PageLinkFile::Write(std::uint64_t at, std::string_view data) {
  if (at < m_fileBytes) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(data.size(), m_fileBytes - at));
    if (!PwriteAll(m_fd, data.substr(0, part), static_cast<off_t>(at))) return false;
    data.remove_prefix(part);
    at += part;
  }
  if (!data.empty()) std::memcpy(m_buffer.data() + (at - m_fileBytes), data.data(), data.size());
  return true;
}

}  // namespace tk

// Links of the copy that the crawl's order left behind: pages reached again on a higher layer,
// and links written as absolute URLs before their targets were saved.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "engine/crawler.h"
#include "links/css_links.h"
#include "links/relative_path.h"

namespace tk {
namespace {

bool ReadWhole(int fd, std::string& out) {
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

bool WriteWhole(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

void NotePendingLink(UrlRecord& record, std::uint64_t offset, std::size_t length, const std::string& url) {
  auto parsed = inet::ParseUrl(url);
  if (!parsed) return;
  record.PendingLinks.push_back(PendingLink{offset, static_cast<std::uint32_t>(length), VisitKey(*parsed)});
}

std::string Crawler::SavedPath(const std::string& url) const {
  auto parsed = inet::ParseUrl(url);
  if (!parsed) return {};
  auto it = m_state.VisitedUrls.find(VisitKey(*parsed));
  return it == m_state.VisitedUrls.end() ? std::string() : it->second.LocalPath;
}

void Crawler::Rescan(UrlRecord& record, int depth) {
  record.ScannedDepth = depth;
  // A copy: the walk below may reach pages that keep links of their own in the same table.
  const std::string links = record.PageLinks;
  AheadScope ahead(*this, RescanLinksToSendAhead(links, depth));
  for (std::size_t at = 0; at < links.size() && !Cancelled();) {
    std::size_t end = links.find('\0', at);
    if (end == std::string::npos) break;
    const char how = links[at];
    const std::string url = links.substr(at + 1, end - at - 1);
    at = end + 1;
    if (how == 'h' && depth >= m_settings.LinkLayers) continue;
    ahead.Next();
    FetchUrl(url, FETCH_PARSE_HTML, depth + 1);
  }
}

void Crawler::MendSavedPages() {
  for (auto& [key, record] : m_state.VisitedUrls) {
    if (record.PendingLinks.empty()) continue;
    std::vector<FileEdit> edits;
    for (const PendingLink& link : record.PendingLinks) {
      auto target = m_state.VisitedUrls.find(link.key);
      if (target == m_state.VisitedUrls.end() || target->second.LocalPath.empty()) continue;
      // Fit for a style sheet's bare url() as well as for any HTML attribute.
      edits.push_back(FileEdit{link.offset, link.length,
                               CssSafePath(MakeRelativeLocalPath(record.LocalPath, target->second.LocalPath))});
    }
    record.PendingLinks.clear();
    record.PendingLinks.shrink_to_fit();
    // A page whose links all lead off the copy is not touched.
    if (!edits.empty() && !record.LocalPath.empty()) EditSavedFile(m_saveFolder / record.LocalPath, edits);
  }
}

bool EditSavedFile(const std::filesystem::path& path, const std::vector<FileEdit>& edits) {
  // Never through a symlink: what it points at need not be part of the copy.
  int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  std::string old;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ReadWhole(fd, old)) {
    ::close(fd);
    return false;
  }
  std::string out;
  out.reserve(old.size() + edits.size() * 16);
  std::uint64_t from = 0;
  for (const FileEdit& edit : edits) {
    if (edit.offset < from || edit.offset + edit.length > old.size()) {
      ::close(fd);
      return false;
    }
    out.append(old, from, edit.offset - from);
    out += edit.text;
    from = edit.offset + edit.length;
  }
  out.append(old, from);
  if (out.size() <= old.size()) {
    // A local path is nearly always shorter than the URL it replaces: the file is rewritten in
    // place from the first change on, which needs no new blocks and no new inode, and a copy of
    // thousands of pages is mended without churning the folder.
    const std::uint64_t first = edits.empty() ? out.size() : edits.front().offset;
    std::string_view tail = std::string_view(out).substr(first);
    bool ok = true;
    for (auto at = static_cast<off_t>(first); ok && !tail.empty();) {
      const ssize_t n = ::pwrite(fd, tail.data(), tail.size(), at);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) {
        tail.remove_prefix(static_cast<std::size_t>(n));
        at += n;
      }
    }
    ok = ok && ::ftruncate(fd, static_cast<off_t>(out.size())) == 0;
    return ::close(fd) == 0 && ok;
  }
  ::close(fd);
  // Longer: the new text goes to a file of its own first, so a full disk leaves the old copy whole.
  std::string temp = path.string() + ".XXXXXX";
  int tfd = ::mkstemp(temp.data());
  if (tfd < 0) return false;
  const bool ok = ::fchmod(tfd, st.st_mode & 07777) == 0 && WriteWhole(tfd, out);
  if (::close(tfd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace tk

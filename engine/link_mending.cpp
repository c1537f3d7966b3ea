// Links of the copy that the crawl's order left behind: pages reached again on a higher layer,
// and links written as absolute URLs before their targets were saved.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/fd_io.h"
#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "links/css_links.h"
#include "links/relative_path.h"

namespace tk {
namespace {

bool EditInFolder(int dirFd, const std::string& name, const std::vector<FileEdit>& edits) {
  int fd = ::openat(dirFd, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  std::string old;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ReadToEnd(fd, old) != ReadEnd::Done) {
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
    bool ok = PwriteAll(fd, std::string_view(out).substr(first), static_cast<off_t>(first));
    ok = ok && ::ftruncate(fd, static_cast<off_t>(out.size())) == 0;
    return ::close(fd) == 0 && ok;
  }
  ::close(fd);
  // Longer: the new text goes to a file of its own first, so a full disk leaves the old one whole.
  std::string temp;
  int tfd = -1;
  for (int i = 0; i < 16 && tfd < 0; ++i) {
    temp = TempFileName();
    tfd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (tfd < 0 && errno != EEXIST) break;
  }
  if (tfd < 0) return false;
  const bool ok = ::fchmod(tfd, st.st_mode & 07777) == 0 && WriteAll(tfd, out);
  if (::close(tfd) != 0 || !ok || ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
    ::unlinkat(dirFd, temp.c_str(), 0);
    return false;
  }
  return true;
}

}  // namespace

void Crawler::NotePendingLink(UrlRecord& record, std::uint64_t offset, std::size_t length, const std::string& url) {
  auto parsed = inet::ParseUrl(url);
  if (!parsed) return;
  PendingLink& link = record.PendingLinks.emplace_back();
  link.offset = offset;
  link.length = static_cast<std::uint32_t>(length);
  std::string key = VisitKey(*parsed);
  auto target = m_state.VisitedUrls.find(key);
  if (target != m_state.VisitedUrls.end()) {
    link.target = &target->second;
  } else {
    link.keyAt = static_cast<std::uint32_t>(record.PendingKeys.size());
    record.PendingKeys.append(key) += '\0';
  }
}

namespace {

// The "scheme://host:port" a URL starts with, or "" when it has no path after it.
std::string_view OriginOf(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  const std::size_t slash = url.find('/', scheme + 3);
  return slash == std::string_view::npos ? std::string_view() : url.substr(0, slash);
}

// A page link kept as text: its URL, and whether it is a hyperlink (followed only within the
// layers). False for a text that NotePageLinkText did not write.
bool TextLinkAt(const UrlRecord& page, std::uintptr_t link, std::string& url, bool& hyperlink) {
  const std::size_t at = PageLinkTextAt(link);
  const std::size_t end = page.PageLinkText.find('\0', at);
  if (end == std::string::npos) return false;
  const char how = page.PageLinkText[at];
  url.assign(how == 'F' || how == 'H' ? OriginOf(page.Url) : std::string_view());
  url.append(page.PageLinkText, at + 1, end - at - 1);
  hyperlink = how == 'h' || how == 'H';
  return true;
}

}  // namespace

std::vector<AheadLink> Crawler::RescanLinksToSendAhead(const UrlRecord& record, std::size_t count,
                                                                int depth) {
  std::vector<AheadLink> links;
  if (!m_settings.SameSiteOnly || !m_state.HttpConnection) return links;
  // The same walk over the kept links as the rescan's own, one entry per link it asks for.
  for (std::size_t i = 0; i < count; ++i) {
    if (PageLinkTarget(record.PageLinks[i])) {
      links.emplace_back();  // visited already: never sent ahead
      continue;
    }
    std::string url;
    bool hyperlink = false;
    if (!TextLinkAt(record, record.PageLinks[i], url, hyperlink)) break;
    if (hyperlink && depth >= m_linkLayers) continue;
    links.push_back(ResolveAhead(url, true, depth + 1));
  }
  SendAhead::DropRepeats(links);
  return links;
}

void NotePageLinkText(UrlRecord& page, char how, std::string_view url) {
  page.PageLinks.push_back(PageLinkToText(page.PageLinkText.size()));
  // Most links of a page name its own server: its origin is not kept once per link.
  const std::string_view origin = OriginOf(page.Url);
  if (!origin.empty() && url.substr(0, origin.size()) == origin) {
    how = how == 'f' ? 'F' : 'H';
    url.remove_prefix(origin.size());
  }
  (page.PageLinkText += how).append(url) += '\0';
}

std::string Crawler::SavedPath(const std::string& url) const {
  auto parsed = inet::ParseUrl(url);
  if (!parsed) return {};
  auto it = m_state.VisitedUrls.find(VisitKey(*parsed));
  return it == m_state.VisitedUrls.end() ? std::string() : it->second.LocalPath;
}

void Crawler::Rescan(UrlRecord& record, int depth) {
  record.ScannedDepth = depth;
  // The links noted so far, by index: the walk may reach this page again (rescanning it from a
  // still higher layer), but only the page's own scan adds to them, and that waits below us.
  const std::size_t count = record.PageLinks.size();
  const int flags = FETCH_PARSE_HTML | (record.Folder ? FETCH_LISTED : 0);
  SendAhead::Scope ahead(m_ahead, RescanLinksToSendAhead(record, count, depth));
  for (std::size_t i = 0; i < count && !Cancelled(); ++i) {
    if (UrlRecord* target = PageLinkTarget(record.PageLinks[i])) {
      ahead.Next();
      // What FetchUrl would do with the URL its record was first asked for, short of parsing it.
      if (!AnswersAgain(*target, flags, depth + 1)) FetchUrl(std::string(target->Url), flags, depth + 1);
      continue;
    }
    std::string url;
    bool hyperlink = false;
    if (!TextLinkAt(record, record.PageLinks[i], url, hyperlink)) break;
    if (hyperlink && depth >= m_linkLayers) continue;
    ahead.Next();
    UrlRecord* met = nullptr;
    FetchLink(url, flags, depth + 1, nullptr, &met);
    // Followed once, a hyperlink is followed on every later rescan, each from a higher layer.
    SettlePageLink(record, i, met);
  }
}

void SettlePageLink(UrlRecord& page, std::size_t index, UrlRecord* target) {
  // A dropped target may be fetched afresh, by the URL as this page spells it.
  if (!target || target->Dropped || index >= page.PageLinks.size()) return;
  std::uintptr_t& link = page.PageLinks[index];
  if (PageLinkTarget(link)) return;
  const std::size_t at = PageLinkTextAt(link);
  link = PageLinkTo(target);
  // The text noted last is given back; one further in stays, unused, as the later ones are
  // found by their offsets.
  std::string& text = page.PageLinkText;
  if (at < text.size() && text.find('\0', at) == text.size() - 1) text.resize(at);
}

std::vector<FileEdit> Crawler::PendingEdits(const UrlRecord& record) const {
  std::vector<FileEdit> edits;
  for (const PendingLink& link : record.PendingLinks) {
    const UrlRecord* target = link.target;
    if (!target) {
      const std::size_t end = record.PendingKeys.find('\0', link.keyAt);
      auto found = m_state.VisitedUrls.find(record.PendingKeys.substr(link.keyAt, end - link.keyAt));
      if (found != m_state.VisitedUrls.end()) target = &found->second;
    }
    if (!target || target->LocalPath.empty()) continue;
    // Fit for a style sheet's bare url() as well as for any HTML attribute.
    edits.push_back(FileEdit{link.offset, link.length,
                             CssSafePath(MakeRelativeLocalPath(record.LocalPath, target->LocalPath))});
  }
  return edits;
}

void Crawler::MendSavedPages() {
  for (auto& [record, held] : m_heldPages) {
    const std::vector<FileEdit> edits = PendingEdits(*record);
    record->PendingLinks.clear();
    record->PendingLinks.shrink_to_fit();
    record->PendingKeys.clear();
    record->PendingKeys.shrink_to_fit();
    // The page waits beside its place under its temporary name. A mending that fails leaves it as
    // it was written, whole, with those links leading to the server.
    std::string_view dir, name;
    SplitLast(held.relPath, dir, name);
    if (!edits.empty()) EditSavedFile(m_saveFolder, dir.empty() ? held.temp : std::string(dir) + "/" + held.temp, edits);
    const Placement placed = PlaceHeld(m_saveFolder, held);
    CountPlacement(placed);
    if (placed == Placement::Failed) {
      record->LocalPath.clear();
      ++m_state.Errors;
      ++m_state.NgLines;
      WriteLog(LogLine(record->Url, logtext::FailedSaving(held.relPath)));
    }
  }
  m_heldPages.clear();
}

bool EditSavedFile(const std::filesystem::path& saveFolder, std::string_view relPath,
                   const std::vector<FileEdit>& edits) {
  std::string_view dirPart, namePart;
  SplitLast(relPath, dirPart, namePart);
  const std::string name(namePart);
  // Never through a symlink, at the file's place or among its folders: what it points at need
  // not be part of the copy.
  int dirFd = OpenFolderBeneath(saveFolder, dirPart, false);
  if (dirFd < 0) return false;
  const bool ok = EditInFolder(dirFd, name, edits);
  ::close(dirFd);
  return ok;
}

}  // namespace tk

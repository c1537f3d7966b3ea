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
  PageExtras& more = record.More();
  PendingLink& link = more.PendingLinks.emplace_back();
  link.offset = offset;
  link.length = static_cast<std::uint32_t>(length);
  std::string key = VisitKey(*parsed);
  if (const UrlRecord* target = m_state.VisitedUrls.Find(key)) {
    link.target = target;
  } else {
    link.keyAt = static_cast<std::uint32_t>(more.PendingKeys.size());
    more.PendingKeys.append(key) += '\0';
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

}  // namespace

// A page link that is not its target's record: its URL, and whether it is a hyperlink (followed
// only within the layers). False for a text that NotePageLinkText did not write.
bool Crawler::TextLinkAt(const UrlRecord& page, const PageLinkList& list, std::uint32_t link, std::string& url,
                         bool& hyperlink) {
  if (!(link & kLinkText)) {
    url = m_state.VisitedUrls.At(link & kLinkNumber).Url();
    hyperlink = true;
    return true;
  }
  const std::string& text = list.text;
  const std::size_t at = PageLinkTextAt(link);
  const std::size_t end = text.find('\0', at);
  if (end == std::string::npos) return false;
  const char how = text[at];
  url.clear();
  if (how == 'F' || how == 'H') url = OriginOf(page.Url());
  url.append(text, at + 1, end - at - 1);
  hyperlink = how == 'h' || how == 'H';
  return true;
}

std::vector<AheadLink> Crawler::RescanLinksToSendAhead(const UrlRecord& record, const PageLinkList& list, int depth) {
  std::vector<AheadLink> links;
  if (!m_settings.SameSiteOnly || !m_state.HttpConnection) return links;
  // The same walk over the kept links as the rescan's own, one entry per link it asks for.
  for (const std::uint32_t link : list.links) {
    if (IsRecordLink(link)) {
      // Visited already: never sent ahead, but rescanned in turn when met from a higher layer.
      AheadLink& visited = links.emplace_back();
      visited.record = link;
      visited.recordKey = m_state.VisitedUrls.At(link).Key;
      visited.visited = true;
      visited.page = true;
      visited.depth = depth + 1;
      continue;
    }
    std::string url;
    bool hyperlink = false;
    if (!TextLinkAt(record, list, link, url, hyperlink)) break;
    if (hyperlink && depth >= m_linkLayers) continue;
    links.push_back(ResolveAhead(url, true, depth + 1));
  }
  SendAhead::DropRepeats(links);
  return links;
}

void NotePageLinkText(UrlRecord& page, char how, std::string_view url) {
  PageLinkList& list = page.More().Links;
  std::string& text = list.text;
  list.links.push_back(PageLinkToText(text.size()));
  // Most links of a page name its own server: its origin is not kept once per link.
  const std::string pageUrl = page.Url();
  const std::string_view origin = OriginOf(pageUrl);
  if (!origin.empty() && url.substr(0, origin.size()) == origin) {
    how = how == 'f' ? 'F' : 'H';
    url.remove_prefix(origin.size());
  }
  (text += how).append(url) += '\0';
}

std::string Crawler::SavedPath(const std::string& url, UrlRecord* from) {
  auto parsed = inet::ParseUrl(url);
  const UrlRecord* found = parsed ? m_state.VisitedUrls.Find(VisitKey(*parsed)) : nullptr;
  if (from) {
    // Spelled as a record met already spells it, the link needs no text of its own.
    if (found && found->UrlIs(url)) {
      from->LiveLinks().push_back(found->Index | kLinkSpelled);
    } else {
      NotePageLinkText(*from, 'h', url);
    }
  }
  return found ? std::string(found->LocalPath) : std::string();
}

void Crawler::Rescan(UrlRecord& record, int depth) {
  record.ScannedDepth = depth;
  // The links as the page's scan left them: the walk below may reach other pages again, but
  // never this one (only from a still higher layer, once this rescan is over).
  PageLinkList list;
  if (!m_pageLinks.Get(record.KeptLinks, list)) return;
  const int flags = FETCH_PARSE_HTML | (record.Folder ? FETCH_LISTED : 0);
  std::vector<AheadLink> aheadLinks;
  if (!m_ahead.TakeRescanLinks(record.Key, depth, aheadLinks)) aheadLinks = RescanLinksToSendAhead(record, list, depth);
  SendAhead::Scope ahead(m_ahead, std::move(aheadLinks));
  bool settled = false;
  for (std::size_t i = 0; i < list.links.size() && !Cancelled(); ++i) {
    if (IsRecordLink(list.links[i])) {
      UrlRecord& target = m_state.VisitedUrls.At(list.links[i]);
      ahead.Next();
      // What FetchUrl would do with the URL its record was first asked for, short of parsing it.
      if (!AnswersAgain(target, flags, depth + 1)) FetchUrl(target.Url(), flags, depth + 1);
      continue;
    }
    std::string url;
    bool hyperlink = false;
    if (!TextLinkAt(record, list, list.links[i], url, hyperlink)) break;
    if (hyperlink && depth >= m_linkLayers) continue;
    ahead.Next();
    UrlRecord* met = nullptr;
    FetchLink(url, flags, depth + 1, nullptr, &met);
    // Followed once, a hyperlink is followed on every later rescan, each from a higher layer.
    settled = SettlePageLink(list, i, met) || settled;
  }
  if (!settled) return;
  DropSettledText(list);
  // Should the list not go back, the rescans after this one follow the texts again.
  m_pageLinks.Rewrite(record.KeptLinks, list);
}

void DropSettledText(PageLinkList& list) {
  if (list.text.empty()) return;
  // The texts of links settled since are no longer read: only those still in use are kept.
  std::string& text = list.text;
  std::string kept;
  for (std::uint32_t& link : list.links) {
    if (!(link & kLinkText)) continue;
    const std::size_t at = PageLinkTextAt(link);
    const std::size_t end = text.find('\0', at);
    if (end == std::string::npos) return;  // not a text NotePageLinkText wrote: left as it is
    link = PageLinkToText(kept.size());
    kept.append(text, at, end - at + 1);
  }
  text = std::move(kept);
}

bool SettlePageLink(PageLinkList& list, std::size_t index, UrlRecord* target) {
  // A dropped target may be fetched afresh, by the URL as this page spells it.
  if (!target || target->Dropped || index >= list.links.size()) return false;
  std::uint32_t& link = list.links[index];
  if (IsRecordLink(link)) return false;
  const bool hadText = (link & kLinkText) != 0;
  const std::size_t at = PageLinkTextAt(link);
  link = PageLinkTo(*target);
  // The text noted last is given back; one further in stays, unused, as the later ones are
  // found by their offsets.
  std::string& text = list.text;
  if (hadText && at < text.size() && text.find('\0', at) == text.size() - 1) text.resize(at);
  return true;
}

void Crawler::HoldPage(UrlRecord& record, const HeldFile& held) {
  HeldPages::Page page;
  page.record = record.Index;
  page.relPath = held.relPath;
  page.temp = held.temp;
  page.modified = held.modified;
  if (record.Extras) {
    const std::string& keys = record.Extras->PendingKeys;
    for (const PendingLink& pending : record.Extras->PendingLinks) {
      HeldPages::Link& link = page.links.emplace_back();
      link.offset = pending.offset;
      link.length = pending.length;
      const UrlRecord* target = pending.target;
      const std::size_t end = target ? 0 : keys.find('\0', pending.keyAt);
      const std::string_view key = target ? std::string_view() : std::string_view(keys).substr(pending.keyAt, end - pending.keyAt);
      // A URL the page's own scan has met since is named by its record; records stay.
      if (!target) target = m_state.VisitedUrls.Find(key);
      if (target) {
        link.record = target->Index;
      } else {
        link.key = key;
      }
    }
  }
  m_heldPages.Hold(page, record.Held);
  record.Held = true;
  record.ForgetPendingLinks();
  record.Compact(m_pageLinks);
}

std::vector<FileEdit> Crawler::PendingEdits(const UrlRecord& record, const std::vector<HeldPages::Link>& links) {
  std::vector<FileEdit> edits;
  for (const HeldPages::Link& link : links) {
    const UrlRecord* target = link.record != HeldPages::kNoRecord ? &m_state.VisitedUrls.At(link.record)
                                                                   : m_state.VisitedUrls.Find(link.key);
    if (!target || target->LocalPath.empty()) continue;
    // Fit for a style sheet's bare url() as well as for any HTML attribute.
    edits.push_back(FileEdit{link.offset, link.length,
                             CssSafePath(MakeRelativeLocalPath(record.LocalPath, target->LocalPath))});
  }
  return edits;
}

void Crawler::MendSavedPages() {
  m_heldPages.ForEach([this](const HeldPages::Page& page) {
    UrlRecord* const record = &m_state.VisitedUrls.At(page.record);
    record->Held = false;
    const HeldFile held{page.relPath, page.temp, page.modified};
    const std::vector<FileEdit> edits = PendingEdits(*record, page.links);
    // The page waits beside its place under its temporary name. A mending that fails leaves it as
    // it was written, whole, with those links leading to the server.
    std::string_view dir, name;
    SplitLast(held.relPath, dir, name);
    if (!edits.empty()) EditSavedFile(m_saveFolder, dir.empty() ? held.temp : std::string(dir) + "/" + held.temp, edits);
    const Placement placed = PlaceHeld(m_saveFolder, held);
    CountPlacement(placed);
    if (placed == Placement::Failed) {
      record->LocalPath = {};
      ++m_state.Errors;
      ++m_state.NgLines;
      WriteLog(LogLine(record->Url(), logtext::FailedSaving(held.relPath)));
    }
  });
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

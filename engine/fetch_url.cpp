// The way every URL goes: the visited list, the site and type rules, the overwrite question,
// and the lines that end a file.
#include <algorithm>

#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "inet/url.h"
#include "settings/file_types.h"
#include "settings/url_password.h"

namespace tk {

std::string Crawler::RuleContext(int flags) const {
  // The site and type rules depend only on these, so a URL dropped under one context is
  // dropped again under it, and gets another chance under any other.
  if (flags & FETCH_START_PAGE) return "*";
  // An FTP file is held to the rules only as a folder's entry.
  std::string context = (flags & FETCH_LISTED) ? "+" : "";
  if (!m_settings.SameSiteOnly) return context;
  for (const std::string& host : m_state.StartHosts) context += AsciiLower(host) + " ";
  return context;
}

std::string Crawler::FetchUrl(const std::string& url, int flags, int depth) {
  return FetchLink(url, flags, depth, nullptr, nullptr);
}

std::string Crawler::FetchLink(const std::string& url, int flags, int depth, UrlRecord* from, UrlRecord** met) {
  // A cancelled run creates and empties no further file, whatever its pages still link to.
  if (Cancelled()) return {};
  auto parsed = inet::ParseUrl(url);
  // Links reach us with "." and ".." segments and default ports as the page wrote them; keyed
  // by its canonical form, one file is fetched once however its links spell it.
  auto [found, inserted] = m_state.VisitedUrls.Add(parsed ? VisitKey(*parsed) : url);
  UrlRecord& record = *found;
  // The record's URL is what the log, the display and the password question show: a password
  // written in the URL goes to the server only, never there.
  if (inserted) m_state.VisitedUrls.SetUrl(record, parsed && !parsed->password.empty() ? WithoutPassword(url) : url);
  if (met) *met = &record;
  if (from) {
    // Spelled as its record spells it, the link is the record; otherwise its own text.
    if (record.UrlIs(url)) {
      from->LiveLinks().push_back(PageLinkTo(record));
    } else {
      NotePageLinkText(*from, 'f', url);
    }
  }
  if (NestedTooDeep() && WouldFetch(record, inserted, flags, depth)) return Defer(record, url, flags, depth);
  if (!inserted) {
    if (AnswersAgain(record, flags, depth)) return std::string(record.LocalPath);
    record.Dropped = false;
  }
  if (parsed && (flags & FETCH_START_PAGE)) m_state.StartHosts = {parsed->host};
  if (parsed && IsHttpService(parsed->service))
    return FetchHttp({parsed->host, parsed->object, parsed->port, parsed->service == inet::Service::Https,
                      parsed->user, parsed->password},
                     flags, depth, record);
  if (parsed && parsed->service == inet::Service::Ftp) return FetchFtp(*parsed, flags, depth, record);
  // The log box only: the run log records what was attempted, and this never was.
  ++m_state.NgLines;
  m_host.AppendLog(LogLine(record.Url(), logtext::kServiceNotSupported));
  return {};
}

bool Crawler::AnswersAgain(UrlRecord& record, int flags, int depth) {
  if (record.Dropped && m_state.VisitedUrls.ContextText(record.DroppedContext) != RuleContext(flags)) return false;
  if (WantsRescan(record, flags, depth)) Rescan(record, depth);
  return true;
}

bool Crawler::WantsRescan(const UrlRecord& record, int flags, int depth) const {
  if (!(flags & FETCH_PARSE_HTML) || record.ScannedDepth <= depth) return false;
  // With no layer limit no scan has left a hyperlink behind, so a rescan from a higher layer
  // would find nothing new; on a densely linked site the depth-first walk meets each page again
  // from many layers, and those rescans cost minutes of CPU. An FTP folder met too deep to be
  // listed is still listed from a higher layer.
  return m_linkLayers != INT_MAX || record.Folder;
}

std::string VisitKey(const inet::Url& url) {
  std::string port = std::to_string(url.port);
  std::string key;
  key.reserve(url.scheme.size() + url.host.size() + port.size() + url.object.size() + 4);
  key.append(url.scheme).append("://").append(url.host).append(":").append(port).append(url.object);
  return key;
}

std::string Crawler::Drop(UrlRecord& record, int flags) {
  record.Dropped = true;
  record.DroppedContext = m_state.VisitedUrls.Context(RuleContext(flags));
  return {};
}

bool Crawler::IsSiteAllowed(std::string_view host, int flags) const {
  if (!m_settings.SameSiteOnly || (flags & FETCH_START_PAGE)) return true;
  return std::any_of(m_state.StartHosts.begin(), m_state.StartHosts.end(),
                     [host](const std::string& start) { return EqualsNoCase(host, start); });
}

bool Crawler::IsTypeAllowed(std::string_view path, int flags) const {
  if ((flags & FETCH_START_PAGE) || m_settings.ExcludeType.empty()) return true;
  std::size_t dot = path.rfind('.');
  return IsTypeIncluded(dot == std::string_view::npos ? path : path.substr(dot), m_settings.ExcludeType);
}

bool Crawler::IsUrlAllowed(std::string_view object, int flags) const {
  return (flags & FETCH_START_PAGE) || m_urlFilters.Allows(object);
}

bool Crawler::AskOverwrite(const std::string& localPath) {
  int& confirm = m_settings.ConfirmOverwrite;
  if (confirm == 0) return true;
  switch (LookBeneath(m_saveFolder, localPath)) {
    case LocalEntry::Missing:
      return true;
    case LocalEntry::Planted:
      // Not a file of the copy: its creation fails and is logged, whatever the answer would be.
      return true;
    case LocalEntry::Present:
      break;
  }
  if (confirm < 0) return false;
  switch (m_host.AskOverwrite(localPath)) {
    case OverwriteAnswer::Overwrite:
      return true;
    case OverwriteAnswer::OverwriteAll:
      confirm = 0;
      return true;
    case OverwriteAnswer::SkipAll:
      confirm = -1;
      return false;
    case OverwriteAnswer::Skip:
      break;
  }
  return false;
}

std::string LogLine(std::string_view url, std::string_view outcome) {
  // A URL, a redirect's Location or an FTP name may hold bytes that would drive the terminal
  // showing the log or forge lines in it: they are written percent-encoded. A password given
  // in the URL is never written.
  std::string line = inet::EncodeControls(WithoutPassword(url));
  line += '(';
  line += inet::EncodeControls(outcome);
  line += ")\r\n";
  return line;
}

std::string Crawler::FinishFailure(const std::string& line, bool countError, std::string result) {
  // Every line that counts an error is an NG line; the others are SKIPPED lines. Either way the
  // file counts under "[Files dowloaded]": that column of the log counts every file that ended
  // with an OK, SKIPPED or NG line, saved or not (3 saved, 1 failed and 2 skipped show 6), and
  // the log's readers expect it so.
  if (countError) {
    ++m_state.Errors;
    ++m_state.NgLines;
  }
  ++m_state.FilesDownloaded;
  WriteLog(line);
  m_host.ShowCounts(m_state);
  return result;
}

std::string Crawler::FinishInternetError(const std::string& url, const inet::Error& err, std::string result) {
  return FinishFailure(LogLine(url, logtext::InternetError(err.message, err.number)), true,
                       std::move(result));
}

}  // namespace tk

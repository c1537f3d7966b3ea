// The run driver: run log, settings block, start pages, summary.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "engine/crawler.h"
#include "engine/local_file.h"
#include "inet/url.h"
#include "settings/file_types.h"

namespace tk {
namespace {

constexpr std::string_view kLogName = "Trawlkit.txt";

std::string FormatTime(const std::tm& t) {
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &t);
  return buf;
}

}  // namespace

Crawler::Crawler(ProjectSettings& settings, RunHost& host, InetBackend& backend, RunClock& clock,
                 std::string agent)
    : m_settings(settings), m_host(host), m_backend(backend), m_clock(clock), m_agent(std::move(agent)) {}

Crawler::~Crawler() {
  CloseNetwork();
  if (m_state.LogFile) std::fclose(m_state.LogFile);
}

void Crawler::WriteLog(std::string_view text) {
  m_host.AppendLog(text);
  if (m_state.LogFile) {
    std::fwrite(text.data(), 1, text.size(), m_state.LogFile);
    // Flushed line by line: the log of a run that is killed still holds every line so far.
    std::fflush(m_state.LogFile);
  }
}

void Crawler::OpenRunLog() {
  std::string& saveDir = m_settings.SaveDir;
  saveDir = WithTrailingSlash(saveDir);
  if (m_settings.ProjectPath.find('/') == std::string::npos)
    m_settings.ProjectPath.insert(0, saveDir);
  m_saveFolder = saveDir.empty() ? std::filesystem::path(".") : std::filesystem::path(saveDir);
  // Appending keeps the earlier runs' text in front of this one.
  // Never through a symlink planted at its place, and never a FIFO that would wait for a reader.
  int fd = OpenBeneath(m_saveFolder, kLogName, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    ::close(fd);
    fd = -1;
  }
  m_state.LogFile = fd >= 0 ? ::fdopen(fd, "ab") : nullptr;
  if (fd >= 0 && !m_state.LogFile) ::close(fd);
  // The log's own name is given out first, so no downloaded file can overwrite it.
  m_state.UsedNames.insert(std::string(kLogName));
}

std::string SettingsBlock(const ProjectSettings& s, const std::tm& start) {
  std::string text = FormatTime(start) + ":Start downloading\r\n";
  text += "Excluding file types:" + s.ExcludeType + "\r\n";
  text += "Saving to directory:" + s.SaveDir + "\r\n";
  text += "Links to browse:";
  text += s.LinkLayers == 0 ? std::string("Start pages only")
                            : "Start pages & " + std::to_string(s.LinkLayers) + "layers";
  text += "\r\nDownload pages at:";
  text += s.SameSiteOnly ? "The same site as the start page" : "All stes";
  text += "\r\nFiles saved:";
  text += s.SaveFlat ? "All in same directory" : "In same directory structure as server";
  text += "\r\nUsing cashe:";
  text += s.UseCache ? "Yes" : "No";
  text += "\r\nConfirm before overwrite:";
  text += s.ConfirmOverwrite ? "Yes" : "No";
  text += "\r\n";
  return text;
}

std::string WithTrailingSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

void Crawler::WriteSummary() {
  char buf[256];
  std::string text = "Summary:\r\n";
  std::snprintf(buf, sizeof buf, "\t%20s%20s%20s%20s\r\n", "[Files dowloaded]", "[Errors]", "[Files skipped]",
                "[Bytes dowloaded]");
  text += buf;
  std::snprintf(buf, sizeof buf, "\t%20" PRId64 "%20" PRId64 "%20" PRId64 "%20" PRId64 "\r\n",
                m_state.FilesDownloaded, m_state.Errors, m_state.FilesSkipped, m_state.BytesDownloaded);
  text += buf;
  text += "\r\n" + FormatTime(m_clock.LocalTime()) + ":End downloading\r\n";
  WriteLog(text);
}

void Crawler::CloseNetwork() {
  m_state.HttpConnection.reset();
  m_state.FtpConnection.reset();
  std::lock_guard lock(m_sessionMutex);
  m_session.reset();
}

void Crawler::Interrupt() {
  std::lock_guard lock(m_sessionMutex);
  if (m_session) m_session->Close();
}

void Crawler::RunDownload() {
  m_state = RunState{};
  OpenRunLog();
  m_host.ClearLog();
  WriteLog(SettingsBlock(m_settings, m_clock.LocalTime()));
  m_state.ReloadFlag = m_settings.UseCache ? 0 : inet::kFlagReload;

  inet::Error err;
  auto session = m_backend.OpenSession(m_agent, err);
  if (!session) {
    WriteLog("Failed in createing internet session:" + err.message + "\r\n");
  } else {
    {
      std::lock_guard lock(m_sessionMutex);
      m_session = std::move(session);
    }
    for (std::size_t i = 0; !Cancelled() && i < m_host.StartUrlCount(); ++i)
      NoteStartPage(FetchUrl(m_host.StartUrl(i), FETCH_START_PAGE | FETCH_PARSE_HTML, 0));
    m_host.EndTransfers();
    CloseNetwork();
    // Also after a cancel: what was saved browses as well as it can.
    MendSavedPages();
  }
  WriteSummary();
  if (m_state.LogFile) std::fclose(m_state.LogFile);
  m_state.LogFile = nullptr;

  auto connection = m_backend.QueryConnectionState();
  if (connection && *connection == inet::kConnectionModem && m_host.AskHangUp()) m_backend.HangUp();
}

void Crawler::NoteStartPage(const std::string& localPath) {
  // A start page that failed leaves nothing to open; one not overwritten, its earlier copy.
  std::error_code ec;
  // A symlink planted at its place is no copy to open, wherever it points.
  if (m_state.StartPagePath.empty() && !localPath.empty() &&
      std::filesystem::symlink_status(m_saveFolder / localPath, ec).type() == std::filesystem::file_type::regular)
    m_state.StartPagePath = localPath;
}

std::filesystem::path Crawler::StartPageCopy() const {
  if (m_state.StartPagePath.empty()) return {};
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(m_saveFolder / m_state.StartPagePath, ec);
  return ec ? std::filesystem::path() : full.lexically_normal();
}

std::string Crawler::RuleContext(int flags) const {
  // The site and type rules depend only on these, so a URL dropped under one context is
  // dropped again under it, and gets another chance under any other.
  if (flags & FETCH_START_PAGE) return "*";
  if (!m_settings.SameSiteOnly) return {};
  std::string context;
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
  auto [it, inserted] = m_state.VisitedUrls.try_emplace(parsed ? VisitKey(*parsed) : url);
  UrlRecord& record = it->second;
  if (inserted) record.Url = url;
  if (met) *met = &record;
  if (from) {
    // Spelled as its record spells it, the link is the record; otherwise its own text.
    if (record.Url == url) {
      from->PageLinks.push_back(PageLinkTo(&record));
    } else {
      NotePageLinkText(*from, 'f', url);
    }
  }
  if (!inserted) {
    if (AnswersAgain(record, flags, depth)) return record.LocalPath;
    record.Dropped = false;
  }
  if (parsed && (flags & FETCH_START_PAGE)) m_state.StartHosts = {parsed->host};
  if (parsed && IsHttpService(parsed->service))
    return FetchHttp({parsed->host, parsed->object, parsed->port, parsed->service == inet::Service::Https}, flags,
                     depth, record);
  if (parsed && parsed->service == inet::Service::Ftp)
    return FetchFtp(parsed->host, parsed->object, parsed->port, record);
  // The log box only: the run log records what was attempted, and this never was.
  ++m_state.NgLines;
  m_host.AppendLog(LogLine(url, "NG:Service not supported"));
  return {};
}

bool Crawler::AnswersAgain(UrlRecord& record, int flags, int depth) {
  if (record.Dropped && record.DroppedContext != RuleContext(flags)) return false;
  if ((flags & FETCH_PARSE_HTML) && record.ScannedDepth > depth) Rescan(record, depth);
  return true;
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
  record.DroppedContext = RuleContext(flags);
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
  // showing the log or forge lines in it: they are written percent-encoded.
  std::string line = inet::EncodeControls(url);
  line += '(';
  line += inet::EncodeControls(outcome);
  line += ")\r\n";
  return line;
}

std::string Crawler::FinishFailure(const std::string& line, bool countError, std::string result) {
  // Every line that counts an error is an NG line; the others are SKIPPED lines.
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
  return FinishFailure(LogLine(url, "NG:" + err.message + "(" + std::to_string(err.number) + ")"), true,
                       std::move(result));
}

}  // namespace tk

// The run driver: run log, settings block, start pages, summary.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/session_options.h"
#include "inet/url.h"

namespace tk {
namespace {

constexpr std::string_view kLogName = "Trawlkit.txt";

std::string FormatTime(const std::tm& t) {
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &t);
  return buf;
}

}  // namespace

Crawler::Crawler(const ProjectSettings& settings, RunHost& host, InetBackend& backend, RunClock& clock,
                 std::string agent)
    : m_settings(settings), m_host(host), m_backend(backend), m_clock(clock), m_agent(std::move(agent)) {}

Crawler::~Crawler() {
  CloseNetwork();
  if (m_state.LogFile) std::fclose(m_state.LogFile);
  m_heldPages.ForEach([this](const HeldPages::Page& page) {
    DiscardHeld(m_saveFolder, HeldFile{page.relPath, page.temp, std::nullopt});
  });
}

void Crawler::WriteLog(std::string_view text) {
  m_host.AppendLog(text);
  if (!m_state.LogFile) return;
  // Flushed line by line: the log of a run that is killed still holds every line so far.
  if (std::fwrite(text.data(), 1, text.size(), m_state.LogFile) != text.size() || std::fflush(m_state.LogFile) != 0) {
    std::fclose(m_state.LogFile);
    m_state.LogFile = nullptr;
    RunLogFailed(logtext::kLogWriteFailed);
  }
}

void Crawler::RunLogFailed(std::string_view why) {
  if (m_state.LogFailed) return;
  m_state.LogFailed = true;
  m_host.ReportProblem(logtext::RunLogNotWritten((m_saveFolder / kLogName).string(), why));
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
  m_logRefusal = fd < 0 ? logtext::kLogNotOpened : std::string_view();
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    m_logRefusal = logtext::kLogNotOpened;
  } else if (fd >= 0 && st.st_nlink > 1) {
    // Appending writes in place: a hard link to a file outside the copy would have that file
    // grow. Another name of it is not ours to change.
    m_logRefusal = logtext::kLogHardLinked;
  }
  if (fd >= 0 && !m_logRefusal.empty()) {
    ::close(fd);
    fd = -1;
  }
  m_state.LogFile = fd >= 0 ? ::fdopen(fd, "ab") : nullptr;
  if (fd >= 0 && !m_state.LogFile) {
    ::close(fd);
    m_logRefusal = logtext::kLogNotOpened;
  }
  // The log's own name is given out first, so no downloaded file can overwrite it.
  m_state.UsedNames.insert(std::string(kLogName));
}

std::string SettingsBlock(const ProjectSettings& s, const std::tm& start) {
  using namespace logtext;
  const auto line = [](std::string_view label, std::string_view value) {
    return std::string(label).append(value).append("\r\n");
  };
  std::string text = FormatTime(start) + std::string(kStart) + "\r\n";
  text += line(kExcluding, s.ExcludeType);
  text += line(kSavingTo, s.SaveDir);
  text += line(kLinksToBrowse, s.UnlimitedLayers    ? std::string(kStartPagesAnd) + std::string(kUnlimitedLayers)
                               : s.LinkLayers == 0 ? std::string(kStartPagesOnly)
                                                   : std::string(kStartPagesAnd) + std::to_string(s.LinkLayers) +
                                                         std::string(kLayers));
  text += line(kPagesAt, s.SameSiteOnly ? kSameSite : kAllSites);
  text += line(kFilesSaved, s.SaveFlat ? kSavedFlat : kSavedAsServer);
  text += line(kUsingCache, s.UseCache ? kYes : kNo);
  text += line(kConfirmOverwrite, s.ConfirmOverwrite ? kYes : kNo);
  return text;
}

std::string WithTrailingSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

void Crawler::WriteSummary() {
  char buf[256];
  std::string text = std::string(logtext::kSummary) + "\r\n";
  std::snprintf(buf, sizeof buf, "\t%20s%20s%20s%20s\r\n", logtext::kFilesDownloaded.data(),
                logtext::kErrors.data(), logtext::kFilesSkipped.data(), logtext::kBytesDownloaded.data());
  text += buf;
  std::snprintf(buf, sizeof buf, "\t%20" PRId64 "%20" PRId64 "%20" PRId64 "%20" PRId64 "\r\n",
                m_state.FilesDownloaded, m_state.Errors, m_state.FilesSkipped, m_state.BytesDownloaded);
  text += buf;
  text += "\r\n" + FormatTime(m_clock.LocalTime()) + std::string(logtext::kEnd) + "\r\n";
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
  m_cacheRefusal.clear();
  m_heldPages.clear();
  m_pageLinks.clear();
  m_folders.reset();
  OpenRunLog();
  m_heldPages.Open(m_saveFolder);
  m_pageLinks.Open(m_saveFolder);
  m_host.ClearLog();
  if (!m_logRefusal.empty()) RunLogFailed(m_logRefusal);
  WriteLog(SettingsBlock(m_settings, m_clock.LocalTime()));
  m_state.ReloadFlag = m_settings.UseCache ? 0 : inet::kFlagReload;

  inet::Error err;
  inet::SessionOptions options = SessionOptionsFor(m_settings, m_agent);
  m_state.RobotsAgent = ProductToken(options.agent);
  m_ahead.SetEnabled(options.wait.count() == 0 && options.limitRate == 0 && options.connections > 1);
  LoadCookies(options);
  auto session = m_backend.OpenSession(options, err);
  // The session has its own copy in its jar; the user's cookies are held no longer than that.
  options.cookies.clear();
  options.cookies.shrink_to_fit();
  if (!session) {
    // A run that could fetch nothing has failed, although the line changes no counter.
    ++m_state.NgLines;
    WriteLog(std::string(logtext::kNoSession) + err.message + "\r\n");
  } else {
    // A cache another user could change would serve their bytes into this copy.
    if (m_settings.UseCache) {
      std::string refusal = session->OpenCache();
      if (!refusal.empty()) {
        m_cacheRefusal = std::string(logtext::kCacheRefused) + inet::EncodeControls(refusal);
        WriteLog(m_cacheRefusal + "\r\n");
      }
    }
    {
      std::lock_guard lock(m_sessionMutex);
      m_session = std::move(session);
    }
    for (std::size_t i = 0; !Cancelled() && i < m_host.StartUrlCount(); ++i) {
      NoteStartPage(FetchUrl(m_host.StartUrl(i), FETCH_START_PAGE | FETCH_PARSE_HTML, 0));
      // Still under this start page's site rule: what its tree put off is its own.
      FetchDeferred();
    }
    m_host.EndTransfers();
    CloseNetwork();
    // Also after a cancel: what was saved browses as well as it can.
    MendSavedPages();
    CheckStartPage();
  }
  m_folders.reset();
  WriteSummary();
  if (m_state.LogFile && std::fclose(m_state.LogFile) != 0) RunLogFailed(logtext::kLogWriteFailed);
  m_state.LogFile = nullptr;

  auto connection = m_backend.QueryConnectionState();
  if (connection && *connection == inet::kConnectionModem && m_host.AskHangUp()) m_backend.HangUp();
}

void Crawler::HandBackSettings(ProjectSettings& project) const {
  project.SaveDir = m_settings.SaveDir;
  project.ProjectPath = m_settings.ProjectPath;
  project.ConfirmOverwrite = m_settings.ConfirmOverwrite;
}

void Crawler::NoteStartPage(const std::string& localPath) {
  // A start page that failed leaves nothing to open; one not overwritten, its earlier copy. A
  // page written whole is put in place only once the links in it are mended, at the end.
  if (m_state.StartPagePath.empty() && !localPath.empty()) m_state.StartPagePath = localPath;
}

void Crawler::CheckStartPage() {
  // A symlink planted at its place is no copy to open, wherever it points.
  std::error_code ec;
  if (!m_state.StartPagePath.empty() &&
      (LookBeneath(m_saveFolder, m_state.StartPagePath) != LocalEntry::Present ||
       std::filesystem::symlink_status(m_saveFolder / m_state.StartPagePath, ec).type() !=
           std::filesystem::file_type::regular))
    m_state.StartPagePath.clear();
}

std::filesystem::path Crawler::StartPageCopy() const {
  if (m_state.StartPagePath.empty()) return {};
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(m_saveFolder / m_state.StartPagePath, ec);
  return ec ? std::filesystem::path() : full.lexically_normal();
}

}  // namespace tk

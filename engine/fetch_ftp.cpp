// FTP retrieval: one file, or every file of a listing that matches a "*" pattern.
#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/local_names.h"

namespace tk {
namespace {
constexpr std::size_t kChunk = 1023;
}

bool Crawler::ConnectFtp(const std::string& host, int port, inet::Error& err) {
  auto& connection = m_state.FtpConnection;
  if (connection && !(EqualsNoCase(connection->ServerName(), host) && connection->Port() == port))
    connection.reset();
  if (!connection && m_session) connection = m_backend.ConnectFtp(*m_session, host, port, err);
  return connection != nullptr;
}

std::string Crawler::FetchFtp(const std::string& host, const std::string& path, int port, UrlRecord& record) {
  inet::Error err;
  std::vector<inet::FtpEntry> entries;
  // A file's URL lists every name that begins with it; only the exact name is taken.
  bool exact = path.find('*') == std::string::npos;
  if (!ConnectFtp(host, port, err) || !m_state.FtpConnection->List(exact ? path + "*" : path, entries, err)) {
    if (!Cancelled()) {
      ++m_state.NgLines;
      WriteLog(LogLine(record.Url, "NG:" + err.message + "(" + std::to_string(err.number) + ")"));
    }
    return {};
  }
  std::string lastName;
  bool found = false;
  for (const inet::FtpEntry& entry : entries) {
    if (Cancelled()) return {};
    if (entry.directory || (exact && !EqualsNoCase(entry.path, path))) continue;
    found = true;
    FetchFtpFile(entry, host, path, port, record, lastName);
    if (exact) break;
  }
  if (Cancelled()) return {};
  if (!found) {
    ++m_state.NgLines;
    WriteLog(LogLine(record.Url, "NG:Not found"));
  }
  return lastName;
}

void Crawler::FetchFtpFile(const inet::FtpEntry& entry, const std::string& host, const std::string& path, int port,
                           UrlRecord& record, std::string& lastName) {
  const std::string& url = entry.url;
  // Listing names are the server's raw bytes: the URL's escapes of them are decoded back.
  std::string name = SafeSegment(DecodeNameSegment(std::string_view(url).substr(url.rfind('/') + 1)));
  if (!m_settings.SaveFlat) name = MakeServerPath(m_saveFolder, false, host, path, port, name);
  name = lastName = MakeUniqueName(m_state, name);
  if (!AskOverwrite(name)) {
    ++m_state.FilesSkipped;
    FinishFailure(LogLine(url, "SKIPPED:No overwrite"), false, {});
    return;
  }
  record.LocalPath = name;
  m_state.FileBytes = 0;
  m_host.BeginFile(url, name, std::to_string(entry.size));
  inet::Error err;
  auto remote = m_state.FtpConnection->OpenFile(
      entry.path, inet::kFlagBinaryTransfer | CacheFlags(m_state.ReloadFlag), err);
  if (!remote) {
    if (!Cancelled()) FinishInternetError(url, err, {});
    return;
  }
  // An earlier run's copy is not emptied for a transfer that will not happen.
  if (Cancelled()) {
    record.LocalPath.clear();
    return;
  }
  LocalFile file;
  if (!file.Create(m_saveFolder, name)) {
    FinishFailure(LogLine(url, "NG:Failed in saving to[" + name + "]"), true, {});
    return;
  }
  char buf[kChunk + 1];
  while (true) {
    long n = remote->Read(buf, kChunk, err);
    // A cancelled transfer keeps its partial file but gets no line and no count.
    if (Cancelled()) return;
    if (n < 0) {
      FinishInternetError(url, err, {});
      return;
    }
    if (n == 0) break;
    m_state.FileBytes += n;
    m_host.AddBytes(n);
    if (!file.Write(std::string_view(buf, static_cast<std::size_t>(n)))) break;
  }
  if (!file.Close()) {
    FinishFailure(LogLine(url, "NG:Failed in saving to[" + name + "]"), true, {});
    return;
  }
  m_state.BytesDownloaded += m_state.FileBytes;
  ++m_state.FilesDownloaded;
  WriteLog(LogLine(url, "OK:Saved as[" + name + "]"));
  m_host.ShowCounts(m_state);
}

}  // namespace tk

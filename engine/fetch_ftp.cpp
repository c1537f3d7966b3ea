// FTP retrieval: one file, or every file of a listing that matches a "*" pattern.
#include "engine/crawler.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/local_names.h"

namespace tk {
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
      WriteLog(LogLine(record.Url, logtext::InternetError(err.message, err.number)));
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
    WriteLog(LogLine(record.Url, logtext::kNotFound));
  }
  return lastName;
}

void Crawler::FetchFtpFile(const inet::FtpEntry& entry, const std::string& host, const std::string& path, int port,
                           UrlRecord& record, std::string& lastName) {
  const std::string& url = entry.url;
  // Listing names are the server's raw bytes: the URL's escapes of them are decoded back.
  std::string name = SafeSegment(DecodeNameSegment(std::string_view(url).substr(url.rfind('/') + 1)));
  if (!m_settings.SaveFlat) name = MakeServerPath(m_saveFolder, false, host, path, port, name);
  name = MakeUniqueName(m_state, name);
  std::unique_ptr<inet::FtpFile> remote;
  StreamSource source;
  source.size = std::to_string(entry.size);
  source.open = [&](inet::Error& err) {
    remote = m_state.FtpConnection->OpenFile(entry.path, inet::kFlagBinaryTransfer | CacheFlags(m_state.ReloadFlag),
                                             err);
    return remote != nullptr;
  };
  source.read = [&remote](char* buf, std::size_t size, inet::Error& err) { return remote->Read(buf, size, err); };
  source.endBeatsCancel = false;
  LocalFile file;
  const SaveEnd end = SaveStream(url, name, record, source, file, nullptr);
  // A file that failed or was cut is no part of the copy; a kept one is.
  if (end == SaveEnd::Saved || end == SaveEnd::Skipped) lastName = name;
}

}  // namespace tk

// FTP retrieval: one file, every file of a listing that matches a "*" pattern, or a folder
// (a URL ending in "/"), which is saved as an index page whose links are its entries.
#include <algorithm>
#include <cstring>

#include "engine/crawler.h"
#include "engine/ftp_index.h"
#include "engine/local_file.h"
#include "engine/log_texts.h"
#include "engine/local_names.h"
#include "engine/page_buffer.h"

namespace tk {
namespace {

std::string ServerKey(const inet::Url& url) { return url.host + ":" + std::to_string(url.port); }

// The folder a path names its file in, with its "/".
std::string_view FolderOf(std::string_view path) { return path.substr(0, path.rfind('/') + 1); }

bool IsFolder(std::string_view path) {
  return !path.empty() && path.back() == '/' && path.find('*') == std::string_view::npos;
}

// The URL the folder's index is titled with: no login, the port when it is not 21.
std::string FolderUrl(const inet::Url& url) {
  return "ftp://" + url.host + (url.port == 21 ? "" : ":" + std::to_string(url.port)) + url.object;
}

}  // namespace

bool Crawler::ConnectFtp(const inet::Url& url, inet::Error& err) {
  // A URL's login serves the server's URLs that give none for the rest of the run: the entries
  // of a folder listed with it are fetched with it too.
  RunState::FtpLogin login;
  if (!url.user.empty()) {
    login = {url.user, url.password};
    m_state.FtpLogins[ServerKey(url)] = login;
  } else if (auto known = m_state.FtpLogins.find(ServerKey(url)); known != m_state.FtpLogins.end()) {
    login = known->second;
  }
  auto& connection = m_state.FtpConnection;
  if (connection && !(EqualsNoCase(connection->ServerName(), url.host) && connection->Port() == url.port &&
                      m_state.FtpConnectionUser == login.user))
    connection.reset();
  if (!connection && m_session) {
    connection = m_backend.ConnectFtp(*m_session, url.host, url.port, login.user, login.password, err);
    m_state.FtpConnectionUser = login.user;
  }
  return connection != nullptr;
}

std::string Crawler::FetchFtp(const inet::Url& url, int flags, int depth, UrlRecord& record) {
  const std::string& path = url.object;
  if (IsFolder(path)) return FetchFtpFolder(url, flags, depth, record);
  // A folder's entry keeps to the site and type rules; a file named by a link of its own does not.
  if ((flags & FETCH_LISTED) && (!IsSiteAllowed(url.host, flags) || !IsTypeAllowed(path, flags)))
    return Drop(record, flags);
  inet::Error err;
  std::vector<inet::FtpEntry> entries;
  // A file's URL lists every name that begins with it; only the exact name is taken.
  const bool exact = path.find('*') == std::string::npos;
  if (!FindFtpFiles(url, exact, entries, err)) return Cancelled() ? std::string() : FinishInternetError(record.Url(), err, {});
  std::string lastName;
  bool found = false;
  for (const inet::FtpEntry& entry : entries) {
    if (Cancelled()) return {};
    if (entry.directory || (exact && !EqualsNoCase(entry.path, path))) continue;
    found = true;
    FetchFtpFile(entry, url, record, lastName);
    if (exact) break;
  }
  if (Cancelled()) return {};
  if (!found) FinishFailure(LogLine(record.Url(), logtext::kNotFound), true, {});
  return lastName;
}

bool Crawler::FindFtpFiles(const inet::Url& url, bool exact, std::vector<inet::FtpEntry>& entries,
                           inet::Error& err) {
  if (!ConnectFtp(url, err)) return false;
  // An entry of a folder whose index is being scanned is found in that folder's listing: a
  // folder of a thousand files is listed once, not once for each.
  if (exact) {
    auto listing = m_state.FtpListings.find(ServerKey(url) + std::string(FolderOf(url.object)));
    if (listing != m_state.FtpListings.end()) {
      for (const inet::FtpEntry& entry : listing->second)
        if (entry.path == url.object) entries.push_back(entry);
      if (!entries.empty()) return true;
    }
  }
  return m_state.FtpConnection->List(exact ? url.object + "*" : url.object, entries, err);
}

void Crawler::FetchFtpFile(const inet::FtpEntry& entry, const inet::Url& url, UrlRecord& record,
                           std::string& lastName) {
  const std::string& fileUrl = entry.url;
  // Listing names are the server's raw bytes: the URL's escapes of them are decoded back.
  std::string name = SafeSegment(DecodeNameSegment(std::string_view(fileUrl).substr(fileUrl.rfind('/') + 1)));
  if (!m_settings.SaveFlat) name = MakeServerPath(Folders(), false, url.host, url.object, url.port, name);
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
  const SaveEnd end = SaveStream(fileUrl, name, record, source, file, nullptr);
  // A file that failed or was cut is no part of the copy; a kept one is.
  if (end == SaveEnd::Saved || end == SaveEnd::Skipped) lastName = name;
}

// A folder is a page: held to the site and type rules, named as a page whose path ends in "/"
// is, logged like one, and scanned for its links (its entries, one layer down) unless it was
// reached as no page.
std::string Crawler::FetchFtpFolder(const inet::Url& url, int flags, int depth, UrlRecord& record) {
  if (!IsSiteAllowed(url.host, flags) || !IsTypeAllowed(url.object, flags)) return Drop(record, flags);
  inet::Error err;
  std::vector<inet::FtpEntry> entries;
  if (!ConnectFtp(url, err) || !m_state.FtpConnection->ListFolder(url.object, entries, err))
    return Cancelled() ? std::string() : FinishInternetError(record.Url(), err, {});
  std::string name = MakeLocalName(m_state, url.object, "text/html");
  if (!IsTypeAllowed(name, flags)) return Drop(record, flags);
  if (!m_settings.SaveFlat) name = MakeServerPath(Folders(), false, url.host, url.object, url.port, name);
  name = MakeUniqueName(m_state, name);
  bool parse = (flags & FETCH_PARSE_HTML) != 0;
  const bool tooDeep = parse && depth >= kMaxPageNesting;
  if (tooDeep) parse = false;
  const std::string index = FtpFolderIndex(FolderUrl(url), entries);
  std::size_t at = 0;
  StreamSource source;
  source.size = std::to_string(index.size());
  source.read = [&index, &at](char* buf, std::size_t size, inet::Error&) {
    const std::size_t n = std::min(size, index.size() - at);
    std::memcpy(buf, index.data() + at, n);
    at += n;
    return static_cast<long>(n);
  };
  record.Folder = true;
  LocalFile file;
  PageBuffer page(m_saveFolder, m_state.PageMemoryHeld);
  const SaveEnd end = SaveStream(WithoutPassword(record.Url()), name, record, source, file, parse ? &page : nullptr);
  // A folder whose index failed or was cut is no part of the copy: links to it lead to the server.
  if (end == SaveEnd::Failed || end == SaveEnd::Cancelled || end == SaveEnd::TooLarge) return {};
  const bool kept = end == SaveEnd::Skipped;
  if (tooDeep && !kept) WriteLog(LogLine(record.Url(), logtext::NestedTooDeep(depth)));
  // Not scanned, the index was written and put in place like any file.
  if (!parse) return name;
  // While its links are fetched, the entries are found in this listing.
  const std::string key = ServerKey(url) + url.object;
  m_state.FtpListings[key] = std::move(entries);
  const HttpTarget listed{url.host, url.object, url.port, false, {}, {}};
  const bool written =
      WritePage(listed, page, kept ? nullptr : &file, depth, record, name, false, std::nullopt, FETCH_LISTED);
  m_state.FtpListings.erase(key);
  return written ? name : std::string();
}

}  // namespace tk

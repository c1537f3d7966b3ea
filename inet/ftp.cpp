// FTP on libcurl: one multi handle per connection keeps the control connection in its pool, so
// listings and files reuse it. Active mode first; when the active data connection cannot be set
// up the connection switches to passive mode for good and the operation is tried again.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "inet/cache.h"
#include "base/text.h"
#include "inet/ftp_listing.h"
#include "inet/inet.h"
#include "inet/pull_body.h"
#include "inet/transfer.h"
#include "inet/url.h"

namespace tk::inet {
namespace {

using detail::Multi;
using detail::PullBody;
using detail::SessionState;
using detail::Transfer;

constexpr std::size_t kMaxListing = 64 * 1024 * 1024;
constexpr long kAcceptTimeoutMs = 15000;

// The server's answers on the control connection, which libcurl hands to the header callback a
// line at a time. The last one is the server's reason when a command is refused; libcurl's own
// error text is the first message of the transfer, often about something else entirely (a local
// address it could not print while setting up active mode).
struct Replies {
  std::string last;  // "550 No such file or directory."
  int code = 0;
};

constexpr std::size_t kMaxReply = 512;

size_t KeepReply(char* data, size_t size, size_t count, void* user) {
  auto* replies = static_cast<Replies*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  // Only a reply's final line ("550 text"); continuation lines ("550-text") and the header-like
  // lines libcurl makes up for a NOBODY transfer are not replies of their own.
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (line.size() >= 4 && digit(line[0]) && digit(line[1]) && digit(line[2]) && line[3] == ' ') {
    replies->code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    replies->last.assign(line.substr(0, kMaxReply));
  }
  return size * count;
}

// A failed transfer's error: a refusal names the server's own reason.
Error FtpError(CURLcode code, const Replies& replies, const char* errorBuffer) {
  return detail::ErrorFromCurl(code, replies.code >= 400 ? replies.last.c_str() : errorBuffer);
}

// The active data connection could not be made: refused at PORT, never accepted, or (as vsftpd
// does when it cannot reach the client) the transfer command answered with 425.
bool IsDataConnectionFailure(CURLcode code, int reply) {
  return code == CURLE_FTP_PORT_FAILED || code == CURLE_FTP_ACCEPT_FAILED ||
         code == CURLE_FTP_ACCEPT_TIMEOUT || (code != CURLE_OK && reply == 425);
}

// A server path in URL form: the unsafe bytes and the URL delimiters "?" and "#" encoded,
// existing escapes kept (libcurl decodes the path before sending it).
std::string FtpWirePath(std::string_view path) {
  std::string out;
  for (char c : PercentEncodeUnsafe(path)) {
    if (c == '?')
      out += "%3F";
    else if (c == '#')
      out += "%23";
    else
      out += c;
  }
  if (out.empty() || out.front() != '/') out.insert(out.begin(), '/');
  return out;
}

// A file name from a listing in the URL form of the paths the engine compares it with.
std::string EncodeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '%')
      out += "%25";
    else
      out += c;
  }
  return FtpWirePath(out).substr(1);
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto* out = static_cast<std::string*>(user);
  std::size_t n = size * count;
  if (out->size() + n > kMaxListing) return 0;  // aborts the transfer
  out->append(data, n);
  return n;
}

class FtpConnectionImpl;

class FtpFileImpl final : public FtpFile {
 public:
  FtpFileImpl(FtpConnectionImpl& conn, std::string url, std::string cacheKey, std::uint32_t flags)
      : m_conn(conn), m_url(std::move(url)), m_cacheKey(std::move(cacheKey)), m_flags(flags) {}
  ~FtpFileImpl() override;

  bool Open(Error& err);
  long Read(char* buf, std::size_t max, Error& err) override;

 private:
  bool Start(std::uint64_t resumeFrom, Error& err);
  static size_t OnBody(char* data, size_t size, size_t count, void* user);

  FtpConnectionImpl& m_conn;
  std::shared_ptr<Multi> m_multi;
  std::string m_url;
  std::string m_cacheKey;
  std::uint32_t m_flags;
  Transfer m_transfer;
  Replies m_replies;
  PullBody m_body;
  std::unique_ptr<cache::Entry> m_entry;  // served first: the whole file, or its stored part
  std::uint64_t m_prefixLeft = 0;
  bool m_fromCacheOnly = false;
};

class FtpConnectionImpl final : public FtpConnection {
 public:
  FtpConnectionImpl(std::shared_ptr<SessionState> session, std::string host, int port,
                    std::string user, std::string password)
      : m_multi(std::make_shared<Multi>(std::move(session))),
        m_host(std::move(host)),
        m_port(port),
        m_user(std::move(user)),
        m_password(std::move(password)) {}

  const std::string& ServerName() const override { return m_host; }
  int Port() const override { return m_port; }
  const std::shared_ptr<Multi>& MultiHandle() const { return m_multi; }
  std::string Base() const { return "ftp://" + m_host + ":" + std::to_string(m_port); }

  // Logs in at once (no data connection), so that a wrong host or login fails here.
  bool Login(Error& err) {
    CURLcode code = RunToEnd(Base() + "/", [](CURL* easy) {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }, nullptr, err);
    return code == CURLE_OK;
  }

  // Sets up an easy handle with the connection's login and mode.
  CURL* NewFtpEasy(Transfer& transfer, const std::string& url) {
    CURL* easy = detail::NewEasy(*m_multi->Session(), transfer);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    if (!m_user.empty()) {
      curl_easy_setopt(easy, CURLOPT_USERNAME, m_user.c_str());
      curl_easy_setopt(easy, CURLOPT_PASSWORD, m_password.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_FTPPORT, m_passive ? nullptr : "-");
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);  // binary (image) mode, always
    return easy;
  }

  // One whole transfer: setup adds options, `after` reads infos before the handle goes. Returns
  // libcurl's code; CURLE_ABORTED_BY_CALLBACK with err set when the session closed. Falls back
  // to passive mode once when the active data connection fails. `reply` gets the server's last
  // reply code.
  CURLcode RunToEnd(const std::string& url, const std::function<void(CURL*)>& setup,
                    std::string* out, Error& err, const std::function<void(CURL*)>& after = {},
                    int* reply = nullptr) {
    for (int attempt = 0;; ++attempt) {
      if (out) out->clear();
      Transfer t;
      Replies replies;
      CURL* easy = NewFtpEasy(t, url);
      // libcurl reports MDTM and SIZE of a NOBODY transfer as header text: never to stdout.
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &KeepReply);
      curl_easy_setopt(easy, CURLOPT_HEADERDATA, &replies);
      if (out) {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CollectBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, out);
      } else {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Discard);
      }
      if (setup) setup(easy);
      m_multi->Add(t);
      bool ran = m_multi->RunUntil([&] { return t.done; }, err);
      if (ran && after) after(easy);
      m_multi->Remove(t);
      if (!ran) return CURLE_ABORTED_BY_CALLBACK;
      if (IsDataConnectionFailure(t.result, replies.code) && !m_passive && attempt == 0) {
        m_passive = true;
        continue;
      }
      if (reply) *reply = replies.code;
      if (t.result != CURLE_OK) err = FtpError(t.result, replies, t.errorBuffer);
      return t.result;
    }
  }

  bool List(std::string_view pattern, std::vector<FtpEntry>& entries, Error& err) override {
    entries.clear();
    err = Error{};
    if (pattern.empty() || pattern.back() == '/') return !Closed(err);
    std::size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string_view::npos ? "/" : std::string(pattern.substr(0, slash + 1));
    std::string_view namePattern =
        slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    // A directory that is not there holds no matching file, which is no error.
    return ListDirectory(dir, namePattern, false, entries, err);
  }

  bool ListFolder(std::string_view path, std::vector<FtpEntry>& entries, Error& err) override {
    entries.clear();
    err = Error{};
    std::string dir(path);
    if (dir.empty() || dir.back() != '/') dir += '/';
    return ListDirectory(dir, "*", true, entries, err);
  }

  std::unique_ptr<FtpFile> OpenFile(std::string_view path, std::uint32_t flags,
                                    Error& err) override {
    err = Error{};
    if (m_multi->Session()->Closed()) {
      err = MakeError(ErrorCode::SessionClosed);
      return nullptr;
    }
    std::string wire = FtpWirePath(path);
    std::string key = "ftp://" + AsciiLower(m_host) + ":" + std::to_string(m_port) + wire;
    auto file = std::make_unique<FtpFileImpl>(*this, Base() + wire, key, flags);
    if (!file->Open(err)) return nullptr;
    return file;
  }

  bool Passive() const { return m_passive; }
  void SetPassive() { m_passive = true; }

 private:
  bool Closed(Error& err) const {
    if (!m_multi->Session()->Closed()) return false;
    err = MakeError(ErrorCode::SessionClosed);
    return true;
  }

  // The entries of `dir` (ending in "/") whose names match `namePattern`. A directory the
  // server refuses to enter is an error with its reason when `mustExist`, else an empty result.
  bool ListDirectory(std::string dir, std::string_view namePattern, bool mustExist,
                     std::vector<FtpEntry>& entries, Error& err) {
    if (Closed(err)) return false;
    if (dir.front() != '/') dir.insert(dir.begin(), '/');
    std::string url = Base() + FtpWirePath(dir);
    std::string text;
    bool mlsd = m_mlsd;
    int reply = 0;
    CURLcode code = RunToEnd(url, [&](CURL* easy) {
      if (mlsd) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "MLSD");
    }, &text, err, {}, &reply);
    if (mlsd && code != CURLE_OK && code != CURLE_ABORTED_BY_CALLBACK &&
        !IsDirectoryMissing(code) && !IsDataConnectionFailure(code, reply)) {
      // The server does not know MLSD: LIST from now on.
      m_mlsd = mlsd = false;
      err = Error{};
      code = RunToEnd(url, nullptr, &text, err);
    }
    if (code == CURLE_ABORTED_BY_CALLBACK) return false;
    if (IsDirectoryMissing(code) && !mustExist) {
      err = Error{};
      return true;
    }
    if (code != CURLE_OK) {
      if (err.number == static_cast<int>(ErrorCode::Internal))
        err = MakeError(ErrorCode::FtpListingFailed, err.message);
      return false;
    }
    const std::string origin = "ftp://" + m_host + (m_port == 21 ? "" : ":" + std::to_string(m_port));
    for (auto& line : ParseListing(text, mlsd)) {
      // No directory's entry has a "/" in its name: one that does would name another place.
      if (line.name.find('/') != std::string::npos) continue;
      std::string encoded = EncodeName(line.name);
      if (!MatchesPattern(namePattern, encoded)) continue;
      FtpEntry e;
      e.name = line.name;
      e.path = dir + encoded;
      e.size = line.size;
      e.directory = line.directory;
      e.url = origin + e.path;
      entries.push_back(std::move(e));
    }
    return true;
  }

  static bool IsDirectoryMissing(CURLcode code) {
    return code == CURLE_REMOTE_ACCESS_DENIED || code == CURLE_REMOTE_FILE_NOT_FOUND;
  }

  std::shared_ptr<Multi> m_multi;
  std::string m_host;
  int m_port;
  std::string m_user;
  std::string m_password;
  bool m_passive = false;
  bool m_mlsd = true;
};

FtpFileImpl::~FtpFileImpl() {
  m_body.FinishCache(m_transfer.done && m_transfer.result == CURLE_OK);
  if (m_multi) m_multi->Remove(m_transfer);
}

bool FtpFileImpl::Open(Error& err) {
  m_multi = m_conn.MultiHandle();
  const bool useCache = !(m_flags & kFlagReload);
  const bool writeCache = (m_flags & kFlagCacheFile) != 0;
  cache::Meta meta;
  meta.url = m_cacheKey;
  if (useCache || writeCache) {
    // The file's size and modification time are its validators: MDTM and SIZE, no data.
    curl_off_t size = -1;
    long filetime = -1;
    CURLcode code = m_conn.RunToEnd(m_url, [](CURL* easy) {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
      curl_easy_setopt(easy, CURLOPT_FILETIME, 1L);
    }, nullptr, err, [&](CURL* easy) {
      curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
      curl_easy_getinfo(easy, CURLINFO_FILETIME, &filetime);
    });
    if (code != CURLE_OK) return false;
    meta.expected = size;
    if (filetime >= 0) meta.lastModified = std::to_string(filetime);
  }
  if (useCache && !meta.lastModified.empty()) {
    m_entry = m_conn.MultiHandle()->Session()->Cache()->Lookup(m_cacheKey);
    if (m_entry && (m_entry->meta().lastModified != meta.lastModified ||
                    m_entry->meta().expected != meta.expected))
      m_entry.reset();
  }
  std::uint64_t resumeFrom = 0;
  if (m_entry) {
    m_prefixLeft = m_entry->meta().length;
    if (m_entry->meta().complete) {
      m_fromCacheOnly = true;
      return true;
    }
    resumeFrom = m_entry->meta().length;
  }
  if (writeCache && !meta.lastModified.empty()) {
    auto writer = cache::Writer::Create(m_conn.MultiHandle()->Session()->Cache(), meta);
    if (writer && m_entry && !writer->CopyFrom(*m_entry)) writer.reset();
    m_body.WriteTo(std::move(writer));
  }
  return Start(resumeFrom, err);
}

bool FtpFileImpl::Start(std::uint64_t resumeFrom, Error& err) {
  for (int attempt = 0;; ++attempt) {
    m_replies = Replies{};
    CURL* easy = m_conn.NewFtpEasy(m_transfer, m_url);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &KeepReply);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &m_replies);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FtpFileImpl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (resumeFrom > 0)
      curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeFrom));
    m_multi->Add(m_transfer);
    // Like opening the file for reading: wait until the data flows or the transfer ends, so that
    // a missing file or a refused data connection is reported by the open.
    if (!m_multi->RunUntil([this] { return m_body.HasUnread() || m_transfer.done; }, err))
      return false;
    if (m_transfer.done && IsDataConnectionFailure(m_transfer.result, m_replies.code) && !m_conn.Passive() &&
        attempt == 0 && m_body.Received() == 0) {
      m_multi->Remove(m_transfer);
      m_conn.SetPassive();
      continue;
    }
    if (m_transfer.done && m_transfer.result != CURLE_OK && m_body.Received() == 0) {
      err = FtpError(m_transfer.result, m_replies, m_transfer.errorBuffer);
      m_body.FinishCache(false);
      return false;
    }
    return true;
  }
}

long FtpFileImpl::Read(char* buf, std::size_t max, Error& err) {
  if (m_multi->Session()->Closed()) {
    err = MakeError(ErrorCode::SessionClosed);
    return -1;
  }
  if (max == 0) return 0;
  if (m_prefixLeft > 0) return m_entry->ReadPrefix(buf, max, m_prefixLeft, err);
  if (m_fromCacheOnly) return 0;
  return m_body.Read(*m_multi, m_transfer, buf, max, err, [this] {
    Error failed = FtpError(m_transfer.result, m_replies, m_transfer.errorBuffer);
    if (failed.number == static_cast<int>(ErrorCode::BodyTooShort))
      failed = MakeError(ErrorCode::FtpTransferFailed, failed.message);
    return failed;
  });
}

size_t FtpFileImpl::OnBody(char* data, size_t size, size_t count, void* user) {
  return static_cast<FtpFileImpl*>(user)->m_body.OnData(data, size * count);
}

}  // namespace

std::unique_ptr<FtpConnection> ConnectFtp(Session& session, std::string_view host, int port,
                                          std::string_view user, std::string_view password,
                                          Error& err) {
  auto state = detail::StateForConnect(session, host, port, err);
  if (!state) return nullptr;
  auto conn = std::make_unique<FtpConnectionImpl>(state, std::string(host), port,
                                                  std::string(user), std::string(password));
  if (!conn->Login(err)) return nullptr;
  return conn;
}

std::unique_ptr<FtpConnection> ConnectFtp(Session& session, std::string_view host, int port,
                                          Error& err) {
  return ConnectFtp(session, host, port, {}, {}, err);
}

}  // namespace tk::inet

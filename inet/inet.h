#pragma once
// The internet layer: the few operations the crawl engine, link resolution and the URL checks
// need, on top of libcurl. Everything here is blocking and meant for one worker thread, except
// Session::Close, which any thread may call to interrupt the worker.
//
// Errors are values: a failing call returns false / nullptr / -1 and fills an Error with the
// layer's own stable number and an English text (see inet/errors.h for the table).
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk::inet {

namespace cache {
class Cache;
}

// ---- URLs -------------------------------------------------------------------------------------

// Https is told apart so that callers decide whether to take it; file: and the rest are Other.
enum class Service { Http, Ftp, Https, Other };

struct Url {
  Service service = Service::Other;
  std::string scheme;    // lower case, e.g. "http"
  std::string host;      // as written
  std::string object;    // canonical path with query and fragment; "/" at least
  int port = 0;          // 80 / 21 / 443 when none is given (the scheme's default for Other)
  std::string user;      // from user:password@host, percent-decoded; empty when none
  std::string password;
};

// Canonicalises, then splits. Canonicalising percent-encodes spaces, control bytes and non-ASCII
// bytes in the path, leaves query and fragment alone, removes "." and ".." segments and makes an
// empty path "/". No scheme, an empty host or a port outside 1..65535 gives nullopt.
std::optional<Url> ParseUrl(std::string_view text);

// ---- Errors -----------------------------------------------------------------------------------

struct Error {
  int number = 0;        // 0: no error
  std::string message;   // English, at most 1,024 bytes
  explicit operator bool() const { return number != 0; }
};

// ---- Request flags (the values the engine ORs together) -------------------------------------

inline constexpr std::uint32_t kFlagReload = 0x80000000;          // never answer from the cache
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;  // always set: the engine redirects
inline constexpr std::uint32_t kFlagCacheFile = 0x00000010;       // keep a cache copy of the body
inline constexpr std::uint32_t kFlagBinaryTransfer = 0x00000002;  // FTP: binary (image) mode
inline constexpr std::uint32_t kFlagExistingConnect = 0x20000000; // FTP listing: reuse the connection

// ---- Session ----------------------------------------------------------------------------------

class Session {
 public:
  virtual ~Session() = default;
  // Thread-safe. A call in progress on the worker fails within 100 ms, and every later call on
  // this session or its connections fails.
  virtual void Close() = 0;
  virtual bool IsClosed() const = 0;
  // Opens the session's cache folder (made when missing) and checks that it is the user's own:
  // "" when the cache can be used, else why it is off for the session.
  virtual std::string OpenCache() { return {}; }
};

// What a run sets once for every transfer of its session. Each field's default is the session a
// run had before the field existed.
struct SessionOptions {
  std::string agent;  // sent as User-Agent
  // Pacing: what one server sees of the run.
  std::chrono::milliseconds wait{0};  // from the end of one transfer to the start of the next
  std::int64_t limitRate = 0;         // bytes per second over the session; 0: no limit
  int connections = 5;                // at once to one server, the requests sent ahead included
  // Patience: to connect, and for a transfer that receives nothing.
  std::chrono::milliseconds connectTimeout{60000};
  std::chrono::milliseconds stallTimeout{60000};
  // Lines of a Netscape cookies.txt ("#HttpOnly_" lines included), put in the session's cookie
  // jar before its first request. The jar also keeps what servers set during the session and
  // sends it back by the usual rules; it is never written to disk.
  std::vector<std::string> cookies;
};

// Where TLS certificates are verified against: empty fields leave libcurl's own defaults (the
// system's store).
struct TrustStore {
  std::string caFile;  // a bundle of CA certificates in PEM
  std::string caPath;  // a folder of hashed CA certificates
};

// The store the environment names, as command-line tools read it: CURL_CA_BUNDLE, else
// SSL_CERT_FILE, for the bundle; SSL_CERT_DIR for the folder. Debian's libcurl has its bundle
// compiled in and would not look at them itself.
TrustStore TrustStoreFromEnvironment();

// agent: the program's name, sent as User-Agent. The session's cache is the default folder
// (cache::DefaultDirectory(), read here once) with the default size cap.
std::unique_ptr<Session> OpenSession(std::string_view agent, Error& err);
// The same with a given cache (its folder and cap), which the caller may keep to look into.
std::unique_ptr<Session> OpenSession(std::string_view agent, std::shared_ptr<cache::Cache> cache,
                                     Error& err);
// The same with every option of the run.
std::unique_ptr<Session> OpenSession(const SessionOptions& options, Error& err);
// The overloads above verify TLS against TrustStoreFromEnvironment(), read when the session
// opens; this one against `trust` alone.
std::unique_ptr<Session> OpenSession(const SessionOptions& options, std::shared_ptr<cache::Cache> cache,
                                     Error& err);
std::unique_ptr<Session> OpenSession(const SessionOptions& options, std::shared_ptr<cache::Cache> cache,
                                     const TrustStore& trust, Error& err);

// ---- HTTP -------------------------------------------------------------------------------------

class HttpRequest {
 public:
  virtual ~HttpRequest() = default;
  virtual int StatusCode() const = 0;
  virtual std::string ContentType() const = 0;    // empty when absent
  virtual std::string ContentLength() const = 0;  // the header's text, empty when absent
  virtual std::string RawHeaders() const = 0;     // status line and headers, each ending in CR LF
  // Sends the same request again with credentials, which the session then remembers for this
  // scheme, host and port (Basic or Digest, as the server asks): a password given over https is
  // never sent over plain http. The status and headers are replaced.
  virtual bool ResendWithCredentials(std::string_view user, std::string_view password, Error& err) = 0;
  // Reads at most `max` (<= 1,023) bytes of the body: the count, 0 at the end, -1 on an error
  // (a body that ends before its Content-Length or a broken chunked stream is an error).
  virtual long Read(char* buf, std::size_t max, Error& err) = 0;
};

class HttpConnection {
 public:
  virtual ~HttpConnection() = default;
  virtual const std::string& ServerName() const = 0;
  virtual int Port() const = 0;
  // True for a connection over TLS (ConnectHttps).
  virtual bool Secure() const { return false; }
  // GET `object` (fragment already cut by the caller) and wait for the status and headers.
  // flags: kFlagNoAutoRedirect | kFlagCacheFile, plus kFlagReload when the cache is not used.
  // Without kFlagReload the request may be answered from the cache (revalidated) or resumed.
  virtual std::unique_ptr<HttpRequest> OpenRequest(std::string_view object, std::uint32_t flags,
                                                   Error& err) = 0;
  // A hint that OpenRequest(object, flags) is coming soon. The request may be sent at once on
  // another connection to the same server, so that the server works on it while the caller is
  // still busy with the answer before; OpenRequest then takes it up as if it were sent then. Its
  // body waits, at most about 64 KiB of it, until it is read. A request that may be answered from
  // the cache goes as the conditional request its cache entry makes when it is sent; if the entry
  // has changed by the time of OpenRequest, the request is sent afresh. Hints are sent when the
  // connection next works (OpenRequest, PeekAhead), only a few at a time, the hint given last
  // first. Give only hints that are surely followed: a request sent ahead and never opened is
  // wasted on the server.
  virtual void Prefetch(std::string_view object, std::uint32_t flags) {
    (void)object;
    (void)flags;
  }
  // Whether hints pay on this server now: false while its answers come so soon that waiting for
  // each in its turn costs less than the caller's looking ahead for them (AnswerPace).
  virtual bool AheadPays() const { return true; }
  // The answer to an earlier hint, when it is in whole and is a page's: a 200 with its body, or a
  // 304 with the cached body that OpenRequest will serve. Lets the caller look at a page's links
  // before its turn. False when there is no such answer (yet).
  virtual bool PeekAhead(std::string_view object, std::uint32_t flags, std::string& contentType,
                         std::string& body) {
    (void)object;
    (void)flags;
    (void)contentType;
    (void)body;
    return false;
  }
};

// Consecutive requests on one connection reuse one TCP connection (keep-alive).
std::unique_ptr<HttpConnection> ConnectHttp(Session& session, std::string_view host, int port,
                                            Error& err);
// The same with the user name and password of the URL (user:password@host): they are sent at
// once, and remembered for the session once the server accepts them.
std::unique_ptr<HttpConnection> ConnectHttp(Session& session, std::string_view host, int port,
                                            std::string_view user, std::string_view password,
                                            Error& err);

// The same over TLS (https://). The server's certificate is always verified against the trust
// store, host name included; SSL_CERT_FILE, SSL_CERT_DIR and CURL_CA_BUNDLE name another store,
// as they do for other command-line tools, read when the session opens. HTTP/2 may be used where
// the server offers it; callers see the same status, headers and bytes as over HTTP/1.1.
std::unique_ptr<HttpConnection> ConnectHttps(Session& session, std::string_view host, int port,
                                             Error& err);
// The same with the user name and password of the URL.
std::unique_ptr<HttpConnection> ConnectHttps(Session& session, std::string_view host, int port,
                                             std::string_view user, std::string_view password,
                                             Error& err);

// ---- FTP --------------------------------------------------------------------------------------

struct FtpEntry {
  std::string name;        // file name only
  std::string path;        // full path on the server, "/pub/a.txt"
  std::uint64_t size = 0;
  bool directory = false;
  std::string url;         // "ftp://" + host + path, ":port" after the host when it is not 21
};

class FtpFile {
 public:
  virtual ~FtpFile() = default;
  // At most `max` (<= 1,023) bytes: the count, 0 at the end, -1 on an error.
  virtual long Read(char* buf, std::size_t max, Error& err) = 0;
};

class FtpConnection {
 public:
  virtual ~FtpConnection() = default;
  virtual const std::string& ServerName() const = 0;
  virtual int Port() const = 0;
  // Lists the directory of `pattern` and keeps the entries whose names match its last segment
  // ("*" matches any run of characters), in server order. A pattern ending in "/" lists nothing.
  // An empty result is not an error.
  virtual bool List(std::string_view pattern, std::vector<FtpEntry>& entries, Error& err) = 0;
  // Every entry of the folder `path` ("/pub/"), files and subfolders, in server order. Unlike
  // List, a folder the server will not open is an error, with the server's reason.
  virtual bool ListFolder(std::string_view path, std::vector<FtpEntry>& entries, Error& err) {
    std::string pattern(path);
    if (pattern.empty() || pattern.back() != '/') pattern += '/';
    return List(pattern + "*", entries, err);
  }
  // flags: kFlagBinaryTransfer | kFlagCacheFile, plus kFlagReload when the cache is not used.
  virtual std::unique_ptr<FtpFile> OpenFile(std::string_view path, std::uint32_t flags, Error& err) = 0;
};

// Anonymous login; active mode first, passive when the active data connection cannot be set up.
std::unique_ptr<FtpConnection> ConnectFtp(Session& session, std::string_view host, int port, Error& err);
// The same with the user name and password of the URL instead of the anonymous login.
std::unique_ptr<FtpConnection> ConnectFtp(Session& session, std::string_view host, int port,
                                          std::string_view user, std::string_view password,
                                          Error& err);

// ---- Connection state -------------------------------------------------------------------------

inline constexpr std::uint32_t kConnectionModem = 1;

// Linux has no autodial connection: this answers with a LAN state, never kConnectionModem.
std::optional<std::uint32_t> QueryConnectionState();
bool HangUp();

}  // namespace tk::inet

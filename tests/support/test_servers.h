#pragma once
// Starting and stopping the test servers of tests/support from a test: a child process that
// prints "PORT <n>" once it listens on 127.0.0.1. Every wait is bounded; the destructor stops
// the server (SIGTERM, then SIGKILL). The server also watches its stdin, a pipe held here, so
// a test binary that dies takes its servers along.
//
//   auto http = tk::test::HttpTestServer::Start();            // scripted routes only
//   auto site = tk::test::HttpTestServer::Start(dir.Path());  // plus a static tree
//   std::string url = http->Url("/__/bytes?n=100");           // "http://127.0.0.1:<port>/..."
//   tk::test::HttpStats s = http->Stats();                   // connections, requests, bytes
//   auto ftp = tk::test::FtpTestServer::Start(dir.Path());    // anonymous, active and passive
//   tk::test::MakeTestCertificates(dir / "tls");              // a test authority and its certificates
//   auto tls = tk::test::HttpsTestServer::Start(dir / "tls", "good");  // HTTPS, plus the same over HTTP
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tk::test {

// The bytes http_test_server.py's body_bytes(n, seed) sends for /__/bytes and its kin: the text
// "<seed>:<offset>|" repeated, cut to n bytes.
inline std::string Body(std::size_t n, const std::string& seed = "x") {
  std::string out;
  while (out.size() < n) out += seed + ":" + std::to_string(out.size()) + "|";
  out.resize(n);
  return out;
}

inline std::string SupportDir() { return std::string(TRAWLKIT_SOURCE_DIR) + "/tests/support"; }

class ServerProcess {
 public:
  // Runs argv (argv[0] a full path) and waits for its "PORT <n>" line. Throws std::runtime_error
  // when it cannot start or says nothing in time.
  explicit ServerProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
    if (rc != 0) {
      m_pid = -1;
      throw std::runtime_error("cannot start " + argv[0]);
    }
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (line.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{m_stdout, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
        Stop();
        throw std::runtime_error("no PORT line from " + argv[1]);
      }
      char buf[256];
      ssize_t n = read(m_stdout, buf, sizeof buf);
      if (n <= 0) {
        Stop();
        throw std::runtime_error("server ended early: " + argv[1]);
      }
      line.append(buf, static_cast<std::size_t>(n));
    }
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("PORT (\\d+)"))) {
      Stop();
      throw std::runtime_error("bad first line: " + line);
    }
    m_port = std::stoi(m[1]);
    m_line = line.substr(0, line.find('\n'));
  }
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int Port() const { return m_port; }
  pid_t Pid() const { return m_pid; }
  // The server's first line, "PORT <n>" and whatever else it announces there.
  const std::string& Line() const { return m_line; }

  void Stop() {
    if (m_stdin >= 0) close(m_stdin);
    if (m_stdout >= 0) close(m_stdout);
    m_stdin = m_stdout = -1;
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 60; ++i) {  // 3 s
      if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  int m_stdin = -1;
  int m_stdout = -1;
  int m_port = 0;
  std::string m_line;
};

// One GET with "Connection: close" over a plain socket, independent of the code under test.
// Returns the body, or nullopt on any failure; bounded by `timeout`.
inline std::optional<std::string> RawHttpGet(int port, const std::string& path,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  timeval tv{static_cast<time_t>(timeout.count() / 1000),
             static_cast<suseconds_t>((timeout.count() % 1000) * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return std::nullopt;
  }
  std::string req = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  if (send(fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) {
    close(fd);
    return std::nullopt;
  }
  std::string resp;
  char buf[4096];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    resp.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  auto head = resp.find("\r\n\r\n");
  if (head == std::string::npos) return std::nullopt;
  return resp.substr(head + 4);
}

struct HttpStats {
  int connections = 0;
  int mostOpen = 0;  // connections open at once, at the most (the stats query's own included)
  int requests = 0;
  long long bodyBytes = 0;
  int mostBusy = 0;  // requests being answered at once, at the most
  std::string json;  // the whole /__stats answer, with the request log
};

// One request of the /__stats log: its path and query, the connection it came on, and the
// server's clock (seconds) when it came in and when its answer had gone out.
struct HttpLogEntry {
  std::string path;
  int connection = 0;
  int status = 0;
  double start = 0;
  double end = 0;
};

inline std::vector<HttpLogEntry> RequestLog(const HttpStats& stats) {
  std::vector<HttpLogEntry> out;
  static const std::regex kEntry(
      "\\{\"connection\": (\\d+), \"method\": \"[A-Z]+\", \"path\": \"([^\"]*)\".*?\"status\": (\\d+), "
      "\"body_bytes\": \\d+, \"start\": ([0-9.e+-]+), \"end\": ([0-9.e+-]+)\\}");
  for (auto it = std::sregex_iterator(stats.json.begin(), stats.json.end(), kEntry); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    out.push_back({m[2].str(), std::stoi(m[1].str()), std::stoi(m[3].str()), std::stod(m[4].str()),
                   std::stod(m[5].str())});
  }
  return out;
}

class HttpTestServer {
 public:
  // Scripted routes only, or also the static tree under `root`.
  // `oneConnection`: "" (any number at once), "queue" (one at a time, the others wait) or
  // "refuse" (the others are answered 503), like servers that limit their clients.
  static std::unique_ptr<HttpTestServer> Start(const std::filesystem::path& root = {},
                                               const std::string& oneConnection = {}) {
    std::vector<std::string> argv{"/usr/bin/python3", SupportDir() + "/http_test_server.py",
                                  "--watch-stdin"};
    if (!root.empty()) {
      argv.push_back("--root");
      argv.push_back(root.string());
    }
    if (!oneConnection.empty()) {
      argv.push_back("--one-connection");
      argv.push_back(oneConnection);
    }
    return std::unique_ptr<HttpTestServer>(new HttpTestServer(argv));
  }

  int Port() const { return m_process.Port(); }
  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(Port()); }
  std::string Url(const std::string& path) const { return Origin() + path; }

  HttpStats Stats() const { return ReadStats(Port()); }
  void Reset() const { RawHttpGet(Port(), "/__reset"); }

  // The /__stats of the server listening (over plain HTTP) on `port`.
  static HttpStats ReadStats(int port) {
    HttpStats s;
    auto body = RawHttpGet(port, "/__stats");
    if (!body) return s;
    s.json = *body;
    std::smatch m;
    if (std::regex_search(*body, m, std::regex("\"connections\": (\\d+)")))
      s.connections = std::stoi(m[1]);
    if (std::regex_search(*body, m, std::regex("\"requests\": (\\d+)"))) s.requests = std::stoi(m[1]);
    if (std::regex_search(*body, m, std::regex("\"most_open\": (\\d+)"))) s.mostOpen = std::stoi(m[1]);
    if (std::regex_search(*body, m, std::regex("\"body_bytes\": (\\d+)")))
      s.bodyBytes = std::stoll(m[1]);
    if (std::regex_search(*body, m, std::regex("\"most_busy\": (\\d+)"))) s.mostBusy = std::stoi(m[1]);
    return s;
  }

 private:
  explicit HttpTestServer(const std::vector<std::string>& argv) : m_process(argv) {}
  ServerProcess m_process;
};

// Writes a test certificate authority (ca.pem) and server certificates signed with it into `dir`:
// good (127.0.0.1 and localhost), wronghost, expired, and unknown (signed by an authority nobody
// trusts). Made fresh by each test, so no key is ever kept. Throws when openssl fails.
inline void MakeTestCertificates(const std::filesystem::path& dir) {
  const std::string command =
      "/usr/bin/python3 '" + SupportDir() + "/tls_test_certs.py' '" + dir.string() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make test certificates");
}

// The HTTP test server behind TLS with one of MakeTestCertificates' certificates. It serves the
// same routes, counters and static tree over plain HTTP on a second port, so that a test can
// redirect between the two and read /__stats without TLS.
class HttpsTestServer {
 public:
  static std::unique_ptr<HttpsTestServer> Start(const std::filesystem::path& certDir, const std::string& cert,
                                                const std::filesystem::path& root = {}) {
    std::vector<std::string> argv{"/usr/bin/python3",
                                  SupportDir() + "/http_test_server.py",
                                  "--watch-stdin",
                                  "--tls-cert",
                                  (certDir / (cert + ".pem")).string(),
                                  "--tls-key",
                                  (certDir / (cert + ".key")).string()};
    if (!root.empty()) {
      argv.push_back("--root");
      argv.push_back(root.string());
    }
    return std::unique_ptr<HttpsTestServer>(new HttpsTestServer(argv));
  }

  int Port() const { return m_process.Port(); }
  int PlainPort() const { return m_plainPort; }
  std::string Origin() const { return "https://127.0.0.1:" + std::to_string(Port()); }
  std::string Url(const std::string& path) const { return Origin() + path; }
  std::string PlainUrl(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(PlainPort()) + path;
  }
  HttpStats Stats() const { return HttpTestServer::ReadStats(PlainPort()); }

 private:
  explicit HttpsTestServer(const std::vector<std::string>& argv) : m_process(argv) {
    std::smatch m;
    if (!std::regex_search(m_process.Line(), m, std::regex("PLAIN (\\d+)")))
      throw std::runtime_error("no PLAIN port in: " + m_process.Line());
    m_plainPort = std::stoi(m[1]);
  }
  ServerProcess m_process;
  int m_plainPort = 0;
};

struct FtpServerOptions {
  bool active = true;   // accept PORT / EPRT
  bool connectBack = true;  // false: PORT / EPRT taken, but the transfer after it fails with 425
  bool passive = true;  // accept PASV / EPSV
  bool mlsd = true;     // offer MLSD / MLST
  std::filesystem::path log;  // when set, the commands received are appended there
};

class FtpTestServer {
 public:
  static std::unique_ptr<FtpTestServer> Start(const std::filesystem::path& root,
                                              const FtpServerOptions& options = {}) {
    std::vector<std::string> argv{"/usr/bin/python3", SupportDir() + "/ftp_test_server.py",
                                  "--watch-stdin", "--root", root.string()};
    if (!options.active) argv.push_back("--no-active");
    if (!options.connectBack) argv.push_back("--no-connect-back");
    if (!options.passive) argv.push_back("--no-passive");
    if (!options.mlsd) argv.push_back("--no-mlsd");
    if (!options.log.empty()) {
      argv.push_back("--log");
      argv.push_back(options.log.string());
    }
    return std::unique_ptr<FtpTestServer>(new FtpTestServer(argv));
  }
  int Port() const { return m_process.Port(); }

 private:
  explicit FtpTestServer(const std::vector<std::string>& argv) : m_process(argv) {}
  ServerProcess m_process;
};

}  // namespace tk::test

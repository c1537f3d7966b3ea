#include "support/fake_net.h"

#include <algorithm>

namespace tk::test {
namespace {

const inet::Error kNotFoundError{12007, "The server name or address could not be resolved"};
constexpr int kResetNumber = 12030;

class FakeSession final : public inet::Session {
 public:
  explicit FakeSession(std::string cacheRefusal) : m_cacheRefusal(std::move(cacheRefusal)) {}
  void Close() override { m_closed = true; }
  bool IsClosed() const override { return m_closed; }
  std::string OpenCache() override {
    ++m_cacheOpened;
    return m_cacheRefusal;
  }
  int m_cacheOpened = 0;

 private:
  bool m_closed = false;
  std::string m_cacheRefusal;
};

// Hands out `data` in pieces of at most `max`, then 0 or an error.
class ChunkReader {
 public:
  ChunkReader(FakeNet& net, std::string key, std::string data, bool fail)
      : m_net(net), m_key(std::move(key)), m_data(std::move(data)), m_fail(fail) {}
  long Read(char* buf, std::size_t max, inet::Error& err) {
    if (m_at == m_data.size()) {
      if (!m_fail) return 0;
      err = {kResetNumber, "The connection with the server was reset"};
      return -1;
    }
    std::size_t n = std::min(max, m_data.size() - m_at);
    std::copy_n(m_data.data() + m_at, n, buf);
    m_at += n;
    if (m_net.onChunk) m_net.onChunk(m_key);
    return static_cast<long>(n);
  }

 private:
  FakeNet& m_net;
  std::string m_key;
  std::string m_data;
  bool m_fail;
  std::size_t m_at = 0;
};

class FakeRequest final : public inet::HttpRequest {
 public:
  FakeRequest(FakeNet& net, std::string key, FakeAnswer answer)
      : m_answer(std::move(answer)), m_reader(net, key, m_answer.body, m_answer.cutShort) {
    if (!m_answer.user.empty()) m_status = 401;
    else m_status = m_answer.status;
  }
  int StatusCode() const override { return m_status; }
  std::string ContentType() const override { return m_status == 200 ? m_answer.contentType : ""; }
  std::string ContentLength() const override {
    return m_status == 200 ? std::to_string(m_answer.body.size()) : std::string();
  }
  std::string RawHeaders() const override {
    std::string h = "HTTP/1.1 " + std::to_string(m_status) + " X\r\n";
    if (!m_answer.location.empty()) h += "Location: " + m_answer.location + "\r\n";
    return h + m_answer.extraHeaders + "\r\n";
  }
  bool ResendWithCredentials(std::string_view user, std::string_view password, inet::Error&) override {
    if (user == m_answer.user && password == m_answer.password) m_status = m_answer.status;
    return true;
  }
  long Read(char* buf, std::size_t max, inet::Error& err) override { return m_reader.Read(buf, max, err); }

 private:
  FakeAnswer m_answer;
  int m_status;
  ChunkReader m_reader;
};

class FakeHttpConnection final : public inet::HttpConnection {
 public:
  FakeHttpConnection(FakeNet& net, std::string host, int port) : m_net(net), m_host(std::move(host)), m_port(port) {}
  const std::string& ServerName() const override { return m_host; }
  int Port() const override { return m_port; }
  std::unique_ptr<inet::HttpRequest> OpenRequest(std::string_view object, std::uint32_t, inet::Error& err) override {
    std::string key = m_host + ":" + std::to_string(m_port) + std::string(object);
    m_net.requests.push_back("GET " + key);
    auto it = m_net.http.find(key);
    FakeAnswer answer;
    if (it == m_net.http.end()) {
      answer.status = 404;
    } else {
      answer = it->second;
    }
    if (answer.failOpen) {
      err = kNotFoundError;
      return nullptr;
    }
    return std::make_unique<FakeRequest>(m_net, key, answer);
  }

 private:
  FakeNet& m_net;
  std::string m_host;
  int m_port;
};

class FakeFtpFileReader final : public inet::FtpFile {
 public:
  FakeFtpFileReader(FakeNet& net, std::string key, const FakeFtpFile& f) : m_reader(net, key, f.content, f.failRead) {}
  long Read(char* buf, std::size_t max, inet::Error& err) override { return m_reader.Read(buf, max, err); }

 private:
  ChunkReader m_reader;
};

bool Glob(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t i = 0; i <= name.size(); ++i)
      if (Glob(pattern.substr(1), name.substr(i))) return true;
    return false;
  }
  return !name.empty() && pattern[0] == name[0] && Glob(pattern.substr(1), name.substr(1));
}

class FakeFtpConnection final : public inet::FtpConnection {
 public:
  FakeFtpConnection(FakeNet& net, std::string host, int port) : m_net(net), m_host(std::move(host)), m_port(port) {}
  const std::string& ServerName() const override { return m_host; }
  int Port() const override { return m_port; }
  bool List(std::string_view pattern, std::vector<inet::FtpEntry>& entries, inet::Error&) override {
    m_net.requests.push_back("LIST " + std::string(pattern));
    std::string_view dir = pattern.substr(0, pattern.rfind('/') + 1);
    std::string_view mask = pattern.substr(pattern.rfind('/') + 1);
    if (mask.empty()) return true;
    for (const FakeFtpFile& f : Files()) {
      std::string_view path = f.path;
      bool isDir = !path.empty() && path.back() == '/';
      if (isDir) path.remove_suffix(1);
      std::string_view fileDir = path.substr(0, path.rfind('/') + 1);
      std::string_view name = path.substr(path.rfind('/') + 1);
      if (fileDir != dir || !Glob(mask, name)) continue;
      inet::FtpEntry e;
      e.name = std::string(name);
      e.path = std::string(path);
      e.size = f.content.size();
      e.directory = isDir;
      e.url = "ftp://" + m_host + (m_port == 21 ? "" : ":" + std::to_string(m_port)) + e.path;
      entries.push_back(e);
    }
    return true;
  }
  std::unique_ptr<inet::FtpFile> OpenFile(std::string_view path, std::uint32_t, inet::Error& err) override {
    m_net.requests.push_back("RETR " + std::string(path));
    for (const FakeFtpFile& f : Files())
      if (f.path == path) return std::make_unique<FakeFtpFileReader>(m_net, "ftp:" + f.path, f);
    err = {12003, "550 No such file"};
    return nullptr;
  }

 private:
  const std::vector<FakeFtpFile>& Files() { return m_net.ftp[m_host + ":" + std::to_string(m_port)]; }
  FakeNet& m_net;
  std::string m_host;
  int m_port;
};

}  // namespace

std::unique_ptr<inet::Session> FakeNet::OpenSession(std::string_view agentName, inet::Error& err) {
  agent = std::string(agentName);
  if (failSession) {
    err = {12001, "No more handles could be generated at this time"};
    return nullptr;
  }
  return std::make_unique<FakeSession>(cacheRefusal);
}

std::unique_ptr<inet::HttpConnection> FakeNet::ConnectHttp(inet::Session&, std::string_view host, int port,
                                                           inet::Error&) {
  ++httpConnects;
  return std::make_unique<FakeHttpConnection>(*this, std::string(host), port);
}

std::unique_ptr<inet::FtpConnection> FakeNet::ConnectFtp(inet::Session&, std::string_view host, int port,
                                                         inet::Error& err) {
  ++ftpConnects;
  if (failFtpConnect) {
    err = kNotFoundError;
    return nullptr;
  }
  return std::make_unique<FakeFtpConnection>(*this, std::string(host), port);
}

}  // namespace tk::test

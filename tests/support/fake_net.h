#pragma once
// An internet layer in memory: a table of HTTP answers and FTP trees, with every request
// recorded. Used where the real local servers cannot easily produce a case.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/inet_backend.h"

namespace tk::test {

struct FakeAnswer {
  int status = 200;
  std::string contentType = "text/html";
  std::string body;
  std::string location;      // sent as "Location: " when not empty
  std::string extraHeaders;  // raw lines, each ending in CR LF
  bool cutShort = false;     // the body breaks off with an error after its bytes
  std::string user;          // when set, 401 until these credentials are sent
  std::string password;
  bool failOpen = false;     // OpenRequest fails with an internet error
};

struct FakeFtpFile {
  std::string path;  // "/pub/a.txt"; a path ending in "/" is a directory
  std::string content;
  bool failRead = false;
};

class FakeNet : public InetBackend {
 public:
  // "host:port/object" without the fragment.
  std::map<std::string, FakeAnswer> http;
  std::map<std::string, std::vector<FakeFtpFile>> ftp;  // "host:port" -> files in server order
  std::vector<std::string> requests;                     // "GET host:port/object", "LIST ...", "RETR ..."
  int httpConnects = 0;
  int ftpConnects = 0;
  bool failSession = false;
  std::string cacheRefusal;  // what the session's cache folder check answers
  bool failFtpConnect = false;
  std::optional<std::uint32_t> connectionState;
  int hangUps = 0;
  // Called after every chunk a reader hands out, with the reader's key.
  std::function<void(const std::string&)> onChunk;

  void Page(const std::string& key, std::string body, std::string type = "text/html") {
    FakeAnswer a;
    a.body = std::move(body);
    a.contentType = std::move(type);
    http[key] = a;
  }
  void Redirect(const std::string& key, std::string location, int status = 302) {
    FakeAnswer a;
    a.status = status;
    a.location = std::move(location);
    http[key] = a;
  }

  std::unique_ptr<inet::Session> OpenSession(std::string_view agent, inet::Error& err) override;
  std::unique_ptr<inet::HttpConnection> ConnectHttp(inet::Session& session, std::string_view host, int port,
                                                    inet::Error& err) override;
  std::unique_ptr<inet::FtpConnection> ConnectFtp(inet::Session& session, std::string_view host, int port,
                                                  inet::Error& err) override;
  std::optional<std::uint32_t> QueryConnectionState() override { return connectionState; }
  bool HangUp() override {
    ++hangUps;
    return true;
  }
  std::string agent;
};

}  // namespace tk::test

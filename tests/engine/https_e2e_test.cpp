// Whole runs over HTTPS against the local TLS test server, with a certificate authority made for
// the test and trusted as the run's trust store, as a company's own authority would be.
#include <gtest/gtest.h>

#include "inet/cache.h"
#include "support/crawl_fixture.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {

class HttpsEndToEnd : public CrawlFixture {
 protected:
  HttpsEndToEnd() : CrawlFixture(Network::Local) {
    MakeTestCertificates(tls.Path());
    trust.caFile = (tls / "ca.pem").string();
    settings.Https = 1;
    freshLog = true;
  }

  TempDir tls;
  TempDir site;
};

TEST_F(HttpsEndToEnd, ASiteThatMovedToHttpsIsCopiedOnlyWhenTheProjectTurnsItOn) {
  auto server = HttpsTestServer::Start(tls.Path(), "good", site.Path());
  const std::string tlsPort = std::to_string(server->Port()), plainPort = std::to_string(server->PlainPort());
  const std::string o = server->Origin(), back = server->PlainUrl("/c.html");
  std::filesystem::create_directories(site / "img");
  // Relative links on the https page, an absolute https one, and one that redirects back to http.
  WriteFile(site / "index.html", "<html><a href=\"a.html\">a</a><img src=\"/img/x.gif\"><a href=\"" + o +
                                     "/b.html\">b</a><a href=\"/__/redirect?to=" + back + "\">c</a></html>");
  WriteFile(site / "a.html", "<html>a</html>");
  WriteFile(site / "b.html", "<html>b</html>");
  WriteFile(site / "c.html", "<html>c</html>");
  WriteFile(site / "img/x.gif", "GIF89a");
  const std::string start = server->PlainUrl("/__/redirect?to=" + o + "/index.html");
  host.startUrls = {start, o + "/a.html"};
  settings.SaveFlat = 0;

  settings.Https = 0;
  EXPECT_EQ(Lines(Run()), start + "(NG:The redirected URL does not reference a HTTP resource(" + o + "/index.html))\r\n");
  EXPECT_NE(host.box.find(o + "/a.html(NG:Service not supported)\r\n"), std::string::npos);
  ExpectFiles({});

  settings.Https = 1;
  const std::string dir = "127.0.0.1~" + tlsPort, plainDir = "127.0.0.1~" + plainPort;
  EXPECT_EQ(Lines(Run()), start + "(OK:Saved as[" + dir + "/index.html])\r\n" +                       //
                       o + "/a.html(OK:Saved as[" + dir + "/a.html])\r\n" +                      //
                       o + "/img/x.gif(OK:Saved as[" + dir + "/img/x.gif])\r\n" +                //
                       o + "/b.html(OK:Saved as[" + dir + "/b.html])\r\n" +                      //
                       o + "/__/redirect?to=" + back + "(OK:Saved as[" + plainDir + "/c.html])\r\n");
  // The links among the copy's pages lead to the copy, the one back to http included.
  ExpectFiles({{dir + "/index.html", "<html><a href=\"a.html\">a</a><img src=\"img/x.gif\"><a href=\"b.html\">b</a>"
                                     "<a href=\"../" + plainDir + "/c.html\">c</a></html>"},
               {dir + "/a.html", "<html>a</html>"},
               {dir + "/img/x.gif", "GIF89a"},
               {dir + "/b.html", "<html>b</html>"},
               {plainDir + "/c.html", "<html>c</html>"}});
}

TEST_F(HttpsEndToEnd, PasswordsAndResumingWorkOverTls) {
  auto server = HttpsTestServer::Start(tls.Path(), "good");
  const std::string basic = server->Url("/__/basic?user=u&pw=p");
  host.startUrls = {basic};
  host.passwords = {Credentials{"u", "p"}};
  EXPECT_EQ(Lines(Run()), basic + "(OK:Saved as[basic.htm])\r\n");
  EXPECT_EQ(ReadFile(save / "basic.htm"), "welcome u");

  // The first answer breaks off after a third of its body; the next run asks the server for the
  // rest only, and the cache supplies the part it kept.
  settings.UseCache = 1;
  const std::string object = "/__/flaky?n=300000&cut=100000&id=r&etag=%22e1%22";
  host.startUrls = {server->Url(object)};
  EXPECT_NE(Lines(Run()).find("(NG:The response body ended before its Content-Length"), std::string::npos);
  EXPECT_TRUE(
      std::filesystem::exists(inet::cache::MetaPathIn(cache.Path() / "trawlkit", server->Url(object))))
      << "the entry is kept under its https URL";
  EXPECT_EQ(Lines(Run()), server->Url(object) + "(OK:Saved as[flaky.htm])\r\n");
  EXPECT_EQ(ReadFile(save / "flaky.htm"), Body(300000));
  HttpStats stats = server->Stats();
  EXPECT_NE(stats.json.find("\"range\": \"bytes=100000-\""), std::string::npos) << stats.json;
  EXPECT_LT(stats.bodyBytes, 300000 + 100) << "the whole body was sent again: " << stats.json;
}

TEST_F(HttpsEndToEnd, ACertificateThatDoesNotVerifyIsOneErrorLineAndNothingSaved) {
  const struct {
    const char* cert;
    const char* reason;  // libcurl's words for what the TLS library refused
  } rows[] = {
      {"wronghost", "no alternative certificate subject name matches target host name '127.0.0.1'"},
      {"expired", "certificate has expired"},
      {"unknown", "unable to get local issuer certificate"},
  };
  WriteFile(site / "index.html", "<html><a href=\"a.html\">a</a></html>");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.cert);
    auto server = HttpsTestServer::Start(tls.Path(), row.cert, site.Path());
    const std::string url = server->Url("/index.html");
    host.startUrls = {url};
    const std::string lines = Lines(Run());
    EXPECT_TRUE(lines.starts_with(url + "(NG:A secure channel could not be established: ")) << lines;
    EXPECT_NE(lines.find(row.reason), std::string::npos) << lines;
    EXPECT_TRUE(lines.ends_with("(12165))\r\n")) << lines;
    EXPECT_EQ(lines.find("\r\n"), lines.size() - 2) << "one line: " << lines;
    EXPECT_EQ(counters.Errors, 1) << row.cert;
    ExpectFiles({});
    EXPECT_EQ(server->Stats().requests, 0) << row.cert;
  }
}

}  // namespace
}  // namespace tk::test

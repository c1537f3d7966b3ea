// The HTTP test server's static tree, which the engine and link-scanner tests crawl: content
// types by extension, index pages, validators, 404, and no way out of the tree.
#include <gtest/gtest.h>

#include "inet/inet.h"
#include "support/inet_test_util.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::inet {
namespace {

constexpr std::uint32_t kReload = kFlagReload | kFlagNoAutoRedirect;

TEST(HttpTestServer, ServesAStaticTree) {
  test::TempDir site;
  std::filesystem::create_directories(site / "sub");
  test::WriteFile(site / "index.html", "<a href=\"sub/page.htm\">x</a>");
  test::WriteFile(site / "style.css", "body{}");
  test::WriteFile(site / "pic.gif", "GIF89a");
  test::WriteFile(site / "sub" / "page.htm", "<p>page</p>");
  test::WriteFile(site / "sub" / "index.html", "sub index");
  test::WriteFile(site / "data.unknownext", "?");
  auto server = test::HttpTestServer::Start(site.Path());
  Error err;
  auto session = OpenSession("trawlkit-test", err);
  auto conn = ConnectHttp(*session, "127.0.0.1", server->Port(), err);
  ASSERT_TRUE(conn);

  struct Row {
    const char* object;
    int status;
    const char* type;
    const char* body;
  };
  const Row rows[] = {
      {"/", 200, "text/html", "<a href=\"sub/page.htm\">x</a>"},
      {"/index.html", 200, "text/html", "<a href=\"sub/page.htm\">x</a>"},
      {"/style.css", 200, "text/css", "body{}"},
      {"/pic.gif", 200, "image/gif", "GIF89a"},
      {"/sub/page.htm", 200, "text/html", "<p>page</p>"},
      {"/sub/", 200, "text/html", "sub index"},
      {"/data.unknownext", 200, "application/octet-stream", "?"},
      {"/missing.html", 404, "", nullptr},
      {"/%2e%2e/%2e%2e/etc/passwd", 404, "", nullptr},
      {"/style.css?v=2", 200, "text/css", "body{}"},
  };
  for (const Row& r : rows) {
    auto req = conn->OpenRequest(r.object, kReload, err);
    ASSERT_TRUE(req) << r.object << err.message;
    EXPECT_EQ(req->StatusCode(), r.status) << r.object;
    if (r.status != 200) continue;
    EXPECT_EQ(req->ContentType().substr(0, std::string(r.type).size()), r.type) << r.object;
    EXPECT_NE(req->RawHeaders().find("ETag: "), std::string::npos);
    EXPECT_NE(req->RawHeaders().find("Last-Modified: "), std::string::npos);
    EXPECT_EQ(*test::ReadAll(*req, err), r.body) << r.object;
  }
  // Scripted routes stay available next to the tree.
  auto req = conn->OpenRequest("/__/bytes?n=3", kReload, err);
  ASSERT_TRUE(req);
  EXPECT_EQ(*test::ReadAll(*req, err), test::Body(3));
  EXPECT_EQ(server->Stats().connections, 1);
}

}  // namespace
}  // namespace tk::inet

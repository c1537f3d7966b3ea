// Link values against the page they stand on.
#include <gtest/gtest.h>

#include "links/resolve_link.h"

namespace tk {
namespace {

TEST(ResolveLink, Rows) {
  const struct {
    const char* value;
    const char* object;
    int port;
    const char* url;  // "" when the link is dropped
  } rows[] = {
      {"img/a.gif", "/dir/page.html", 80, "http://H/dir/img/a.gif"},
      {"/top.html", "/dir/page.html", 80, "http://H/top.html"},
      {"a.html", "/", 80, "http://H/a.html"},
      {"a.html", "page.html", 80, "http://H/a.html"},
      {"../up.html", "/dir/sub/p.html", 80, "http://H/dir/sub/../up.html"},
      {"mailto:someone", "/dir/page.html", 80, ""},
      {"MAILTO:x", "/dir/page.html", 80, ""},
      {"#section", "/dir/page.html", 80, ""},
      {"", "/dir/page.html", 80, ""},
      {"ftp://f.example/pub/a.zip", "/dir/page.html", 80, "ftp://f.example/pub/a.zip"},
      {"http://o/p.html?q=1", "/dir/page.html", 80, "http://o/p.html?q=1"},
      {"http://", "/dir/page.html", 80, ""},
      {"https://o/p.html", "/dir/page.html", 80, ""},
      {"javascript:void(0)", "/dir/page.html", 80, ""},
      {"data:image/gif;base64,R0lGOD", "/dir/page.html", 80, ""},
      {"c:/windows/x.gif", "/dir/page.html", 80, ""},
      {"//cdn.example/x.js", "/dir/page.html", 80, "http://cdn.example/x.js"},
      {"x.html", "/dir/page.html", 8080, "http://H:8080/dir/x.html"},
      {"/x.html", "/dir/page.html", 8080, "http://H:8080/x.html"},
      {"x.html", "/dir/p.php?u=/a/b", 80, "http://H/dir/x.html"},
      {"?page=2", "/dir/p.php?page=1", 80, "http://H/dir/p.php?page=2"},
      {"page.php?t=a:b", "/dir/page.html", 80, "http://H/dir/page.php?t=a:b"},
      {"1a:b.html", "/dir/page.html", 80, "http://H/dir/1a:b.html"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ResolveLink(r.value, "H", r.port, r.object), r.url) << r.value << " on " << r.object;
}

TEST(ResolveLink, WithHttpsTakenRelativeLinksKeepThePagesSchemeAndHttpsLinksAreFetched) {
  const struct {
    const char* value;
    const char* scheme;  // the page's
    int port;
    bool https;          // the project takes https
    const char* url;
  } rows[] = {
      {"img/a.gif", "https", 443, true, "https://H/dir/img/a.gif"},
      {"/top.html", "https", 8443, true, "https://H:8443/top.html"},
      {"x.html", "https", 80, true, "https://H:80/dir/x.html"},
      {"?page=2", "https", 443, true, "https://H/dir/page.html?page=2"},
      {"//cdn.example/x.js", "https", 443, true, "https://cdn.example/x.js"},
      {"http://o/p.html", "https", 443, true, "http://o/p.html"},
      {"https://o/p.html", "http", 80, true, "https://o/p.html"},
      {"HTTPS://o:8443/p.html", "http", 80, true, "HTTPS://o:8443/p.html"},
      {"https://", "http", 80, true, ""},
      {"https://o/p.html", "http", 80, false, ""},
      {"x.html", "http", 443, true, "http://H:443/dir/x.html"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ResolveLink(r.value, "H", r.port, "/dir/page.html", r.scheme, r.https), r.url)
        << r.value << " on " << r.scheme << ":" << r.port;
}

}  // namespace
}  // namespace tk

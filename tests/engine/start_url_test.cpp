// Which texts a run takes as start URLs: the one rule the wizard and the CLI share.
#include "engine/start_url.h"

#include <gtest/gtest.h>

namespace tk {
namespace {

TEST(StartUrl, HttpAndFtpAlwaysHttpsOnlyWhenOn) {
  struct Case {
    const char* url;
    StartUrlKind off;  // with the project's HTTPS off
    StartUrlKind on;   // and on
  };
  using K = StartUrlKind;
  const Case cases[] = {
      {"http://a/", K::Http, K::Http},
      {"HTTP://A/X.HTML", K::Http, K::Http},
      {"http://a:8080/x?q#f", K::Http, K::Http},
      {"ftp://a/pub/", K::Ftp, K::Ftp},
      {"https://a/", K::HttpsOff, K::Http},
      {"HTTPS://a:8443/x", K::HttpsOff, K::Http},
      {"file:///etc/passwd", K::Other, K::Other},
      {"mailto:me@example.com", K::Other, K::Other},
      {"gopher://a/", K::Other, K::Other},
      {"www.example.com", K::Other, K::Other},  // no scheme: the CLI adds one before asking
      {"http://", K::Other, K::Other},
      {"http://a:99999/", K::Other, K::Other},
      {"", K::Other, K::Other},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KindOfStartUrl(c.url, false), c.off) << c.url;
    EXPECT_EQ(KindOfStartUrl(c.url, true), c.on) << c.url << " with HTTPS on";
  }
}

}  // namespace
}  // namespace tk

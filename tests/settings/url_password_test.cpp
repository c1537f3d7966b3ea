// The password of a URL left out wherever a URL is shown or stored.
#include <gtest/gtest.h>

#include "settings/url_password.h"

namespace tk {
namespace {

TEST(WithoutPassword, KeepsTheUserAndEverythingButThePassword) {
  struct Row {
    const char* url;
    const char* shown;
  } rows[] = {
      {"http://bob:s3cret@h/a", "http://bob@h/a"},
      {"http://bob:s3cret@h:8080/a?x=1#f", "http://bob@h:8080/a?x=1#f"},
      {"ftp://bob:a:b@h/pub/", "ftp://bob@h/pub/"},
      {"http://bob:p@x@h/", "http://bob@h/"},  // the last "@" ends the login, as the parser reads it
      {"http://bob:%40x@h/", "http://bob@h/"},
      {"http://:s3cret@h/", "http://@h/"},
      {"http://bob@h/", "http://bob@h/"},
      {"http://h/a@b:c", "http://h/a@b:c"},            // an "@" in the path is no login
      {"http://h/?u=bob:s3cret@h", "http://h/?u=bob:s3cret@h"},
      {"http://h:80/", "http://h:80/"},
      {"not a url", "not a url"},
  };
  for (const Row& row : rows) EXPECT_EQ(WithoutPassword(row.url), row.shown) << row.url;
}

}  // namespace
}  // namespace tk

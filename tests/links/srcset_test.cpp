// Splitting srcset values into their candidate URLs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/srcset.h"

namespace tk::test {
namespace {

struct SrcsetRow {
  const char* value;
  std::vector<std::string> urls;
};

TEST(Srcset, CandidateUrls) {
  const std::vector<SrcsetRow> rows = {
      {"a.png", {"a.png"}},
      {"a.png 1x, b.png 2x", {"a.png", "b.png"}},
      {"s.jpg 480w, m.jpg 800w,l.jpg 1080w", {"s.jpg", "m.jpg", "l.jpg"}},
      {"a.png 1x,b.png 2x", {"a.png", "b.png"}},
      {"  \t\na.png\r\n 1x ,\f b.png   2x  ", {"a.png", "b.png"}},
      {",, a.png 1x ,, ,b.png", {"a.png", "b.png"}},
      {"a.png, b.png", {"a.png", "b.png"}},
      {"a.png,,, b.png 2x", {"a.png", "b.png"}},
      // Commas inside a URL stay in it; a URL without blanks after it swallows what follows.
      {"img.php?s=1,2 1x, img.php?s=3,4 2x", {"img.php?s=1,2", "img.php?s=3,4"}},
      {"a.png,b.png 2x", {"a.png,b.png"}},
      {"data:image/png;base64,iVBO= 1x, b.png 2x", {"data:image/png;base64,iVBO=", "b.png"}},
      // A comma inside parentheses belongs to the descriptor.
      {"a.png 1x (x, y.png), b.png 2x", {"a.png", "b.png"}},
      {"a.png (unclosed, b.png", {"a.png"}},
      // Descriptors a browser would reject still leave their URL.
      {"a.png 2q 3q, b.png", {"a.png", "b.png"}},
      {"", {}},
      {" , ,, ", {}},
  };
  for (const SrcsetRow& row : rows) {
    SCOPED_TRACE(row.value);
    const std::string_view value = row.value;
    std::vector<std::string> urls;
    for (const SrcsetCandidate& c : ParseSrcset(value)) {
      ASSERT_LE(c.start + c.length, value.size());
      urls.emplace_back(value.substr(c.start, c.length));
    }
    EXPECT_EQ(urls, row.urls);
  }
}

}  // namespace
}  // namespace tk::test

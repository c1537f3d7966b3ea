#include <gtest/gtest.h>

#include <string>

#include "base/hash.h"
#include "base/percent.h"

namespace tk {
namespace {

// Cache entries are named by this hash: a change of even one value would orphan every entry
// that earlier runs stored. The values are FNV-1a's published ones.
TEST(Fnv, StableValuesAndPiecewiseHashing) {
  EXPECT_EQ(Fnv1a(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1a("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(Fnv1a("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(Fnv1a("bar", Fnv1a("foo")), Fnv1a("foobar"));
  EXPECT_EQ(Fnv1a(std::string("a\0b", 3)), Fnv1a("b", Fnv1a(std::string("a\0", 2)))) << "NUL is a byte";

  EXPECT_EQ(Fnv1aNoCase("HTTP://Example.COM/"), Fnv1a("http://example.com/"));
  EXPECT_EQ(HashNoCase{}("Index.HTML"), HashNoCase{}("index.html"));
  // "Ä" and "ä" differ in their second UTF-8 byte; only ASCII letters fold.
  EXPECT_NE(Fnv1aNoCase("\xC3\x84"), Fnv1aNoCase("\xC3\xA4"));
}

TEST(Percent, EscapesReadAndWritten) {
  struct Read {
    const char* text;
    std::size_t at;
    int byte;
  };
  const Read reads[] = {
      {"%41", 0, 0x41}, {"a%2f", 1, 0x2F},  {"%fF", 0, 0xFF}, {"%00", 0, 0},
      {"%4", 0, -1},    {"a%41", 0, -1},    {"%G1", 0, -1},   {"%1G", 0, -1},
      {"%%41", 0, -1},  {"%%41", 1, 0x41},  {"", 0, -1},      {"%41", 1, -1},
  };
  for (const Read& r : reads) EXPECT_EQ(PercentEscapeAt(r.text, r.at), r.byte) << r.text << " at " << r.at;

  std::string out = "x";
  AppendPercentEscape(out, 0xAB);
  AppendPercentEscape(out, 0x0A);
  EXPECT_EQ(out, "x%AB%0A") << "two upper-case digits, always";

  out.clear();
  AppendPercentEncoded(out, "a b/\xE7\x84\xA1%", [](unsigned char c) { return c == ' ' || c >= 0x80; });
  EXPECT_EQ(out, "a%20b/%E7%84%A1%") << "only what the rule names is escaped";
}

}  // namespace
}  // namespace tk

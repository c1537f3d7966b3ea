#include "base/text.h"

#include <gtest/gtest.h>

namespace tk {
namespace {

TEST(Text, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("HTTP://Example.COM/", "http://example.com/"));
  // "Ä" in UTF-8 differs from "ä" in its second byte; folding must not pretend otherwise.
  EXPECT_FALSE(EqualsNoCase("\xC3\x84", "\xC3\xA4"));
  EXPECT_EQ(AsciiLower("ABC無題XYZ"), "abc無題xyz");
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  // Bytes above 0x7F sort after ASCII, as unsigned bytes.
  EXPECT_LT(CompareNoCase("z", "\xE7\x84\xA1"), 0);
  EXPECT_TRUE(EndsWithNoCase("site.TKP", ".tkp"));
  EXPECT_FALSE(EndsWithNoCase("tkp", ".tkp"));
}

TEST(Text, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
  EXPECT_TRUE(IsValidUtf8("無題.tkp"));
  EXPECT_FALSE(IsValidUtf8("\x96\xB3\x91\xE8"));    // 無題 in CP932
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));            // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));        // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xE7\x84"));            // cut short
}

TEST(Text, Cp932Decoding) {
  std::string out;
  ASSERT_TRUE(DecodeCp932("\x96\xB3\x91\xE8.tkp", out));
  EXPECT_EQ(out, "無題.tkp");
  // 0x5C is the second byte of 表 (0x95 0x5C): it must not come out as a backslash.
  ASSERT_TRUE(DecodeCp932("\x95\x5C", out));
  EXPECT_EQ(out, "表");
  EXPECT_FALSE(DecodeCp932("\x81", out));  // a lead byte with nothing after it
}

}  // namespace
}  // namespace tk

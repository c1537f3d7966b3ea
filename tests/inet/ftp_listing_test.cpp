// The listing parsers and the "*" pattern as tables.
#include <gtest/gtest.h>

#include "inet/ftp_listing.h"

namespace tk::inet {
namespace {

TEST(FtpListing, UnixLines) {
  auto l = ParseListLine("-rw-r--r--   1 owner    group        1234 Jan 01 12:00 a.txt");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "a.txt");
  EXPECT_EQ(l->size, 1234u);
  EXPECT_FALSE(l->directory);

  l = ParseListLine("drwxr-xr-x   2 owner    group        4096 Dec 31  2020 sub dir");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "sub dir");
  EXPECT_TRUE(l->directory);

  l = ParseListLine("-rw-r--r-- 1 ftp 5000000000 Mar  3 09:00 big.iso");  // no group
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "big.iso");
  EXPECT_EQ(l->size, 5000000000u);

  l = ParseListLine("lrwxrwxrwx 1 root root 7 Feb 2 10:00 latest -> v1.2.0");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "latest");

  EXPECT_FALSE(ParseListLine("total 12"));
  EXPECT_FALSE(ParseListLine(""));
  EXPECT_FALSE(ParseListLine("drwxr-xr-x 2 o g 4096 Jan 1 12:00 ."));
  EXPECT_FALSE(ParseListLine("drwxr-xr-x 2 o g 4096 Jan 1 12:00 .."));
  EXPECT_FALSE(ParseListLine("-rw-r--r-- 1 o g notanumber Jan 1 12:00 x"));
}

TEST(FtpListing, DosLines) {
  auto l = ParseListLine("01-31-21  10:15AM       <DIR>          Program Files");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "Program Files");
  EXPECT_TRUE(l->directory);

  l = ParseListLine("01-31-21  10:15AM                 1,234 readme.txt");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "readme.txt");
  EXPECT_EQ(l->size, 1234u);
  EXPECT_FALSE(l->directory);

  l = ParseListLine("2021/01/31  22:15            99 x.bin");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->size, 99u);
}

TEST(FtpListing, MlsdLines) {
  auto l = ParseMlsdLine("type=file;size=42;modify=20210101120000;perm=r; a b.txt");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->name, "a b.txt");
  EXPECT_EQ(l->size, 42u);
  EXPECT_FALSE(l->directory);

  l = ParseMlsdLine("Type=dir;Modify=20210101120000; pub");
  ASSERT_TRUE(l);
  EXPECT_TRUE(l->directory);
  EXPECT_EQ(l->name, "pub");

  EXPECT_FALSE(ParseMlsdLine("type=cdir; /pub"));
  EXPECT_FALSE(ParseMlsdLine("type=pdir; .."));
  EXPECT_FALSE(ParseMlsdLine("garbage"));
}

TEST(FtpListing, WholeListingKeepsServerOrder) {
  auto v = ParseListing(
      "type=file;size=1; z.txt\r\ntype=cdir; .\r\ntype=file;size=2; a.txt\r\n", true);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].name, "z.txt");
  EXPECT_EQ(v[1].name, "a.txt");
  v = ParseListing("total 2\n-rw-r--r-- 1 o g 1 Jan 1 12:00 b\n-rw-r--r-- 1 o g 2 Jan 1 12:00 a",
                   false);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].name, "b");
  EXPECT_EQ(v[1].size, 2u);
}

TEST(FtpListing, Pattern) {
  EXPECT_TRUE(MatchesPattern("*", "anything"));
  EXPECT_TRUE(MatchesPattern("*", ""));
  EXPECT_TRUE(MatchesPattern("*.txt", "a.txt"));
  EXPECT_FALSE(MatchesPattern("*.txt", "a.txt.bak"));
  EXPECT_TRUE(MatchesPattern("a.txt*", "a.txt"));
  EXPECT_TRUE(MatchesPattern("a.txt*", "a.txt.old"));
  EXPECT_FALSE(MatchesPattern("a.txt*", "b.txt"));
  EXPECT_TRUE(MatchesPattern("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(MatchesPattern("a*b*c", "aXXbYY"));
  EXPECT_TRUE(MatchesPattern("**x", "x"));
  EXPECT_FALSE(MatchesPattern("A.TXT", "a.txt"));  // servers' names are case-sensitive
  EXPECT_TRUE(MatchesPattern("name", "name"));
}

}  // namespace
}  // namespace tk::inet

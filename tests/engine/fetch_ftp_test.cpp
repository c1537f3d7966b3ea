// FTP retrieval where a real server is awkward: failing reads, unreachable hosts, odd names.
#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

using FetchFtp = CrawlFixture;

// Every NG line counts an error and a file, as over HTTP: a failed transfer, a server that
// cannot be reached, a file that is not there.
TEST_F(FetchFtp, EveryNgLineCountsAnError) {
  host.startUrls = {"ftp://f/*"};
  net.ftp["f:21"] = {{"/a.bin", std::string(2000, 'a')}, {"/b.bin", "bb"}};
  net.ftp["f:21"][0].failRead = true;
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/a.bin(NG:The connection with the server was reset(12030))\r\n" +
                     "ftp://f/b.bin(OK:Saved as[b.bin])\r\n" + Summary(2, 1, 0, 2));

  host.startUrls = {"ftp://f/missing.bin"};
  std::filesystem::remove(save / "Trawlkit.txt");
  EXPECT_EQ(Run(), header + "ftp://f/missing.bin(NG:Not found)\r\n" + Summary(1, 1, 0, 0));

  net.failFtpConnect = true;
  host.startUrls = {"ftp://down/x"};
  std::filesystem::remove(save / "Trawlkit.txt");
  std::string down = Run();
  EXPECT_EQ(down, header + "ftp://down/x(NG:The server name or address could not be resolved(12007))\r\n" +
                      Summary(1, 1, 0, 0));
}

TEST_F(FetchFtp, ListingNamesNeverLeadOutOfTheSaveFolder) {
  settings.SaveFlat = 0;
  host.startUrls = {"ftp://f/pub/*"};
  net.ftp["f:21"] = {{"/pub/..", "dots"}, {"/pub/.", "dot"}};
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/pub/..(OK:Saved as[ftp_f/pub/_])\r\nftp://f/pub/.(OK:Saved as[ftp_f/pub/_(1)])\r\n" +
                     Summary(2, 0, 0, 7));
}

}  // namespace
}  // namespace tk::test

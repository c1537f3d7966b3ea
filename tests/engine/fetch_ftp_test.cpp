// FTP retrieval: single files, patterns, listings, failures and cancellation.
#include "engine/run_fixture.h"

namespace tk::test {
namespace {

using FetchFtp = RunFixture;

TEST_F(FetchFtp, AFileUrlTakesExactlyThatFile) {
  host.startUrls = {"ftp://f/pub/a.txt"};
  net.ftp["f:21"] = {{"/pub/a.txt.bak", "old"}, {"/pub/a.txt", "data"}, {"/pub/a.txtx", "x"}};
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/pub/a.txt(OK:Saved as[a.txt])\r\n" + Summary(1, 0, 0, 4));
  EXPECT_EQ(net.requests, (std::vector<std::string>{"LIST /pub/a.txt*", "RETR /pub/a.txt"}));
  EXPECT_EQ(host.files, (std::vector<std::string>{"ftp://f/pub/a.txt -> a.txt (4)"}));
}

TEST_F(FetchFtp, APatternTakesEveryMatchingFileAndNoFolder) {
  settings.SaveFlat = 0;
  host.startUrls = {"ftp://f:2121/pub/*.txt"};
  net.ftp["f:2121"] = {{"/pub/a.txt", "a"}, {"/pub/dir.txt/", ""}, {"/pub/b.bin", "b"}, {"/pub/c.txt", "cc"},
                       {"/other/d.txt", "d"}};
  std::string log = Run();
  // The file URLs carry no port.
  EXPECT_EQ(log, header + "ftp://f/pub/a.txt(OK:Saved as[ftp_f~2121/pub/a.txt])\r\n" +
                     "ftp://f/pub/c.txt(OK:Saved as[ftp_f~2121/pub/c.txt])\r\n" + Summary(2, 0, 0, 3));
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"ftp_f~2121/pub/a.txt", "ftp_f~2121/pub/c.txt"}));
}

TEST_F(FetchFtp, NothingFoundIsOneLineWithoutCounts) {
  host.startUrls = {"ftp://f/pub/", "ftp://f/pub/none.txt"};
  net.ftp["f:21"] = {{"/pub/a.txt", "a"}};
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/pub/(NG:Not found)\r\nftp://f/pub/none.txt(NG:Not found)\r\n" + Summary(0, 0, 0, 0));
}

TEST_F(FetchFtp, ASkippedFileIsOnlySkipped) {
  settings.ConfirmOverwrite = 1;
  WriteFile(dir / "a.txt", "mine");
  host.startUrls = {"ftp://f/a.txt"};
  net.ftp["f:21"] = {{"/a.txt", "theirs"}};
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/a.txt(SKIPPED:No overwrite)\r\n" + Summary(1, 0, 1, 0));
  EXPECT_EQ(host.overwriteAsked, (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(Saved("a.txt"), "mine");
}

TEST_F(FetchFtp, FtpLinksIgnoreTheSiteAndTypeRules) {
  settings.ExcludeType = ".zip";
  host.startUrls = {"http://h/"};
  net.Page("h:80/", "<html><a href=\"ftp://elsewhere/x.zip\">x</a></html>");
  net.ftp["elsewhere:21"] = {{"/x.zip", "PK"}};
  std::string log = Run();
  EXPECT_NE(log.find("ftp://elsewhere/x.zip(OK:Saved as[x.zip])\r\n"), std::string::npos);
  EXPECT_EQ(Saved("~TrawlDlFile_0.htm"), "<html><a href=\"x.zip\">x</a></html>");
}

TEST_F(FetchFtp, ErrorsOutsideAFileAreNotCountedErrorsOnAFileAre) {
  host.startUrls = {"ftp://f/*"};
  net.ftp["f:21"] = {{"/a.bin", std::string(2000, 'a')}, {"/b.bin", "bb"}};
  net.ftp["f:21"][0].failRead = true;
  std::string log = Run();
  EXPECT_EQ(log, header + "ftp://f/a.bin(NG:The connection with the server was reset(12030))\r\n" +
                     "ftp://f/b.bin(OK:Saved as[b.bin])\r\n" + Summary(2, 1, 0, 2));

  net.failFtpConnect = true;
  host.startUrls = {"ftp://down/x"};
  std::filesystem::remove(dir / "Trawlkit.txt");
  std::string down = Run();
  EXPECT_EQ(down, header + "ftp://down/x(NG:The server name or address could not be resolved(12007))\r\n" +
                      Summary(0, 0, 0, 0));
}

TEST_F(FetchFtp, CancelDuringAFileWritesNoLineAndKeepsThePart) {
  host.startUrls = {"ftp://f/*"};
  net.ftp["f:21"] = {{"/big.bin", std::string(50000, 'x')}, {"/next.bin", "n"}};
  int chunks = 0;
  net.onChunk = [&](const std::string&) {
    if (++chunks == 2) host.cancel = true;
  };
  std::string log = Run();
  EXPECT_EQ(log, header + Summary(0, 0, 0, 0));
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"big.bin"}));
  EXPECT_EQ(net.requests, (std::vector<std::string>{"LIST /*", "RETR /big.bin"}));
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

// The run driver: settings block, summary, log file, visited list, start pages, hang-up.
#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

using RunLog = CrawlFixture;

TEST_F(RunLog, SettingsBlockAndSummaryAreByteExact) {
  settings.LinkLayers = 3;
  settings.SameSiteOnly = 1;
  settings.SaveFlat = 0;
  settings.UseCache = 1;
  settings.ConfirmOverwrite = 0;
  settings.ExcludeType = ".gif.jpg";
  std::string log = Run();
  std::string saveDir = save.Path().string() + "/";
  EXPECT_EQ(log,
            "12:34:56:Start downloading\r\n"
            "Excluding file types:.gif.jpg\r\n"
            "Saving to directory:" + saveDir + "\r\n"
            "Links to browse:Start pages & 3layers\r\n"
            "Download pages at:The same site as the start page\r\n"
            "Files saved:In same directory structure as server\r\n"
            "Using cashe:Yes\r\n"
            "Confirm before overwrite:No\r\n"
            "Summary:\r\n"
            "\t   [Files dowloaded]            [Errors]     [Files skipped]   [Bytes dowloaded]\r\n"
            "\t                   0                   0                   0                   0\r\n"
            "\r\n12:34:56:End downloading\r\n");
  EXPECT_EQ(host.box, log);
  EXPECT_EQ(host.clears, 1);
  EXPECT_EQ(host.ends, 1);
  EXPECT_EQ(net.agent, "trawlkit");
}

TEST_F(RunLog, SaveFolderGetsItsSlashAndTheLogKeepsEarlierRuns) {
  WriteFile(save / "Trawlkit.txt", "earlier run\r\n");
  settings.ProjectPath = "job.tkp";
  std::string log = Run();
  EXPECT_EQ(settings.SaveDir, save.Path().string() + "/");
  EXPECT_EQ(settings.ProjectPath, save.Path().string() + "/job.tkp");
  EXPECT_EQ(log, "earlier run\r\n" + header + Summary(0, 0, 0, 0));
  // A second run appends again, and does not double the slash.
  std::string again = Run();
  EXPECT_EQ(again, "earlier run\r\n" + header + Summary(0, 0, 0, 0) + header + Summary(0, 0, 0, 0));
}

TEST_F(RunLog, ASessionThatCannotOpenEndsAtTheSummary) {
  net.failSession = true;
  host.startUrls = {"http://h/"};
  net.Page("h:80/", "x");
  std::string log = Run();
  EXPECT_EQ(log, header + "Failed in createing internet session:No more handles could be generated at this time\r\n" +
                     Summary(0, 0, 0, 0));
  EXPECT_TRUE(net.requests.empty());
}

TEST_F(RunLog, ACacheFolderRefusedIsSaidBelowTheSettingsAndTheRunGoesOn) {
  net.cacheRefusal = "/x/trawlkit is not a folder of this user alone";
  host.startUrls = {"http://h/a.htm"};
  net.Page("h:80/a.htm", "abc");
  std::string log = Run();
  EXPECT_EQ(log, header + "Cache off for this run:/x/trawlkit is not a folder of this user alone\r\n" +
                     "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
  // A run that uses no cache does not look at the folder.
  settings.UseCache = 0;
  std::filesystem::remove(save / "Trawlkit.txt");
  std::filesystem::remove(save / "a.htm");
  log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
}

TEST_F(RunLog, ALogThatCannotOpenLeavesTheBoxRunning) {
  std::filesystem::create_directory(save / "Trawlkit.txt");  // a folder in the log's place
  host.startUrls = {"http://h/a.htm"};
  net.Page("h:80/a.htm", "abc");
  Run();
  // Said first, where the box's reader sees it; the run goes on.
  EXPECT_EQ(host.box, "The run log cannot be written (it cannot be opened): " + (save / "Trawlkit.txt").string() +
                          "\r\n" + header + "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
}

TEST_F(RunLog, AUrlIsFetchedOnceWhateverItsSpelling) {
  host.startUrls = {"http://h/a.htm", "http://h/a.htm", "HTTP://H/A.HTM", "http://h:80/x/../a.htm"};
  net.Page("h:80/a.htm", "abc");
  net.Page("H:80/A.HTM", "abc");
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
  EXPECT_EQ(net.requests.size(), 1u);
}

TEST_F(RunLog, UnsupportedServicesReachTheBoxOnly) {
  host.startUrls = {"https://secure/", "mailto:someone@example.com", "not a url", "http://h/a.htm"};
  net.Page("h:80/a.htm", "abc");
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
  EXPECT_EQ(host.box, header + "https://secure/(NG:Service not supported)\r\n" +
                          "mailto:someone@example.com(NG:Service not supported)\r\n" +
                          "not a url(NG:Service not supported)\r\n" + "http://h/a.htm(OK:Saved as[a.htm])\r\n" +
                          Summary(1, 0, 0, 3));
}

TEST_F(RunLog, SummaryCountsErrorsAndSkipsAsFiles) {
  settings.ConfirmOverwrite = -1;  // skip every existing file without asking
  WriteFile(save / "s1.htm", "old");
  WriteFile(save / "s2.htm", "old");
  host.startUrls = {"http://h/a.htm", "http://h/b.htm", "http://h/c.htm", "http://h/missing.htm",
                    "http://h/s1.htm", "http://h/s2.htm"};
  for (const char* p : {"a", "b", "c", "s1", "s2"}) net.Page(std::string("h:80/") + p + ".htm", "12345");
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\nhttp://h/b.htm(OK:Saved as[b.htm])\r\n"
                          "http://h/c.htm(OK:Saved as[c.htm])\r\nhttp://h/missing.htm(NG:Bad Status(404))\r\n"
                          "http://h/s1.htm(SKIPPED:No overwrite)\r\nhttp://h/s2.htm(SKIPPED:No overwrite)\r\n" +
                     Summary(6, 1, 2, 15));
  ASSERT_EQ(host.counts.size(), 6u);
  EXPECT_EQ(host.counts.back().FilesDownloaded, 6);
  EXPECT_EQ(Saved("s1.htm"), "old");
}

TEST_F(RunLog, CancelBetweenStartPagesStillWritesTheSummary) {
  host.startUrls = {"http://h/a.htm", "http://h/b.htm", "http://h/c.htm"};
  net.Page("h:80/a.htm", "abc");
  net.Page("h:80/b.htm", "abc");
  host.cancelAfterCounts = 1;  // the user cancels as the first page's counts show
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\n" + Summary(1, 0, 0, 3));
  EXPECT_EQ(SavedFiles(), (std::set<std::string>{"a.htm"}));
  EXPECT_EQ(net.requests.size(), 1u);
  EXPECT_EQ(host.ends, 1);
}

TEST_F(RunLog, TheStartListIsReadAgainBeforeEachStartPage) {
  host.startUrls = {"http://h/a.htm"};
  net.Page("h:80/a.htm", "a");
  net.Page("h:80/b.htm", "b");
  host.onBeginFile = [&](const std::string& url) {
    if (url == "http://h/a.htm") host.startUrls.push_back("http://h/b.htm");
  };
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/a.htm(OK:Saved as[a.htm])\r\nhttp://h/b.htm(OK:Saved as[b.htm])\r\n" +
                     Summary(2, 0, 0, 2));
}

TEST_F(RunLog, ADownloadedFileNeverTakesTheLogsName) {
  host.startUrls = {"http://h/Trawlkit.txt", "ftp://f/Trawlkit.txt"};
  net.Page("h:80/Trawlkit.txt", "not the log", "text/plain");
  net.ftp["f:21"] = {{"/Trawlkit.txt", "nor this"}};
  std::string log = Run();
  EXPECT_EQ(log, header + "http://h/Trawlkit.txt(OK:Saved as[trawlkit(1).txt])\r\n" +
                     "ftp://f/Trawlkit.txt(OK:Saved as[Trawlkit(2).txt])\r\n" + Summary(2, 0, 0, 19));
  EXPECT_EQ(Saved("trawlkit(1).txt"), "not the log");
  EXPECT_EQ(Saved("Trawlkit(2).txt"), "nor this");
}

TEST_F(RunLog, HangUpIsOfferedOnlyForAModem) {
  net.connectionState = 0;
  Run();
  EXPECT_EQ(host.hangUpAsks, 0);
  net.connectionState = inet::kConnectionModem;
  host.hangUpAnswer = false;
  Run();
  EXPECT_EQ(host.hangUpAsks, 1);
  EXPECT_EQ(net.hangUps, 0);
  host.hangUpAnswer = true;
  Run();
  EXPECT_EQ(net.hangUps, 1);
  net.connectionState = inet::kConnectionModem | 4;
  Run();
  EXPECT_EQ(host.hangUpAsks, 2);
}

}  // namespace
}  // namespace tk::test

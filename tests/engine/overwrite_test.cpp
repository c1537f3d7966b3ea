// The overwrite question: when it is asked, and what its four answers do to the run.
#include "support/crawl_fixture.h"

namespace tk::test {
namespace {

class Overwrite : public CrawlFixture {
 protected:
  void FourExistingFiles() {
    for (const char* n : {"1", "2", "3", "4"}) {
      WriteFile(save / (std::string(n) + ".txt"), "old");
      host.startUrls.push_back(std::string("http://h/") + n + ".txt");
      net.Page(std::string("h:80/") + n + ".txt", "new", "text/plain");
    }
  }
  std::string Line(const char* n, bool saved) {
    return std::string("http://h/") + n + ".txt" + (saved ? std::string("(OK:Saved as[") + n + ".txt])\r\n"
                                                         : std::string("(SKIPPED:No overwrite)\r\n"));
  }
};

TEST_F(Overwrite, NoQuestionWithoutAnExistingFileOrWithoutConfirm) {
  settings.ConfirmOverwrite = 1;
  host.startUrls = {"http://h/a.txt"};
  net.Page("h:80/a.txt", "new", "text/plain");
  Run();
  EXPECT_TRUE(host.overwriteAsked.empty());
  settings.ConfirmOverwrite = 0;
  std::filesystem::remove(save / "Trawlkit.txt");
  Run();  // the file now exists
  EXPECT_TRUE(host.overwriteAsked.empty());
  EXPECT_EQ(counters.FilesDownloaded, 1);
}

TEST_F(Overwrite, EachAnswerForOneFile) {
  settings.ConfirmOverwrite = 1;
  FourExistingFiles();
  // The last question gets no scripted answer: it is closed like Escape.
  host.overwriteAnswers = {OverwriteAnswer::Overwrite, OverwriteAnswer::Skip, OverwriteAnswer::Overwrite};
  std::string log = Run();
  EXPECT_EQ(log, header + Line("1", true) + Line("2", false) + Line("3", true) + Line("4", false) + Summary(4, 0, 2, 6));
  EXPECT_EQ(host.overwriteAsked.size(), 4u);
  EXPECT_EQ(Saved("1.txt"), "new");
  EXPECT_EQ(Saved("2.txt"), "old");
  EXPECT_EQ(settings.ConfirmOverwrite, 1);
}

TEST_F(Overwrite, OverwriteAllLastsForTheRestOfTheRun) {
  settings.ConfirmOverwrite = 1;
  FourExistingFiles();
  host.overwriteAnswers = {OverwriteAnswer::Skip, OverwriteAnswer::OverwriteAll};
  std::string log = Run();
  EXPECT_EQ(log, header + Line("1", false) + Line("2", true) + Line("3", true) + Line("4", true) + Summary(4, 0, 1, 9));
  EXPECT_EQ(host.overwriteAsked, (std::vector<std::string>{"1.txt", "2.txt"}));
  EXPECT_EQ(settings.ConfirmOverwrite, 0);
}

TEST_F(Overwrite, SkipAllLastsForTheRestOfTheRun) {
  settings.ConfirmOverwrite = 1;
  FourExistingFiles();
  host.startUrls.push_back("http://h/fresh.txt");
  net.Page("h:80/fresh.txt", "fresh", "text/plain");
  host.overwriteAnswers = {OverwriteAnswer::Overwrite, OverwriteAnswer::SkipAll};
  std::string log = Run();
  EXPECT_EQ(log, header + Line("1", true) + Line("2", false) + Line("3", false) + Line("4", false) +
                     "http://h/fresh.txt(OK:Saved as[fresh.txt])\r\n" + Summary(5, 0, 3, 8));
  EXPECT_EQ(host.overwriteAsked.size(), 2u);
  EXPECT_EQ(settings.ConfirmOverwrite, -1);
}

TEST_F(Overwrite, TheQuestionShowsThePathAsTheRunUsesIt) {
  settings.ConfirmOverwrite = 1;
  settings.SaveFlat = 0;
  std::filesystem::create_directories(save / "h/docs");
  WriteFile(save / "h/docs/a.txt", "old");
  host.startUrls = {"http://h/docs/a.txt"};
  net.Page("h:80/docs/a.txt", "new", "text/plain");
  host.overwriteAnswers = {OverwriteAnswer::Overwrite};
  Run();
  EXPECT_EQ(host.overwriteAsked, (std::vector<std::string>{"h/docs/a.txt"}));
  EXPECT_EQ(Saved("h/docs/a.txt"), "new");
}

}  // namespace
}  // namespace tk::test

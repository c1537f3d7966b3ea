// A styled page's copy looks as it does online: the page of styled/ links a style sheet that
// imports a second one with a web font and a background image, and uses srcset, <picture>, a
// video poster, a <style> block and style values. Crawled one layer deep from the local HTTP
// test server in both layouts, the copy must hold every requisite with its references made
// local, and headless Chromium, opening it from disk with the server gone, must apply the
// sheets, load the font and show every image.
#include <gtest/gtest.h>

#include "engine/crawler.h"
#include "support/headless_chromium.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

namespace tk::test {
namespace {
namespace fs = std::filesystem;

// A 2x2 PNG: every picture of the site, so that each one that loads has a width.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02\x08\x02\x00"
    "\x00\x00\xfd\xd4\x9a\x73\x00\x00\x00\x10\x49\x44\x41\x54\x78\x9c\x63\x38\x21\x27\x07\x44\x0c\x10\x0a\x00\x1f"
    "\x26\x04\x11\xa2\x8f\x22\xaf\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    73);

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.insert(fs::relative(e.path(), root).generic_string());
  return out;
}

class OfflineStyles : public ::testing::TestWithParam<bool> {
 protected:
  OfflineStyles() {
    fs::copy(fs::path(TRAWLKIT_TEST_DATA) / "styled", site.Path(), fs::copy_options::recursive);
    fs::create_directories(site / "img");
    for (const char* name : {"favicon", "block", "inline", "bg", "s1", "s2", "w400", "w800", "poster"})
      WriteFile(site / ("img/" + std::string(name) + ".png"), kPng);
    fs::create_directories(site / "media");
    WriteFile(site / "media/clip.webm", "not really a video");
    fs::create_directories(site / "fonts");
    // Any TrueType font will do; the bootstrap installs this one for the wizard.
    fs::copy_file("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", site / "fonts/test.ttf");
    fs::create_directories(save);
    settings.SaveDir = save.string();
    settings.LinkLayers = 1;
    settings.SameSiteOnly = 1;
    settings.UseCache = 0;
    settings.ConfirmOverwrite = 0;
    settings.SaveFlat = GetParam() ? 1 : 0;
  }

  TempDir site;
  TempDir outer;
  fs::path save = outer / "save";
  ProjectSettings settings;
  RecordingHost host;
  FixedClock clock;
};

TEST_P(OfflineStyles, SheetsFontsAndPicturesComeAlongAndApplyFromDisk) {
  auto http = HttpTestServer::Start(site.Path());
  const bool flat = GetParam();
  const std::string h = flat ? "" : "127.0.0.1~" + std::to_string(http->Port()) + "/";
  auto in = [&](const std::string& dir, const std::string& name) { return h + (flat ? name : dir + name); };
  host.startUrls = {http->Url("/index.html")};
  {
    TempDir cache;
    LibraryBackend network({cache.Path() / "trawlkit", {}});
    Crawler crawler(settings, host, network, clock, "trawlkit");
    crawler.RunDownload();
    EXPECT_EQ(crawler.State().Errors, 0);
  }
  http.reset();

  std::set<std::string> expected = {"Trawlkit.txt", h + "index.html", in("css/", "main.css"), in("css/", "fonts.css"),
                                    in("fonts/", "test.ttf"), in("docs/", "next.html"), in("media/", "clip.webm")};
  for (const char* name : {"favicon", "block", "inline", "bg", "s1", "s2", "w400", "w800", "poster"})
    expected.insert(in("img/", std::string(name) + ".png"));
  EXPECT_EQ(FilesUnder(save), expected) << ReadFile(save / "Trawlkit.txt");
  // The sheets keep every byte but their references, which lead to the copies.
  const std::string up = flat ? "" : "../";
  EXPECT_EQ(ReadFile(save / in("css/", "main.css")),
            "@charset \"utf-8\";\n"
            "/* The sheet the page links: it imports a second one, and names a background image\n"
            "   relative to itself: url(not-a-link.png) inside a comment stays as it is. */\n"
            "@import \"fonts.css\";\n"
            "#css-mark { color: rgb(1, 2, 3); }\n"
            "#bg-mark { width: 8px; height: 8px; background-image: url(\"" + up + (flat ? "" : "img/") + "bg.png\"); }\n"
            "p::after { content: \"url(not-a-link)\"; }\n");
  EXPECT_NE(ReadFile(save / in("css/", "fonts.css")).find("src: url(" + up + (flat ? "" : "fonts/") + "test.ttf)"),
            std::string::npos);

  std::vector<fs::path> pages{save / (h + "index.html"), save / in("docs/", "next.html")};
  WriteFile(outer / "offline_check.html", CheckerPage(pages));
  const BrowserRun run = DumpDomOffline(outer / "offline_check.html", outer / "profile", std::chrono::seconds(30));
  if (!run.started) GTEST_SKIP() << "Chromium cannot start here; the browser part is skipped: " << run.message;
  EXPECT_TRUE(run.message.empty()) << run.message;
  const auto problems = CheckVerdict(run.dom, save, {}, pages.size());
  std::string text;
  for (const auto& p : problems) text += "\n  " + p;
  EXPECT_TRUE(problems.empty()) << text;
  // Each kind of check took place: a verdict without them would pass by saying nothing.
  for (const char* item : {"CSS\t", "FONT\t", "CSSBG\t", "IMG\t"})
    EXPECT_NE(run.dom.find(item), std::string::npos) << item << " missing from " << run.dom;
}

INSTANTIATE_TEST_SUITE_P(Layouts, OfflineStyles, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Flat" : "ServerTree"; });

}  // namespace
}  // namespace tk::test

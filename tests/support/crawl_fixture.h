#pragma once
// One crawl against the fake network in a fresh save folder, with the expected log built from
// the same pieces the run writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "engine/crawler.h"
#include "support/fake_net.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tk::test {

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() {
    settings.SaveDir = dir.Path().string();
    settings.SameSiteOnly = 1;
    settings.SaveFlat = 1;
    settings.LinkLayers = 1;
    // These runs count the requests the crawl itself makes, each answered once: robots.txt and
    // further tries have their own tables against the real test server.
    settings.Robots = 0;
    settings.Tries = 1;
  }

  // Runs once and returns the run log's text.
  std::string Run() {
    header = Header();
    Crawler crawler(settings, host, net, clock, "trawlkit");
    crawler.RunDownload();
    crawler.HandBackSettings(settings);
    counters = crawler.State();
    visited = crawler.State().VisitedUrls;
    return ReadFile(dir / "Trawlkit.txt");
  }

  // The settings block for the fixture's settings, as the run writes it.
  std::string Header() const {
    std::string saveDir = dir.Path().string() + "/";
    return "12:34:56:Start downloading\r\nExcluding file types:" + settings.ExcludeType +
           "\r\nSaving to directory:" + saveDir + "\r\nLinks to browse:" +
           (settings.LinkLayers ? "Start pages & " + std::to_string(settings.LinkLayers) + "layers"
                                : std::string("Start pages only")) +
           "\r\nDownload pages at:" + (settings.SameSiteOnly ? "The same site as the start page" : "All stes") +
           "\r\nFiles saved:" + (settings.SaveFlat ? "All in same directory" : "In same directory structure as server") +
           "\r\nUsing cashe:" + (settings.UseCache ? "Yes" : "No") +
           "\r\nConfirm before overwrite:" + (settings.ConfirmOverwrite ? "Yes" : "No") + "\r\n";
  }

  static std::string Summary(long files, long errors, long skipped, long bytes) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "\t%20ld%20ld%20ld%20ld\r\n", files, errors, skipped, bytes);
    return "Summary:\r\n\t   [Files dowloaded]            [Errors]     [Files skipped]   [Bytes dowloaded]\r\n" +
           std::string(buf) + "\r\n12:34:56:End downloading\r\n";
  }

  // Every regular file under the save folder except the run log, "/" separated.
  std::set<std::string> SavedFiles() const {
    std::set<std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
      if (e.is_regular_file() || e.is_symlink()) {
        std::string rel = std::filesystem::relative(e.path(), dir.Path()).generic_string();
        if (rel != "Trawlkit.txt") out.insert(rel);
      }
    return out;
  }

  std::string Saved(const std::string& rel) const { return ReadFile(dir / rel); }

  TempDir dir;
  ProjectSettings settings;
  FakeNet net;
  RecordingHost host;
  FixedClock clock;
  std::string header;  // the settings block, taken as the run starts
  RunCounters counters;
  decltype(RunState::VisitedUrls) visited;
};

}  // namespace tk::test

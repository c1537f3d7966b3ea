#pragma once
// Whole crawls for the engine's tests, one way: a fresh save folder and cache folder, the run
// host that records every call, a fixed clock, and a network that is either the fake in memory
// or the real internet layer against the test's own servers on 127.0.0.1. What a run leaves is
// checked against a table of files and their bytes (ExpectFiles) and against the run log, whose
// expected text is built from the same pieces the run writes.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/crawler.h"
#include "engine/inet_backend.h"
#include "support/fake_net.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tk::test {

// Which network a run goes through.
enum class Network {
  Fake,  // FakeNet: answers from a table, every request recorded
  Local, // the internet layer with the run's own cache folder and trust store
};

// One file a run must have saved: its path under the save folder ("/" separated) and its bytes.
struct ExpectedFile {
  std::string name;
  std::string bytes;
};

// The run log's lines between the settings block and the summary; `log` may also be what the log
// box received.
inline std::string Lines(const std::string& log) {
  const std::size_t from = log.find("\r\n", log.find("Confirm before overwrite:")) + 2;
  return log.substr(from, log.find("Summary:\r\n") - from);
}

// The summary block that ends a log, with the fixed clock's time.
inline std::string Summary(long files, long errors, long skipped, long bytes) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "\t%20ld%20ld%20ld%20ld\r\n", files, errors, skipped, bytes);
  return "Summary:\r\n\t   [Files dowloaded]            [Errors]     [Files skipped]   [Bytes dowloaded]\r\n" +
         std::string(buf) + "\r\n12:34:56:End downloading\r\n";
}

class CrawlRun {
 public:
  // Against the fake, the run keeps to its site in one folder, one layer down, and asks for
  // neither robots.txt nor a second try: those runs count the requests the crawl itself makes,
  // each answered once (robots.txt and further tries have their own tables against the real
  // test server). Against the local servers, one layer down without the cache.
  explicit CrawlRun(Network network = Network::Fake) : m_network(network) {
    settings.SaveDir = save.Path().string();
    settings.LinkLayers = 1;
    if (network == Network::Fake) {
      settings.SameSiteOnly = 1;
      settings.SaveFlat = 1;
      settings.Robots = 0;
      settings.Tries = 1;
    } else {
      settings.UseCache = 0;
      handBackSettings = false;
    }
  }
  virtual ~CrawlRun() = default;

  // The backend the next run goes through.
  InetBackend& Backend() {
    if (m_network == Network::Fake) return net;
    m_library = std::make_unique<LibraryBackend>(NetworkPlaces{cache.Path() / "trawlkit", trust});
    return *m_library;
  }

  // Runs once and returns the run log's whole text. The log file is appended to by each run, as
  // a user's is; `freshLog` removes it first.
  std::string Run(const std::string& agent = "trawlkit") {
    if (freshLog) std::filesystem::remove(save / "Trawlkit.txt");
    header = Header();
    Crawler crawler(settings, host, Backend(), clock, agent);
    running = &crawler;
    crawler.RunDownload();
    running = nullptr;
    if (handBackSettings) crawler.HandBackSettings(settings);
    counters = crawler.State();
    visited = crawler.State().VisitedUrls;
    changes = CopyChangesText(crawler.State());
    ngLines = crawler.State().NgLines;
    logFailed = crawler.State().LogFailed;
    startCopy = crawler.StartPageCopy();
    return ReadFile(save / "Trawlkit.txt");
  }

  // The settings block for the current settings, as the run writes it.
  std::string Header() const {
    std::string saveDir = save.Path().string() + "/";
    return "12:34:56:Start downloading\r\nExcluding file types:" + settings.ExcludeType +
           "\r\nSaving to directory:" + saveDir + "\r\nLinks to browse:" +
           (settings.LinkLayers ? "Start pages & " + std::to_string(settings.LinkLayers) + "layers"
                                : std::string("Start pages only")) +
           "\r\nDownload pages at:" + (settings.SameSiteOnly ? "The same site as the start page" : "All stes") +
           "\r\nFiles saved:" + (settings.SaveFlat ? "All in same directory" : "In same directory structure as server") +
           "\r\nUsing cashe:" + (settings.UseCache ? "Yes" : "No") +
           "\r\nConfirm before overwrite:" + (settings.ConfirmOverwrite ? "Yes" : "No") + "\r\n";
  }

  // Every file under the save folder except the run log, "/" separated; a symlink counts.
  std::set<std::string> SavedFiles() const {
    std::set<std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(save.Path()))
      if (e.is_regular_file() || e.is_symlink()) {
        std::string rel = std::filesystem::relative(e.path(), save.Path()).generic_string();
        if (rel != "Trawlkit.txt") out.insert(rel);
      }
    return out;
  }

  std::string Saved(const std::string& rel) const { return ReadFile(save / rel); }

  // For a run that starts from nothing: the save folder emptied, the run log included.
  void EmptySaveFolder() {
    for (auto& e : std::filesystem::directory_iterator(save.Path())) std::filesystem::remove_all(e.path());
  }

  // The save folder holds exactly these files besides the run log, each with exactly these bytes.
  void ExpectFiles(const std::vector<ExpectedFile>& expected) const {
    std::map<std::string, std::string> want;
    for (const ExpectedFile& file : expected) want[file.name] = file.bytes;
    const std::set<std::string> saved = SavedFiles();
    for (const auto& [name, bytes] : want) {
      if (!saved.contains(name)) {
        ADD_FAILURE() << "not saved: " << name;
        continue;
      }
      const std::string got = Saved(name);
      if (got == bytes) continue;
      if (got.size() + bytes.size() > 4096) {
        ADD_FAILURE() << name << ": " << got.size() << " bytes, not the " << bytes.size() << " expected";
      } else {
        ADD_FAILURE() << name << " holds\n  " << got << "\ninstead of\n  " << bytes;
      }
    }
    for (const std::string& name : saved)
      if (!want.contains(name)) ADD_FAILURE() << "saved and not expected: " << name;
  }

  TempDir save;
  TempDir cache;
  ProjectSettings settings;
  FakeNet net;
  inet::TrustStore trust;  // what a run over the local network verifies TLS against
  RecordingHost host;
  FixedClock clock;
  bool freshLog = false;
  // The run's settings handed back after it, as the wizard takes them (save folder, project
  // file, an overwrite question answered for all).
  bool handBackSettings = true;
  // What the last run left.
  std::string header;  // the settings block, taken as the run starts
  RunCounters counters;
  decltype(RunState::VisitedUrls) visited;
  std::string changes;  // what the run did to the copy
  std::int64_t ngLines = 0;
  bool logFailed = false;
  std::filesystem::path startCopy;
  // The run in progress, for a test that interrupts it from another thread.
  std::atomic<Crawler*> running{nullptr};

 private:
  Network m_network;
  std::unique_ptr<LibraryBackend> m_library;
};

// A GoogleTest fixture over one CrawlRun.
class CrawlFixture : public ::testing::Test, public CrawlRun {
 protected:
  explicit CrawlFixture(Network network = Network::Fake) : CrawlRun(network) {}
  // The run, not GoogleTest's own Run() of the test.
  using CrawlRun::Run;
};

}  // namespace tk::test

#pragma once
// A run host that records every call and answers questions from scripts.
#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/run_clock.h"
#include "engine/run_host.h"

namespace tk::test {

class RecordingHost : public RunHost {
 public:
  std::vector<std::string> startUrls;
  std::string box;                       // everything the log box received
  std::vector<std::string> files;        // "url -> name (size)" per BeginFile
  std::vector<std::int64_t> chunks;      // AddBytes counts
  std::atomic<std::size_t> chunkCalls{0};  // the same, safe to read from another thread
  std::vector<RunCounters> counts;       // ShowCounts snapshots
  std::vector<std::string> overwriteAsked;
  std::deque<OverwriteAnswer> overwriteAnswers;  // empty: Skip, as Escape
  std::deque<std::optional<Credentials>> passwords;
  int passwordAsks = 0;
  int clears = 0;
  int ends = 0;
  bool hangUpAnswer = false;
  int hangUpAsks = 0;
  std::atomic<bool> cancel{false};
  std::size_t cancelAfterCounts = 0;  // raise the cancel flag at this ShowCounts call (1-based)
  std::size_t cancelAfterChunks = 0;  // ...or at this AddBytes call
  std::function<void(const std::string& url)> onBeginFile;
  std::function<void(std::size_t index)> onStartUrl;

  void ClearLog() override {
    ++clears;
    box.clear();
  }
  void AppendLog(std::string_view text) override { box += text; }
  void BeginFile(const std::string& url, const std::string& name, const std::string& size) override {
    files.push_back(url + " -> " + name + " (" + size + ")");
    if (onBeginFile) onBeginFile(url);
  }
  void AddBytes(std::int64_t n) override {
    chunks.push_back(n);
    ++chunkCalls;
    if (chunks.size() == cancelAfterChunks) cancel = true;
  }
  void ShowCounts(const RunCounters& c) override {
    counts.push_back(c);
    if (counts.size() == cancelAfterCounts) cancel = true;
  }
  void EndTransfers() override { ++ends; }
  OverwriteAnswer AskOverwrite(const std::string& path) override {
    overwriteAsked.push_back(path);
    if (overwriteAnswers.empty()) return OverwriteAnswer::Skip;
    auto a = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return a;
  }
  std::optional<Credentials> AskPassword(const std::string&, const std::string&) override {
    ++passwordAsks;
    if (passwords.empty()) return std::nullopt;
    auto p = passwords.front();
    passwords.pop_front();
    return p;
  }
  bool AskHangUp() override {
    ++hangUpAsks;
    return hangUpAnswer;
  }
  std::size_t StartUrlCount() override { return startUrls.size(); }
  std::string StartUrl(std::size_t i) override {
    if (onStartUrl) onStartUrl(i);
    return startUrls[i];
  }
  bool CancelRequested() override { return cancel; }
};

// 12:34:56 for every reading; the tick advances 10 ms per reading.
class FixedClock : public RunClock {
 public:
  std::uint32_t tick = 0;
  std::uint32_t TickMs() override { return tick += 10; }
  std::tm LocalTime() override {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 12;
    t.tm_min = 34;
    t.tm_sec = 56;
    return t;
  }
};

}  // namespace tk::test

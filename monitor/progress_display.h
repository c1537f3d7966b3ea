#pragma once
// The download page's run display: the log box, the current transfer (source, destination,
// bytes, rate, bar) and the run's counters. GUI thread only; the worker's calls reach it in
// batches through a display feed.
#include <QString>

#include <string>
#include <string_view>

#include "engine/progress_text.h"
#include "engine/run_clock.h"
#include "monitor/display_feed.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace tk {

class ProgressDisplay {
 public:
  // `page` holds the download page's log, transfer and counter controls; `clock` gives the millisecond tick of the rate.
  ProgressDisplay(const QWidget& page, RunClock& clock);

  void ClearLog();
  // At the end of the box, whatever the user selected or scrolled to meanwhile.
  void AppendLog(std::string_view text);
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText);
  void AddBytes(std::int64_t count);
  // The same with the tick of the moment the worker made the call, for the rate.
  void BeginFileAt(const std::string& url, const std::string& localName, const std::string& sizeText,
                   std::uint32_t tick);
  void AddBytesAt(std::int64_t count, std::uint32_t tick);
  void ShowCounts(const RunCounters& counts);
  // After the last start page: "ダウンロード終了", the other transfer texts empty, the bar at 0.
  void EndTransfers();
  // Everything the worker did since the last update, in one go: the log appended at once, the
  // latest file with all its bytes so far, the latest counters.
  void Show(const DisplayUpdate& update);

 private:
  QPlainTextEdit* m_log = nullptr;
  QLabel* m_source = nullptr;
  QLabel* m_destination = nullptr;
  QLabel* m_bytes = nullptr;
  QLabel* m_rate = nullptr;
  QProgressBar* m_bar = nullptr;
  QLabel* m_counters = nullptr;
  RunClock& m_clock;
  FileProgress m_file;
};

}  // namespace tk

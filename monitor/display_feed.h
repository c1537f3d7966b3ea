#pragma once
// What the run has to show, kept between the worker that produces it and the GUI thread that
// shows it. The worker writes without waiting for the screen (a chunk of bytes, a log line, a
// new file, the counters); the GUI thread takes everything gathered since its last look in one
// go and shows it at once. The worker thus runs at the network's pace, and the window shows the
// run's state as of its last look, never more than one drain period behind.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/run_state.h"

namespace tk {

// Everything that changed since the previous take, in the order the display applies it: the log
// first (cleared, then appended), then the transfer (a new file or the end), then its bytes, then
// the counters.
struct DisplayUpdate {
  bool clearLog = false;
  std::string log;  // UTF-8 text with its CR LF line ends, to append

  enum class Transfer { Same, NewFile, Ended };
  Transfer transfer = Transfer::Same;
  std::string url, localName, sizeText;  // of the new file
  std::uint32_t beginTick = 0;

  // Bytes of the current file received since the previous take, and the tick of the last chunk.
  std::int64_t bytes = 0;
  std::uint32_t bytesTick = 0;

  bool counts = false;
  RunCounters counters;

  bool Empty() const { return !clearLog && log.empty() && transfer == Transfer::Same && bytes == 0 && !counts; }
};

class DisplayFeed {
 public:
  // The worker's side; ticks are those the display would have read at each call.
  void ClearLog();
  void AppendLog(std::string_view text);
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText,
                 std::uint32_t tick);
  void AddBytes(std::int64_t count, std::uint32_t tick);
  void ShowCounts(const RunCounters& counts);
  void EndTransfers();

  // The GUI thread's side. A CR at the very end of the log is kept back until the next take
  // (unless `all`): its LF may still come, and CR LF split over two appends would otherwise
  // show as two line breaks.
  DisplayUpdate Take(bool all = false);

 private:
  std::mutex m_mutex;
  DisplayUpdate m_pending;
};

}  // namespace tk

#pragma once
// The one interface between a run and its front end (the wizard's download page, the terminal,
// a test recorder). Every call comes from the worker thread running the crawl.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run_state.h"

namespace tk {

enum class OverwriteAnswer { Overwrite, Skip, OverwriteAll, SkipAll };

struct Credentials {
  std::string User;
  std::string Password;
};

class RunHost {
 public:
  virtual ~RunHost() = default;

  // The log box: cleared once at the start of a run, then appended to.
  virtual void ClearLog() = 0;
  virtual void AppendLog(std::string_view text) = 0;

  // The current transfer: announced once, then each chunk with at least one byte.
  virtual void BeginFile(const std::string& url, const std::string& localName,
                         const std::string& sizeText) = 0;
  virtual void AddBytes(std::int64_t count) = 0;
  virtual void ShowCounts(const RunCounters& counts) = 0;
  // The transfer display's final state after the last start page.
  virtual void EndTransfers() = 0;

  // Asked only when the file exists and the project asks before overwriting.
  virtual OverwriteAnswer AskOverwrite(const std::string& localPath) = 0;
  // A server answered 401 for `url`; nullopt cancels the request.
  virtual std::optional<Credentials> AskPassword(const std::string& url, const std::string& host) = 0;
  virtual bool AskHangUp() = 0;

  // The list is read one item at a time and its length again before each start page, because
  // the front end may still change it while the run goes on.
  virtual std::size_t StartUrlCount() = 0;
  virtual std::string StartUrl(std::size_t index) = 0;

  virtual bool CancelRequested() = 0;

  // A fault of the run as a whole that no line of the run log can tell, because the log itself
  // cannot be written. The log box, unless the front end has a better place (a terminal's
  // standard error).
  virtual void ReportProblem(std::string_view text) { AppendLog(text); }
};

}  // namespace tk

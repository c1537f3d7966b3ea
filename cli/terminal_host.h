#pragma once
// The run host of trawlkit-cli: the log on standard output, a progress line and the questions
// on the terminal, answers from ~/.netrc.
#include <map>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "engine/progress_text.h"
#include "engine/run_host.h"

namespace tk::cli {

class TerminalHost final : public RunHost {
 public:
  TerminalHost(CliContext& context, RunClock& clock, std::vector<std::string> startUrls, bool quiet);

  void ClearLog() override;
  void AppendLog(std::string_view text) override;
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText) override;
  void AddBytes(std::int64_t count) override;
  void ShowCounts(const RunCounters& counts) override;
  void EndTransfers() override;
  OverwriteAnswer AskOverwrite(const std::string& localPath) override;
  std::optional<Credentials> AskPassword(const std::string& url, const std::string& host) override;
  bool AskHangUp() override;
  std::size_t StartUrlCount() override { return m_startUrls.size(); }
  std::string StartUrl(std::size_t index) override { return m_startUrls.at(index); }
  bool CancelRequested() override { return m_context.cancel && m_context.cancel->load(); }
  // On standard error, where a run's own faults go, also with --quiet.
  void ReportProblem(std::string_view text) override;

 private:
  void DrawProgress();
  void ClearProgress();
  bool Ask(const std::string& prompt, std::string& answer, bool hidden = false);

  CliContext& m_context;
  RunClock& m_clock;
  std::vector<std::string> m_startUrls;
  bool m_quiet;
  FileProgress m_file;
  std::string m_fileName;
  RunCounters m_counts;
  std::uint32_t m_runStart = 0;
  std::uint32_t m_lastDraw = 0;
  bool m_drawn = false;
  bool m_ended = false;
  std::map<std::string, int> m_netrcTried;  // hosts whose netrc entry was already offered
  bool m_toldKept = false;                   // that existing files are kept without a terminal
};

}  // namespace tk::cli

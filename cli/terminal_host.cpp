#include "cli/terminal_host.h"

#include "inet/url.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "base/text.h"
#include "cli/netrc.h"
#include "cli/progress_line.h"
#include "cli/terminal_text.h"

namespace tk::cli {
namespace {

constexpr std::uint32_t kDrawPeriodMs = 200;
constexpr std::size_t kDefaultColumns = 80;

// The terminal's width now: a window resized during the run gets lines that fit it.
std::size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

// Turns the terminal's echo off for as long as it lives.
class EchoOff {
 public:
  explicit EchoOff(bool active) {
    m_active = active && tcgetattr(STDIN_FILENO, &m_saved) == 0;
    if (!m_active) return;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  ~EchoOff() {
    if (m_active) tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
  }

 private:
  bool m_active = false;
  termios m_saved{};
};

}  // namespace

TerminalHost::TerminalHost(CliContext& context, RunClock& clock, std::vector<std::string> startUrls, bool quiet)
    : m_context(context),
      m_clock(clock),
      m_startUrls(std::move(startUrls)),
      m_quiet(quiet),
      m_runStart(clock.TickMs()) {}

void TerminalHost::ClearLog() { m_runStart = m_clock.TickMs(); }

void TerminalHost::AppendLog(std::string_view text) {
  if (m_quiet) return;
  // A log that goes to a file or a pipe leaves the progress line where it is.
  if (m_context.logOnTerminal) ClearProgress();
  // A project's values and a server's names reach these lines: none may drive the terminal.
  const std::string safe = TerminalSafe(text);
  m_context.out->write(safe.data(), static_cast<std::streamsize>(safe.size()));
  m_context.out->flush();
}

void TerminalHost::BeginFile(const std::string&, const std::string& localName, const std::string& sizeText) {
  if (m_context.progress) m_fileName = TerminalSafe(localName);
  m_file.Begin(sizeText, m_clock.TickMs());
  DrawProgress();
}

void TerminalHost::AddBytes(std::int64_t count) {
  m_file.Add(count);
  DrawProgress();
}

void TerminalHost::ShowCounts(const RunCounters& counts) {
  m_counts = counts;
  // The file just counted is in the run's bytes now, no longer in transfer.
  m_file.Begin({}, m_clock.TickMs());
  m_fileName.clear();
  DrawProgress();
}

void TerminalHost::EndTransfers() {
  // The run's last lines follow on a clean line, and nothing draws over them.
  ClearProgress();
  m_ended = true;
}

void TerminalHost::DrawProgress() {
  if (!m_context.progress || m_quiet || m_ended) return;
  const std::uint32_t now = m_clock.TickMs();
  // Redrawn at once after a log line erased it; otherwise a few times a second at most.
  if (m_drawn && now - m_lastDraw < kDrawPeriodMs) return;
  m_lastDraw = now;
  RunProgress progress{m_counts, m_file.Bytes(), m_file.Total(), now - m_runStart, m_fileName};
  const std::size_t columns = m_context.columns ? m_context.columns : TerminalColumns();
  *m_context.err << "\r\x1b[K" << ProgressLine(progress, columns) << std::flush;
  m_drawn = true;
}

void TerminalHost::ClearProgress() {
  if (!m_drawn) return;
  *m_context.err << "\r\x1b[K" << std::flush;
  m_drawn = false;
}

bool TerminalHost::Ask(const std::string& prompt, std::string& answer, bool hidden) {
  if (!m_context.in) return false;
  ClearProgress();
  *m_context.err << prompt << std::flush;
  EchoOff echo(hidden && m_context.passwordEchoOff);
  bool got = static_cast<bool>(std::getline(*m_context.in, answer));
  if (hidden && m_context.passwordEchoOff) *m_context.err << "\n";
  return got;
}

void TerminalHost::ReportProblem(std::string_view text) {
  ClearProgress();
  // The engine's lines end in CR LF; a terminal's messages in LF.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  *m_context.err << "trawlkit-cli: " << inet::EncodeControls(text) << "\n" << std::flush;
}

OverwriteAnswer TerminalHost::AskOverwrite(const std::string& localPath) {
  // A run from cron has no one to ask: every existing file is kept, and the user is told once
  // rather than finding out from the log's SKIPPED lines.
  if (!m_context.in) {
    if (!m_toldKept) {
      ClearProgress();
      *m_context.err << "trawlkit-cli: no terminal to ask before overwriting: existing files are kept\n"
                     << std::flush;
    }
    m_toldKept = true;
    return OverwriteAnswer::Skip;
  }
  std::string answer;
  const std::string prompt = TerminalSafe(localPath) + "\n既に存在しています。上書きしますか？ "
                             "[o]上書き [s]スキップ [a]全て上書き [k]全てスキップ: ";
  // Like Escape in the dialog: no terminal, or no answer, skips the file. An answer the prompt
  // does not offer is asked again rather than taken for one the user may not have meant.
  while (Ask(prompt, answer)) {
    std::string a = AsciiLower(answer);
    if (a == "o") return OverwriteAnswer::Overwrite;
    if (a == "s") return OverwriteAnswer::Skip;
    if (a == "a") return OverwriteAnswer::OverwriteAll;
    if (a == "k") return OverwriteAnswer::SkipAll;
  }
  return OverwriteAnswer::Skip;
}

std::optional<Credentials> TerminalHost::AskPassword(const std::string& url, const std::string& host) {
  // The netrc entry is offered once per host: a second 401 means the server refused it.
  if (m_netrcTried[AsciiLower(host)]++ == 0 && !m_context.home.empty()) {
    std::string text = ReadNetrcFile(std::filesystem::path(m_context.home) / ".netrc");
    if (auto found = NetrcLookup(text, host)) return found;
  }
  Credentials c;
  if (!Ask(TerminalSafe(HidePassword(url)) + "\nユーザー名: ", c.User) || c.User.empty()) return std::nullopt;
  if (!Ask("パスワード: ", c.Password, true)) return std::nullopt;
  return c;
}

bool TerminalHost::AskHangUp() {
  std::string answer;
  return Ask("切断してもいいですか? [y/N]: ", answer) && (answer == "y" || answer == "Y");
}

}  // namespace tk::cli

#include "cli/terminal_host.h"

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/netrc.h"
#include "inet/url.h"
#include "settings/text.h"

namespace tk::cli {
namespace {

constexpr std::uint32_t kDrawPeriodMs = 200;
constexpr std::size_t kLineWidth = 79;

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

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TerminalHost::TerminalHost(CliContext& context, RunClock& clock, std::vector<std::string> startUrls, bool quiet)
    : m_context(context), m_clock(clock), m_startUrls(std::move(startUrls)), m_quiet(quiet) {}

void TerminalHost::AppendLog(std::string_view text) {
  if (m_quiet) return;
  ClearProgress();
  m_context.out->write(text.data(), static_cast<std::streamsize>(text.size()));
  m_context.out->flush();
}

void TerminalHost::BeginFile(const std::string&, const std::string& localName, const std::string& sizeText) {
  // What a terminal shows never holds a byte that would drive it.
  m_fileName = inet::EncodeControls(localName);
  m_file.Begin(sizeText, m_clock.TickMs());
  DrawProgress(true);
}

void TerminalHost::AddBytes(std::int64_t count) {
  m_file.Add(count);
  DrawProgress(false);
}

void TerminalHost::ShowCounts(const RunCounters& counts) {
  m_counts = counts;
  DrawProgress(true);
}

void TerminalHost::EndTransfers() { ClearProgress(); }

void TerminalHost::DrawProgress(bool force) {
  if (!m_context.progress || m_quiet) return;
  std::uint32_t now = m_clock.TickMs();
  if (!force && m_drawn && now - m_lastDraw < kDrawPeriodMs) return;
  m_lastDraw = now;
  std::string rate = m_file.RateText(now);
  std::string line = m_fileName + " " + m_file.ByteText() + (rate.empty() ? "" : " " + rate) + " [" +
                     std::to_string(m_counts.FilesDownloaded) + " files, " + std::to_string(m_counts.Errors) +
                     " errors, " + std::to_string(m_counts.FilesSkipped) + " skipped, " +
                     std::to_string(m_counts.BytesDownloaded) + " bytes]";
  // Keep the line's tail (the numbers) when a long name would wrap it.
  if (line.size() > kLineWidth) line = "..." + line.substr(line.size() - (kLineWidth - 3));
  *m_context.err << "\r\x1b[K" << line << std::flush;
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
  const std::string prompt = inet::EncodeControls(localPath) + "\n既に存在しています。上書きしますか？ "
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
    std::string text = ReadWholeFile(std::filesystem::path(m_context.home) / ".netrc");
    if (auto found = NetrcLookup(text, host)) return found;
  }
  Credentials c;
  if (!Ask(inet::EncodeControls(url) + "\nユーザー名: ", c.User) || c.User.empty()) return std::nullopt;
  if (!Ask("パスワード: ", c.Password, true)) return std::nullopt;
  return c;
}

bool TerminalHost::AskHangUp() {
  std::string answer;
  return Ask("切断してもいいですか? [y/N]: ", answer) && (answer == "y" || answer == "Y");
}

}  // namespace tk::cli

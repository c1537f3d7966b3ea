#include "monitor/progress_display.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>

#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/utf8_text.h"

namespace tk {
namespace {

template <class T>
T* Find(const QWidget& page, int id) {
  return qobject_cast<T*>(res::FindControlWidget(&page, id));
}

void SetText(QLabel* label, const QString& text) {
  if (label) label->setText(text);
}

}  // namespace

ProgressDisplay::ProgressDisplay(const QWidget& page, RunClock& clock)
    : m_log(Find<QPlainTextEdit>(page, res::kDownloadLog)),
      m_source(Find<QLabel>(page, res::kDownloadSource)),
      m_destination(Find<QLabel>(page, res::kDownloadDestination)),
      m_bytes(Find<QLabel>(page, res::kDownloadByteCount)),
      m_rate(Find<QLabel>(page, res::kDownloadRate)),
      m_bar(Find<QProgressBar>(page, res::kDownloadProgressBar)),
      m_counters(Find<QLabel>(page, res::kDownloadCounters)),
      m_clock(clock) {}

void ProgressDisplay::ClearLog() {
  if (m_log) m_log->clear();
}

void ProgressDisplay::AppendLog(std::string_view text) {
  if (!m_log) return;
  // Appended at the end whatever the user selected meanwhile, and the end scrolled into view.
  QTextCursor cursor = m_log->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(FromUtf8(text));  // one line break per CR LF
  m_log->setTextCursor(cursor);
  m_log->ensureCursorVisible();
}

void ProgressDisplay::BeginFile(const std::string& url, const std::string& localName,
                                const std::string& sizeText) {
  BeginFileAt(url, localName, sizeText, m_clock.TickMs());
}

void ProgressDisplay::BeginFileAt(const std::string& url, const std::string& localName, const std::string& sizeText,
                                  std::uint32_t tick) {
  m_file.Begin(sizeText, tick);
  SetText(m_source, FromUtf8(url) + QStringLiteral("から"));
  SetText(m_destination, FromUtf8(localName) + QStringLiteral("へ"));
  SetText(m_bytes, QString());
  SetText(m_rate, QString());
  if (m_bar) m_bar->setValue(0);
}

void ProgressDisplay::AddBytes(std::int64_t count) { AddBytesAt(count, m_clock.TickMs()); }

void ProgressDisplay::AddBytesAt(std::int64_t count, std::uint32_t now) {
  m_file.Add(count);
  SetText(m_bytes, FromUtf8(m_file.ByteText()));
  // Empty during the first second, so the rate label simply keeps its empty text then.
  const std::string rate = m_file.RateText(now);
  if (!rate.empty()) SetText(m_rate, FromUtf8(rate));
  if (m_bar && m_file.Total() != 0) m_bar->setValue(m_file.Percent());
}

void ProgressDisplay::ShowCounts(const RunCounters& counts) { SetText(m_counters, FromUtf8(FormatCounts(counts))); }

void ProgressDisplay::EndTransfers() {
  SetText(m_source, QStringLiteral("ダウンロード終了"));
  SetText(m_destination, QString());
  SetText(m_bytes, QString());
  SetText(m_rate, QString());
  if (m_bar) m_bar->setValue(0);
}

void ProgressDisplay::Show(const DisplayUpdate& update) {
  if (update.clearLog) ClearLog();
  if (!update.log.empty()) AppendLog(update.log);
  if (update.transfer == DisplayUpdate::Transfer::NewFile)
    BeginFileAt(update.url, update.localName, update.sizeText, update.beginTick);
  else if (update.transfer == DisplayUpdate::Transfer::Ended)
    EndTransfers();
  if (update.bytes != 0) AddBytesAt(update.bytes, update.bytesTick);
  if (update.counts) ShowCounts(update.counters);
}

}  // namespace tk

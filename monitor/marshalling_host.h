#pragma once
// The run host the worker talks to. The display calls go into a display feed and return at
// once: the GUI thread shows them in batches, so the run never waits for the screen. The
// questions and the start-page reads are carried over to the GUI thread and handled there by the
// page's own host, synchronously, so the controls are only ever touched by the thread that owns
// them and a question stops the run until it is answered. The cancel flag is an atomic that the
// GUI thread raises, and polling it must not depend on the GUI thread being free.
#include <QObject>

#include <atomic>

#include "engine/run_clock.h"
#include "engine/run_host.h"
#include "monitor/display_feed.h"

namespace tk {

class MarshallingHost final : public RunHost {
 public:
  // `gui` runs on the thread of `context`; `clock` stamps the transfer calls for the rate;
  // all must outlive every call of the run.
  MarshallingHost(RunHost& gui, DisplayFeed& feed, RunClock& clock, QObject* context,
                  const std::atomic<bool>& cancel)
      : m_gui(gui), m_feed(feed), m_clock(clock), m_context(context), m_cancel(cancel) {}

  void ClearLog() override { m_feed.ClearLog(); }
  void AppendLog(std::string_view text) override { m_feed.AppendLog(text); }
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText) override {
    m_feed.BeginFile(url, localName, sizeText, m_clock.TickMs());
  }
  void AddBytes(std::int64_t count) override { m_feed.AddBytes(count, m_clock.TickMs()); }
  void ShowCounts(const RunCounters& counts) override { m_feed.ShowCounts(counts); }
  void EndTransfers() override { m_feed.EndTransfers(); }
  // When a question cannot be put (the page has gone), the answer is the one that writes
  // nothing: skip, no credentials, no hang-up, no further start page.
  OverwriteAnswer AskOverwrite(const std::string& localPath) override;
  std::optional<Credentials> AskPassword(const std::string& url, const std::string& host) override;
  bool AskHangUp() override;
  std::size_t StartUrlCount() override;
  std::string StartUrl(std::size_t index) override;
  bool CancelRequested() override { return m_cancel.load(std::memory_order_acquire); }

 private:
  RunHost& m_gui;
  DisplayFeed& m_feed;
  RunClock& m_clock;
  QObject* m_context;
  const std::atomic<bool>& m_cancel;
};

}  // namespace tk

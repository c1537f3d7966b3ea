#pragma once
// The GUI thread's side of the run host: the download page's display, the questions a run puts
// to the user, and the start pages as the start page's list shows them. Each call runs on the
// GUI thread: MarshallingHost brings the worker's questions here, and puts its display calls in
// the host's feed, which Drain shows.
#include <atomic>
#include <functional>

#include "engine/run_host.h"
#include "monitor/progress_display.h"

class QWidget;

namespace tk {

// The start pages in the order the start page's list shows them. Read one at a time, and the
// count again before each start page.
struct StartUrlSource {
  std::function<std::size_t()> count;
  std::function<std::string(std::size_t)> url;
};

// The start page's own list when the sheet has built one with entries, otherwise the project's
// start URLs.
StartUrlSource StartUrlsOf(const QWidget* startPage);

class PageRunHost final : public RunHost {
 public:
  // `page` holds the display's controls and owns the questions' message boxes.
  PageRunHost(QWidget& page, RunClock& clock, StartUrlSource startUrls, const std::atomic<bool>& cancel);

  void ClearLog() override { m_display.ClearLog(); }
  void AppendLog(std::string_view text) override { m_display.AppendLog(text); }
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText) override {
    m_display.BeginFile(url, localName, sizeText);
  }
  void AddBytes(std::int64_t count) override { m_display.AddBytes(count); }
  void ShowCounts(const RunCounters& counts) override { m_display.ShowCounts(counts); }
  void EndTransfers() override { m_display.EndTransfers(); }

  // Where the worker's display calls wait to be shown.
  DisplayFeed& Feed() { return m_feed; }
  // Shows what the feed has gathered; `all` once the worker has ended, so nothing stays behind.
  void Drain(bool all = false) { m_display.Show(m_feed.Take(all)); }

  // Each question first brings the display up to the moment it is asked.
  // After a confirmed cancel the run must not create or empty a file: skip without asking.
  OverwriteAnswer AskOverwrite(const std::string& localPath) override;
  std::optional<Credentials> AskPassword(const std::string& url, const std::string& host) override;
  bool AskHangUp() override;
  std::size_t StartUrlCount() override { return m_startUrls.count ? m_startUrls.count() : 0; }
  std::string StartUrl(std::size_t index) override;
  bool CancelRequested() override { return m_cancel.load(); }

 private:
  QWidget& m_page;
  ProgressDisplay m_display;
  DisplayFeed m_feed;
  StartUrlSource m_startUrls;
  const std::atomic<bool>& m_cancel;
};

}  // namespace tk

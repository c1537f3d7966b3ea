#pragma once
// The run host the worker talks to: every call is carried over to the GUI thread and handled
// there by the page's own host, synchronously, so the controls are only ever touched by the
// thread that owns them. Only the cancel flag is read on the worker's side: it is an atomic that
// the GUI thread raises, and polling it must not depend on the GUI thread being free.
#include <QObject>

#include <atomic>

#include "engine/run_host.h"

namespace tk {

class MarshallingHost final : public RunHost {
 public:
  // `gui` runs on the thread of `context`; both must outlive every call of the run.
  MarshallingHost(RunHost& gui, QObject* context, const std::atomic<bool>& cancel)
      : m_gui(gui), m_context(context), m_cancel(cancel) {}

  void ClearLog() override;
  void AppendLog(std::string_view text) override;
  void BeginFile(const std::string& url, const std::string& localName, const std::string& sizeText) override;
  void AddBytes(std::int64_t count) override;
  void ShowCounts(const RunCounters& counts) override;
  void EndTransfers() override;
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
  QObject* m_context;
  const std::atomic<bool>& m_cancel;
};

}  // namespace tk

#include "monitor/marshalling_host.h"

#include "monitor/gui_call.h"

namespace tk {

void MarshallingHost::ClearLog() {
  CallOnGui(m_context, [this] { m_gui.ClearLog(); });
}

void MarshallingHost::AppendLog(std::string_view text) {
  CallOnGui(m_context, [this, text] { m_gui.AppendLog(text); });
}

void MarshallingHost::BeginFile(const std::string& url, const std::string& localName,
                                const std::string& sizeText) {
  CallOnGui(m_context, [&] { m_gui.BeginFile(url, localName, sizeText); });
}

void MarshallingHost::AddBytes(std::int64_t count) {
  CallOnGui(m_context, [this, count] { m_gui.AddBytes(count); });
}

void MarshallingHost::ShowCounts(const RunCounters& counts) {
  // A copy: the run's counters belong to the worker.
  CallOnGui(m_context, [this, counts] { m_gui.ShowCounts(counts); });
}

void MarshallingHost::EndTransfers() {
  CallOnGui(m_context, [this] { m_gui.EndTransfers(); });
}

OverwriteAnswer MarshallingHost::AskOverwrite(const std::string& localPath) {
  return CallOnGui(m_context, OverwriteAnswer::Skip, [&] { return m_gui.AskOverwrite(localPath); });
}

std::optional<Credentials> MarshallingHost::AskPassword(const std::string& url, const std::string& host) {
  return CallOnGui(m_context, std::optional<Credentials>(), [&] { return m_gui.AskPassword(url, host); });
}

bool MarshallingHost::AskHangUp() {
  return CallOnGui(m_context, false, [this] { return m_gui.AskHangUp(); });
}

std::size_t MarshallingHost::StartUrlCount() {
  return CallOnGui(m_context, std::size_t{0}, [this] { return m_gui.StartUrlCount(); });
}

std::string MarshallingHost::StartUrl(std::size_t index) {
  return CallOnGui(m_context, std::string(), [this, index] { return m_gui.StartUrl(index); });
}

}  // namespace tk

#include "monitor/marshalling_host.h"

#include "monitor/gui_call.h"

namespace tk {

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

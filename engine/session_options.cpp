#include "engine/session_options.h"

#include <algorithm>
#include <cmath>

namespace tk {
namespace {

std::chrono::milliseconds Millis(double seconds) {
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(std::max(seconds, 0.0) * 1000)));
}

// The user agent goes into a request header as it is: a control byte in it (a line break above
// all, from a project file made by someone else) would start a header of the file's choosing.
std::string HeaderSafe(std::string_view text) {
  std::string out;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
  return out;
}

}  // namespace

inet::SessionOptions SessionOptionsFor(const ProjectSettings& settings, std::string_view agent) {
  inet::SessionOptions options;
  options.agent = HeaderSafe(settings.UserAgent.empty() ? agent : std::string_view(settings.UserAgent));
  if (options.agent.empty()) options.agent = std::string(agent);
  options.wait = Millis(settings.WaitSeconds);
  options.limitRate = std::max<long long>(settings.LimitRate, 0);
  options.connections = std::clamp(settings.Connections, 1, kMaxConnections);
  if (settings.TimeoutSeconds > 0) options.connectTimeout = options.stallTimeout = Millis(settings.TimeoutSeconds);
  return options;
}

}  // namespace tk

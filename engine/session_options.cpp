#include "engine/session_options.h"

#include <algorithm>
#include <cmath>

namespace tk {
namespace {

std::chrono::milliseconds Millis(double seconds) {
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(std::max(seconds, 0.0) * 1000)));
}

}  // namespace

inet::SessionOptions SessionOptionsFor(const ProjectSettings& settings, std::string_view agent) {
  inet::SessionOptions options;
  options.agent = std::string(agent);
  options.wait = Millis(settings.WaitSeconds);
  options.limitRate = std::max<long long>(settings.LimitRate, 0);
  options.connections = std::clamp(settings.Connections, 1, kMaxConnections);
  if (settings.TimeoutSeconds > 0) options.connectTimeout = options.stallTimeout = Millis(settings.TimeoutSeconds);
  return options;
}

}  // namespace tk

#include "engine/session_options.h"

namespace tk {

inet::SessionOptions SessionOptionsFor(const ProjectSettings& settings, std::string_view agent) {
  inet::SessionOptions options;
  options.agent = std::string(agent);
  (void)settings;
  return options;
}

}  // namespace tk

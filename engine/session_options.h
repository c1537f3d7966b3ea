#pragma once
// The internet layer's options for one run, taken from the job's settings.
#include <string_view>

#include "inet/inet.h"
#include "settings/project.h"

namespace tk {

// `agent` is the program's own name, sent unless the settings name another user agent.
inet::SessionOptions SessionOptionsFor(const ProjectSettings& settings, std::string_view agent);

}  // namespace tk

#pragma once
// Credentials from a netrc file ("machine HOST login USER password PASS", or "default").
#include <optional>
#include <string>
#include <string_view>

#include "engine/run_host.h"

namespace tk::cli {

// The entry for `host` (case-insensitive), else the default entry, else nothing.
std::optional<Credentials> NetrcLookup(std::string_view text, std::string_view host);

}  // namespace tk::cli

#pragma once
// Credentials from a netrc file ("machine HOST login USER password PASS", or "default").
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run_host.h"

namespace tk::cli {

// The entry for `host` (case-insensitive), else the default entry, else nothing.
std::optional<Credentials> NetrcLookup(std::string_view text, std::string_view host);

// A netrc file is a few lines; one larger than this is not read.
inline constexpr std::uintmax_t kMaxNetrcBytes = 1u << 20;

// The text of the netrc file at `path`, or "" when it is missing, no regular file (a FIFO, a
// link to /dev/zero) or larger than kMaxNetrcBytes: read without waiting and within the bound.
std::string ReadNetrcFile(const std::filesystem::path& path);

}  // namespace tk::cli

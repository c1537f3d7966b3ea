#pragma once
// A list of start URLs kept in a text file, one a line, as wget's --input-file reads it. Shared by
// the CLI's -i and the start page's "add from file" button, so both take the same lines.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// The lines of `text` that name something: blanks around each line trimmed, blank lines and lines
// whose first non-blank character is '#' skipped. LF, CRLF and CR line ends; a UTF-8 BOM dropped.
// No URL is checked here: each front end tells the user about a bad one in its own words.
std::vector<std::string> ParseUrlList(std::string_view text);

// A list file larger than this is refused rather than read into memory.
inline constexpr std::uintmax_t kMaxUrlListBytes = 16u << 20;

// Reads a regular file (never a FIFO or a device, which could block or never end) of at most
// kMaxUrlListBytes and parses it. nullopt with an English `error` naming the reason otherwise.
std::optional<std::vector<std::string>> ReadUrlListFile(const std::filesystem::path& file, std::string& error);

}  // namespace tk

#pragma once
// Replacing a small file whole: settings and project files are rewritten this way, so that a
// crash or a full disk never leaves half a file.
#include <filesystem>
#include <string_view>

namespace tk {

// Writes `data` to a new file in the folder of `file`, flushes it to the disk and renames it over
// `file`. A symbolic link is written through, not replaced by a plain file. The new file keeps
// the old one's permission bits; a file made new gets 0666 less the process's umask, as any
// new file does. False, with `file` as it was and no temporary file left, on any failure.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data);

}  // namespace tk

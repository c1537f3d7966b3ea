// The FTP listing parsers and the "*" pattern on arbitrary bytes: nothing may crash, no entry is
// nameless or a "." / ".." entry, and every name matches "*" and itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "inet/ftp_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (bool mlsd : {false, true}) {
    for (const auto& line : tk::inet::ParseListing(text, mlsd)) {
      if (line.name.empty() || line.name == "." || line.name == "..") std::abort();
      if (!tk::inet::MatchesPattern("*", line.name)) std::abort();
      if (line.name.find('*') == std::string::npos && !tk::inet::MatchesPattern(line.name, line.name))
        std::abort();
    }
  }
  // The first line as a pattern against the rest: bounded work, no crash.
  const auto nl = text.find('\n');
  if (nl != std::string::npos) (void)tk::inet::MatchesPattern(text.substr(0, nl), text.substr(nl + 1));
  return 0;
}

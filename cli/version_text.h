#pragma once
// What --version shows.
#include <string>

namespace tk::cli {

// The program's version, then the libcurl and TLS library versions it runs with (which may be
// newer than the ones it was built against).
std::string VersionText();

}  // namespace tk::cli

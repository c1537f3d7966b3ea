#pragma once
// Turns a Location header's value into an absolute URL against the HTTP URL that was requested.
#include <string>
#include <string_view>

namespace tk {

// The value of the first "Location" field of the raw headers (name in any letter case, blanks
// around the value dropped); false when there is none.
bool FindLocation(std::string_view rawHeaders, std::string& location);

// Absolute locations come back unchanged; "//host/x", "/x", "?q" and "x" are resolved against
// scheme://host[:port]object (the port written when it is not the scheme's default).
std::string ResolveLocation(std::string_view host, int port, std::string_view object, std::string_view location,
                            std::string_view scheme = "http");

}  // namespace tk

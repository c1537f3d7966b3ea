#pragma once
// URL canonicalisation and splitting (ParseUrl is declared in inet/inet.h), plus the helpers the
// rest of the layer needs to put a parsed URL on the wire.
#include <string>
#include <string_view>

#include "inet/inet.h"

namespace tk::inet {

// RFC 3986 remove_dot_segments on a path that begins with "/": "." and ".." segments go, ".."
// never climbs above the root.
std::string RemoveDotSegments(std::string_view path);

// Percent-encodes spaces, control bytes and bytes >= 0x80; everything else, "%" included, stays.
std::string PercentEncodeUnsafe(std::string_view text);

// Percent-encodes the bytes a terminal or a log reader could take for commands: C0 controls, DEL,
// the C1 controls (U+0080..U+009F) and any byte that is not part of valid UTF-8. Printable text,
// non-ASCII letters included, stays.
std::string EncodeControls(std::string_view text);

// "%41" -> "A"; malformed escapes stay as written.
std::string PercentDecode(std::string_view text);

// The object as libcurl may take it: the fragment cut, query bytes encoded like the path's
// (libcurl refuses a raw space anywhere in a URL), an empty object made "/".
std::string WireObject(std::string_view object);

// The scheme's default port: 80 for http, 21 for ftp, 443 for https, 0 when unknown.
int DefaultPort(std::string_view scheme);

}  // namespace tk::inet

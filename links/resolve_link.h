#pragma once
// Turning a link value found in a page into the absolute URL to fetch.
#include <string>
#include <string_view>

namespace tk {

// value: the decoded link (no fragment). scheme, host, port, object: the page as finally
// fetched, object being its path with any query. Returns the absolute URL, or "" when the link is
// not one to fetch: a fragment-only link, or a scheme other than http and ftp (mailto:,
// javascript:, data:, ..., and https: unless `https` is set), which no URL built from the page's
// folder could ever reach.
//
// Links are resolved over the page's scheme, keeping its port (":port" unless it is the scheme's
// default), so a site served on :8080 stays on :8080. "." and ".." segments are left for the URL
// parser of the fetch.
std::string ResolveLink(std::string_view value, std::string_view host, int port,
                        std::string_view object, std::string_view scheme = "http", bool https = false);

}  // namespace tk

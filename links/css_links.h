#pragma once
// The style-sheet scanner with a page's rules: each url() and @import of a sheet, a <style>
// block or a style="" value is resolved against the page (or the sheet itself), fetched as a
// requisite at any layer, and rewritten to its local copy, or to its absolute URL when it is not
// saved. The answers pass through `page` exactly as the HTML scanner's do.
#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "links/css_scanner.h"
#include "links/html_scanner.h"

namespace tk {

// One per sheet or <style> block, default-constructed before the first chunk.
struct CssLinkState {
  CssScanState scan;
  // The answers given but not yet written: the scanner writes an answer once the reference
  // has closed, which may be in a later chunk.
  std::deque<std::pair<std::string, bool>> answers;  // URL, saved
};

void ScanCssChunk(const PageContext& page, std::string_view chunk, CssLinkState& state);
// After the last chunk: whatever the scanner still holds goes out as it came.
void FinishCssScan(const PageContext& page, CssLinkState& state);

// A relative path fit for any spelling of url(): the parentheses a bare url() cannot hold are
// escaped as well.
std::string CssSafePath(std::string_view relativePath);

// A value's text for a style sheet, given the page's rules; nullopt when the reference is no
// link to fetch (data:, a fragment alone, another scheme) and stays as written. `saved` tells
// whether the text leads to a local copy.
std::optional<std::string> CssLinkText(const PageContext& page, std::string_view url, bool& saved,
                                       std::string& absolute);

}  // namespace tk

#pragma once
// The streaming style-sheet scanner: copies a sheet (or a <style> block, or a style="" value)
// to its output as it arrives, chunk by chunk, and lets the caller replace the value of every
// url(…) and @import reference.
//
// It is a forward pass over bytes that knows just enough CSS to tell a URL from look-alikes:
// comments and strings are copied unscanned, escapes are decoded, and "url(" counts only as the
// start of a name. Every byte goes out exactly as it came except the values the caller replaces,
// and the output is the same whatever the chunk boundaries: all that a construct cut by a
// boundary needs is in CssScanState, whose size is fixed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "links/css_escapes.h"  // DecodeCssEscapes, for callers that read values themselves

namespace tk {

struct CssContext {
  // Called once per URL reference, in document order: `url` is the reference's value with CSS
  // escapes decoded and quotes/blanks around it removed; `import` is true for @import targets
  // (style sheets to scan in turn). Returns the text that replaces the value, or std::nullopt
  // to keep the reference byte for byte as written.
  std::function<std::optional<std::string>(std::string_view url, bool import)> link;
  // Appends bytes to the output.
  std::function<void(const char* data, std::size_t len)> write;
  // Optional: when set, every replacement is passed here instead of `write`, after any escaping
  // the scanner needs for its context (so the caller can note where in the output it stands).
  // Called exactly once per non-nullopt answer of `link`, in the same order.
  std::function<void(std::string_view text)> writeLink;
};

// A URL value longer than this (data: URIs can be huge) goes out as it came, without asking
// `link`, so the buffer never grows.
inline constexpr std::size_t kCssValueBufferSize = 8192;

// Where the scanner stands between two bytes.
enum class CssMode : std::uint8_t {
  kText,         // copying text; watching for "/*", quotes, "url(", "@import" and "\"
  kSlash,        // just after a "/": does a comment open?
  kComment,      // inside /* */: copied, never scanned
  kCommentStar,  // inside a comment, just after a "*": does it close?
  kString,       // inside a string that is no URL (or one too long to buffer): copied as is
  kUrlName,      // `matched` letters of "url(" seen, at the start of a name
  kImportName,   // `matched` letters of "@import" seen
  kImportGap,    // after "@import": blanks (or comments) before its string or url(
  kUrlGap,       // after "url(": blanks before the value
  kUrlQuoted,    // collecting a quoted URL value (without its quotes) in the buffer
  kUrlBare,      // collecting an unquoted URL value in the buffer
  kUrlBareEnd,   // after an unquoted value: blanks before ")", kept in the buffer behind it
  kBadUrl,       // an unquoted url( that is no link (malformed or too long): copied up to ")"
};

// One per style sheet, default-constructed before the first chunk and kept until FinishCss.
struct CssScanState {
  CssMode mode = CssMode::kText;
  CssMode afterComment = CssMode::kText;  // where a comment opened in kImportGap returns to
  // An escape in progress: 0 none, 1 just after "\", 2 to 7 after 1 to 6 hex digits, 8 after
  // the carriage return that ends a hex escape (a line feed may still belong to it).
  std::uint8_t escape = 0;
  std::uint8_t matched = 0;      // letters of "url(" or "@import" matched so far
  char quote = 0;                // the quote that closes the current string or quoted value
  bool import = false;           // the reference being read is an @import target
  bool importBlank = false;      // a blank or comment followed "@import": url( may come
  bool afterName = false;        // the last byte of the previous chunk continues a name
  std::unique_ptr<char[]> buffer;  // kCssValueBufferSize bytes, allocated by the first chunk
  std::size_t length = 0;          // bytes of the current value (and blanks after it) buffered
  std::size_t valueLength = 0;     // in kUrlBareEnd: the value's bytes, before the blanks
};

// Processes one chunk of any size.
void ParseCssChunk(const CssContext& css, std::string_view chunk, CssScanState& state);

// Writes whatever the state still holds after the last chunk (an unfinished url( or string
// goes out as it came, unchanged), and resets the state.
void FinishCss(const CssContext& css, CssScanState& state);

// Convenience for a whole text held in memory (a style="" attribute value, a test).
std::string RewriteCss(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view, bool)>& link);

}  // namespace tk

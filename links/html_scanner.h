#pragma once
// The streaming link scanner: copies a page to its local file as it arrives, chunk by chunk,
// has every link-bearing tag's link fetched, and rewrites the link to the local copy. A link
// whose target is not saved is written as its absolute URL, so that no link of the copy is left
// relative to a server folder that is not on disk.
//
// It is one forward pass over bytes, not an HTML parser: no tree, and a tag ends at its first
// ">", quoted or not. Comments end at their first ">" too.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

struct PageContext {
  std::string host;                 // the page as finally fetched, fragment removed
  int port = 80;
  std::string object;
  std::string pageLocalPath;        // relative to the save folder, "/"-separated
  int depth = 0;
  int linkLayers = 0;               // hyperlinks ("A") followed only while depth < linkLayers
  // Fetches one link (and, recursively, its own links) and returns its local path, or "".
  std::function<std::string(const std::string& url, bool parseHtml, int depth)> fetchUrl;
  // Appends bytes to the page's local file; the caller reports a failed write.
  std::function<void(const char* data, std::size_t len)> write;
  std::string scheme = "http";      // the page's: relative links keep it
  bool https = false;               // absolute https links are followed too
  bool robots = false;              // <meta name="robots" content="nofollow"> is obeyed
  // For a hyperlink beyond the layers, which is not fetched: the local path the run has already
  // saved it at, or "". Unset: nothing is known to be saved.
  std::function<std::string(const std::string& url)> savedPath = nullptr;
  // Writes a link's new value in place of `write`. `saved` is false when the value is the
  // absolute URL of a file not saved (yet), which the caller may mend once the run has ended.
  std::function<void(std::string_view text, const std::string& url, bool saved)> writeLink = nullptr;
};

inline constexpr std::size_t kTagBufferSize = 16384;

// Where the scanner stands between two bytes of the page.
enum class ScanMode : std::uint8_t {
  Text,     // copying text, looking for "<"
  AfterLt,  // just after "<": does a tag start here?
  InTag,    // collecting a tag's text in the buffer
  LongTag,  // a tag too long for the buffer, copied as is
  Style,    // inside <style>: a style sheet up to "</style"
};

// A link value found in a tag: where it stands in the tag's text and what replaces it.
struct LinkRewrite {
  std::size_t start = 0;
  std::size_t length = 0;
  std::string text;  // the relative path of the local copy, or the absolute URL
  std::string url;   // the absolute URL the value stands for
  bool saved = false;
  bool link = true;  // false: plain text (a style="" value's text around its links)
};

struct CssLinkState;

// Where the page's relative links start from: the page itself, or its <base href>.
struct LinkBase {
  bool set = false;
  bool usable = true;  // false: a base no fetchable URL can be built on; relative links stay
  std::string host;
  int port = 80;
  std::string object;
  std::string scheme = "http";
};

// One per page, default-constructed (all zero) before the first chunk and kept until the last,
// so that a tag split across chunks is seen whole.
struct ScanState {
  ScanMode mode = ScanMode::Text;
  // Set by an "HTML" tag, cleared by "/HTML": links are taken only inside that region.
  bool inHtml = false;
  // Set by a <style> tag until its ">" has gone out: the style sheet starts after it.
  bool enteringStyle = false;
  std::unique_ptr<char[]> tagBuffer;  // kTagBufferSize bytes, allocated by the first chunk
  std::size_t tagLength = 0;
  std::vector<LinkRewrite> rewrites;  // the current tag's, kept to reuse their memory
  LinkBase base;
  // In ScanMode::Style: the sheet's scan, and how many bytes of "</style" the text ends with.
  std::unique_ptr<CssLinkState> style;
  std::uint8_t styleEndMatched = 0;
  // The page asked robots not to follow its links: from there on its hyperlinks are treated as
  // beyond the layers; what the page itself shows (images, style sheets, frames) still comes.
  bool noFollow = false;

  ScanState();
  ~ScanState();
  ScanState(ScanState&&) noexcept;
  ScanState& operator=(ScanState&&) noexcept;
};

// Processes one chunk of any size. The text of a tag still open at the chunk's end waits for
// the next chunk, or for FinishHtml.
void ParseHtmlChunk(const PageContext& page, std::string_view chunk, ScanState& state);

// After the page's last chunk: a tag still open or a style sheet still open (a page cut short)
// goes out whole, so that every byte of the page is saved.
void FinishHtml(const PageContext& page, ScanState& state);

// Handles one complete tag (its text without "<" and ">"): switches the HTML region, or fetches
// the tag's link, and writes the tag, rewritten or as it was.
void HandleTag(const PageContext& page, std::string_view tag, ScanState& state);

}  // namespace tk

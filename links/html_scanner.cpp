#include "links/html_scanner.h"

#include <algorithm>
#include <cstring>

#include "links/attribute_value.h"
#include "links/link_tag_table.h"
#include "links/relative_path.h"
#include "links/resolve_link.h"

namespace tk {
namespace {

void Write(const PageContext& page, const char* data, std::size_t len) {
  if (len > 0 && page.write) page.write(data, len);
}

void Write(const PageContext& page, std::string_view text) { Write(page, text.data(), text.size()); }

bool StartsTag(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!';
}

void SetMode(ScanState& state, std::uint32_t mode) { state.word = (state.word & ~kModeMask) | mode; }

const char* Find(const char* from, const char* end, char c) {
  return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

// An absolute URL as a link value: bytes that would end or change the value in any quoting
// are percent-encoded; "%", "&" and "#" keep their meaning.
std::string AbsoluteLinkText(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size() + 8);
  for (const char ch : url) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\' ||
        c == '(' || c == ')') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

// Resolves the link value at [start, start + length) of `tag` and has it fetched (or, when not
// followed, looked up). Adds its rewrite; false when the value is no link to fetch and stays.
bool RewriteValue(const PageContext& page, std::string_view tag, std::size_t start, std::size_t length,
                  bool pageLink, bool follow, std::vector<LinkRewrite>& out) {
  if (length == 0) return false;
  const std::string_view raw = tag.substr(start, length);
  // Most values hold nothing to decode; they are resolved straight from the tag's bytes.
  std::string decoded;
  const bool plain = raw.find_first_of("&\t\r\n") == std::string_view::npos;
  if (!plain) decoded = DecodeLinkValue(raw);
  std::string url = ResolveLink(plain ? raw : decoded, page.host, page.port, page.object);
  if (url.empty()) return false;
  std::string local;
  if (follow)
    local = page.fetchUrl ? page.fetchUrl(url, pageLink, page.depth + 1) : std::string();
  else if (page.savedPath)
    local = page.savedPath(url);
  LinkRewrite& rewrite = out.emplace_back();
  rewrite.start = start;
  rewrite.length = length;
  rewrite.saved = !local.empty();
  rewrite.text = rewrite.saved ? MakeRelativeLocalPath(page.pageLocalPath, local) : AbsoluteLinkText(url);
  rewrite.url = std::move(url);
  return true;
}

// Fetches the link of a tag of `row`.
void FetchLink(const PageContext& page, const LinkTagRow& row, std::string_view tag, bool follow,
               std::vector<LinkRewrite>& out) {
  const AttributeValue value = FindAttributeValue(row.attribute, tag);
  if (!value.found()) return;
  RewriteValue(page, tag, static_cast<std::size_t>(value.start), value.length, row.pageLink, follow, out);
}

// Everything HandleTag does except writing: switches the HTML region, or fetches the links.
// True when the tag has values to replace, in state.rewrites in the order they stand.
bool ScanTag(const PageContext& page, std::string_view tag, ScanState& state) {
  state.rewrites.clear();
  const int row = FindLinkTagRow(TagName(tag));
  if (row == kRowHtml) {
    state.word |= kInHtmlFlag;
  } else if (row == kRowEndHtml) {
    state.word &= ~kInHtmlFlag;
  } else if (row >= 0 && state.inHtml()) {
    // Hyperlinks beyond the layers are not fetched, but still point at a copy the run has made.
    const bool follow = !(row == kRowAnchor && page.depth >= page.linkLayers);
    FetchLink(page, LinkTagTable[row], tag, follow, state.rewrites);
  }
  return !state.rewrites.empty();
}

void WriteRewrite(const PageContext& page, const LinkRewrite& rewrite) {
  if (page.writeLink)
    page.writeLink(rewrite.text, rewrite.url, rewrite.saved);
  else
    Write(page, rewrite.text);
}

// Writes from `from` up to each rewrite's value (positions relative to `tag`) and the rewrite
// in its place; returns where the bytes after the last value start.
const char* WriteRewrites(const PageContext& page, const char* from, const char* tag,
                          const std::vector<LinkRewrite>& rewrites) {
  for (const LinkRewrite& rewrite : rewrites) {
    Write(page, from, static_cast<std::size_t>(tag + rewrite.start - from));
    WriteRewrite(page, rewrite);
    from = tag + rewrite.start + rewrite.length;
  }
  return from;
}

// A tag whose ">" lies in the same chunk is scanned where it stands, without the copy into the
// tag buffer; a tag that stays as it was does not even end the pending text, so a page goes
// out in a few long writes. Returns where text mode goes on, or nullptr when the tag must take
// the byte-by-byte way (cut by the chunk's end, or too long for the buffer).
const char* ScanTagInPlace(const PageContext& page, const char* lt, const char* end,
                           const char*& run, ScanState& state) {
  const char* name = lt + 1;
  if (name == end) return nullptr;
  if (!StartsTag(*name)) return name + 1;  // "a < b": that byte is text and is not looked at again
  const std::size_t window = std::min<std::size_t>(static_cast<std::size_t>(end - name),
                                                   kTagBufferSize + 1);
  const char* gt = Find(name, name + window, '>');
  if (!gt || static_cast<std::size_t>(gt - name) > kTagBufferSize) return nullptr;
  if (ScanTag(page, std::string_view(name, static_cast<std::size_t>(gt - name)), state)) {
    run = WriteRewrites(page, run, name, state.rewrites);
  }
  return gt + 1;
}

}  // namespace

void HandleTag(const PageContext& page, std::string_view tag, ScanState& state) {
  const char* rest = tag.data();
  if (ScanTag(page, tag, state)) rest = WriteRewrites(page, rest, tag.data(), state.rewrites);
  Write(page, rest, static_cast<std::size_t>(tag.data() + tag.size() - rest));
}

void ParseHtmlChunk(const PageContext& page, std::string_view chunk, ScanState& state) {
  if (!state.tagBuffer) state.tagBuffer = std::make_unique_for_overwrite<char[]>(kTagBufferSize);
  const char* p = chunk.data();
  const char* const end = p + chunk.size();
  const char* run = p;  // start of the pending text, in text and long-tag modes
  while (p < end) {
    switch (state.mode()) {
      case kModeText: {
        const char* lt = Find(p, end, '<');
        if (!lt) {
          p = end;
          break;
        }
        if (const char* next = ScanTagInPlace(page, lt, end, run, state)) {
          p = next;
          break;
        }
        p = lt + 1;
        Write(page, run, static_cast<std::size_t>(p - run));  // the "<" goes out with the text
        SetMode(state, kModeAfterLt);
        break;
      }
      case kModeAfterLt:
        if (StartsTag(*p)) {
          state.tagBuffer[0] = *p;
          state.tagLength = 1;
          SetMode(state, kModeInTag);
        } else {
          // "a < b": the byte is text, and is not looked at again, so "<<" opens no tag.
          run = p;
          SetMode(state, kModeText);
        }
        ++p;
        break;
      case kModeInTag: {
        const char* gt = Find(p, end, '>');
        const char* stop = gt ? gt : end;
        const auto n = static_cast<std::size_t>(stop - p);
        if (n > kTagBufferSize - state.tagLength) {
          // Too long to be a tag we can rewrite: pass it through unscanned, losing nothing.
          Write(page, state.tagBuffer.get(), state.tagLength);
          state.tagLength = 0;
          run = p;
          SetMode(state, kModeLongTag);
          break;
        }
        std::memcpy(state.tagBuffer.get() + state.tagLength, p, n);
        state.tagLength += n;
        p = stop;
        if (gt) {
          SetMode(state, kModeText);
          HandleTag(page, std::string_view(state.tagBuffer.get(), state.tagLength), state);
          state.tagLength = 0;
          run = gt;  // the ">" is the first byte of the following text
          p = gt + 1;
        }
        break;
      }
      case kModeLongTag: {
        const char* gt = Find(p, end, '>');
        p = gt ? gt + 1 : end;
        if (gt) SetMode(state, kModeText);
        break;
      }
      default:
        // Not a mode this scanner sets; start over as text rather than loop.
        SetMode(state, kModeText);
        run = p;
        break;
    }
  }
  const std::uint32_t mode = state.mode();
  if ((mode == kModeText || mode == kModeLongTag) && end > run)
    Write(page, run, static_cast<std::size_t>(end - run));
}

}  // namespace tk

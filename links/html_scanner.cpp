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

// A saved link: the value's place in the tag and the path that replaces it.
struct Rewrite {
  std::size_t start = 0;
  std::size_t length = 0;
  std::string path;
};

// Fetches the link of a tag of `row`. False when there is nothing to replace: the tag then goes
// out as it was.
bool FetchLink(const PageContext& page, const LinkTagRow& row, std::string_view tag, Rewrite& out) {
  const AttributeValue value = FindAttributeValue(row.attribute, tag);
  if (!value.found() || value.length == 0 || !page.fetchUrl) return false;
  const auto start = static_cast<std::size_t>(value.start);
  const std::string_view raw = tag.substr(start, value.length);
  // Most values hold nothing to decode; they are resolved straight from the tag's bytes.
  std::string decoded;
  const bool plain = raw.find_first_of("&\t\r\n") == std::string_view::npos;
  if (!plain) decoded = DecodeLinkValue(raw);
  const std::string url = ResolveLink(plain ? raw : decoded, page.host, page.port, page.object, page.scheme,
                                     page.https);
  if (url.empty()) return false;
  const std::string local = page.fetchUrl(url, row.pageLink, page.depth + 1);
  if (local.empty()) return false;
  out = Rewrite{start, value.length, MakeRelativeLocalPath(page.pageLocalPath, local)};
  return true;
}

// Everything HandleTag does except writing: switches the HTML region, or fetches the link.
bool ScanTag(const PageContext& page, std::string_view tag, ScanState& state, Rewrite& out) {
  const int row = FindLinkTagRow(TagName(tag));
  if (row == kRowHtml) {
    state.word |= kInHtmlFlag;
  } else if (row == kRowEndHtml) {
    state.word &= ~kInHtmlFlag;
  } else if (row >= 0 && state.inHtml()) {
    const bool beyondDepth = row == kRowAnchor && page.depth >= page.linkLayers;
    return !beyondDepth && FetchLink(page, LinkTagTable[row], tag, out);
  }
  return false;
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
  Rewrite rewrite;
  if (ScanTag(page, std::string_view(name, static_cast<std::size_t>(gt - name)), state, rewrite)) {
    Write(page, run, static_cast<std::size_t>(name + rewrite.start - run));
    Write(page, rewrite.path);
    run = name + rewrite.start + rewrite.length;
  }
  return gt + 1;
}

}  // namespace

void HandleTag(const PageContext& page, std::string_view tag, ScanState& state) {
  Rewrite rewrite;
  if (!ScanTag(page, tag, state, rewrite)) {
    Write(page, tag);
    return;
  }
  Write(page, tag.substr(0, rewrite.start));
  Write(page, rewrite.path);
  Write(page, tag.substr(rewrite.start + rewrite.length));
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

#include "links/html_scanner.h"

#include <algorithm>
#include <cstring>

#include <deque>
#include <iterator>
#include <optional>
#include <utility>

#include "base/text.h"
#include "inet/inet.h"
#include "links/attribute_value.h"
#include "links/css_links.h"
#include "links/srcset.h"
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

const char* Find(const char* from, const char* end, char c) {
  return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

bool HasScheme(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && ((value[i] >= 'a' && value[i] <= 'z') || (value[i] >= 'A' && value[i] <= 'Z'))) ++i;
  return i > 0 && i < value.size() && value[i] == ':';
}

// The page as its relative links see it: its <base href> when it has one.
PageContext BasedPage(const PageContext& page, const ScanState& state) {
  PageContext based = page;
  if (state.base.set) {
    based.host = state.base.usable ? state.base.host : std::string();
    based.port = state.base.port;
    based.object = state.base.object;
    based.scheme = state.base.scheme;
  }
  return based;
}

std::string Resolve(const PageContext& page, const ScanState& state, std::string_view value) {
  if (!state.base.set) return ResolveLink(value, page.host, page.port, page.object, page.scheme, page.https);
  // Relative links under a base no fetchable URL is built on stay as written, for the browser
  // to resolve against that base.
  if (!state.base.usable)
    return HasScheme(value) ? ResolveLink(value, page.host, page.port, page.object, page.scheme, page.https) : "";
  return ResolveLink(value, state.base.host, state.base.port, state.base.object, state.base.scheme, page.https);
}

// Resolves the link value at [start, start + length) of `tag` and has it fetched (or, when not
// followed, looked up). Adds its rewrite; false when the value is no link to fetch and stays.
bool RewriteValue(const PageContext& page, ScanState& state, std::string_view tag, std::size_t start,
                  std::size_t length, bool pageLink, bool follow) {
  if (length == 0) return false;
  const std::string_view raw = tag.substr(start, length);
  // Most values hold nothing to decode; they are resolved straight from the tag's bytes.
  std::string decoded;
  const bool plain =
      std::none_of(raw.begin(), raw.end(), [](char c) { return c == '&' || c == '\t' || c == '\r' || c == '\n'; });
  if (!plain) decoded = DecodeLinkValue(raw);
  std::string url = Resolve(page, state, plain ? raw : decoded);
  if (url.empty()) return false;
  std::string local;
  if (follow)
    local = page.fetchUrl ? page.fetchUrl(url, pageLink, page.depth + 1) : std::string();
  else if (page.savedPath)
    local = page.savedPath(url);
  LinkRewrite& rewrite = state.rewrites.emplace_back();
  rewrite.start = start;
  rewrite.length = length;
  rewrite.saved = !local.empty();
  rewrite.text = rewrite.saved ? MakeRelativeLocalPath(page.pageLocalPath, local)
                               : HtmlAttributeText(AbsoluteLinkText(url));
  rewrite.url = std::move(url);
  return true;
}

std::string_view ValueText(std::string_view tag, const AttributeValue& value) {
  return value.found() ? tag.substr(static_cast<std::size_t>(value.start), value.length) : std::string_view();
}

bool IsNonGetForm(std::string_view method) {
  return EqualsNoCase(method, "post") || EqualsNoCase(method, "dialog");
}

void ScanSrcset(const PageContext& page, ScanState& state, std::string_view tag, const AttributeValue& value) {
  if (!value.found()) return;
  const auto at = static_cast<std::size_t>(value.start);
  for (const SrcsetCandidate& candidate : ParseSrcset(ValueText(tag, value))) {
    // A fragment stays behind the new path, as in any other value.
    const std::string_view url = tag.substr(at + candidate.start, candidate.length);
    RewriteValue(page, state, tag, at + candidate.start, LinkPartLength(url), false, true);
  }
}

// Where the URL stands in a refresh's content ("5; url='next.html'"), read as browsers read it:
// a delay, a ";" or ",", an optional "url=", optional quotes. Ends before a fragment, which
// stays behind the new path; {0, 0} when the value names no URL. `delayed`: the delay's whole
// seconds are not 0 ("0.5" sends the browser on at once).
std::pair<std::size_t, std::size_t> RefreshUrlSpan(std::string_view content, bool& delayed) {
  std::size_t at = 0;
  auto skipBlanks = [&] {
    while (at < content.size() && IsBlank(content[at])) ++at;
  };
  skipBlanks();
  delayed = false;
  while (at < content.size() && content[at] >= '0' && content[at] <= '9') delayed |= content[at++] != '0';
  while (at < content.size() && ((content[at] >= '0' && content[at] <= '9') || content[at] == '.')) ++at;
  skipBlanks();
  if (at < content.size() && (content[at] == ';' || content[at] == ',')) ++at;
  skipBlanks();
  if (content.size() - at >= 3 && EqualsNoCase(content.substr(at, 3), "url")) {
    std::size_t after = at + 3;
    while (after < content.size() && IsBlank(content[after])) ++after;
    if (after < content.size() && content[after] == '=') {
      at = after + 1;
      skipBlanks();
    }
  }
  std::size_t end = content.size();
  if (at < end && (content[at] == '\'' || content[at] == '"')) {
    const char quote = content[at++];
    end = std::min(end, content.find(quote, at));
  }
  while (end > at && IsBlank(content[end - 1])) --end;
  end = at + LinkPartLength(content.substr(at, end - at));
  return {at, end - at};
}

// <base href>: later relative links start from it. The copy's links are all relative to the
// copy itself, so a base that was used is emptied, which makes it the page's own address.
void ScanBase(const PageContext& page, ScanState& state, std::string_view tag) {
  const AttributeValue whole = FindWholeAttributeValue("HREF", tag);
  if (!whole.found() || state.base.set) return;
  const AttributeValue value = FindAttributeValue("HREF", tag);
  std::string raw(ValueText(tag, value));
  if (raw.find_first_of("&\t\r\n") != std::string::npos) raw = DecodeLinkValue(raw);
  state.base.set = true;
  const std::string url = ResolveLink(raw, page.host, page.port, page.object, page.scheme, page.https);
  const auto parsed = url.empty() ? std::nullopt : inet::ParseUrl(url);
  state.base.usable = parsed && (parsed->service == inet::Service::Http ||
                                 (parsed->service == inet::Service::Https && page.https));
  if (!state.base.usable) return;
  state.base.host = parsed->host;
  state.base.port = parsed->port;
  state.base.object = parsed->object;
  state.base.scheme = parsed->service == inet::Service::Https ? "https" : "http";
  LinkRewrite& rewrite = state.rewrites.emplace_back();
  rewrite.start = static_cast<std::size_t>(whole.start);
  rewrite.length = whole.length;
  rewrite.link = false;
  // An unquoted value gets its quotes, so that "href=>" leaves no doubt.
  const char before = rewrite.start > 0 ? tag[rewrite.start - 1] : '\0';
  if (before != '"' && before != '\'') rewrite.text = "\"\"";
}

// The text of an attribute value spelled with character references, put back into the quotes
// it stands in.
std::string EncodeForAttribute(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == quote && c == '"') out += "&quot;";
    else if (c == quote && c == '\'') out += "&#39;";
    else out += c;
  }
  return out;
}

// A style="" value holding url(): its references are fetched like a style sheet's.
void ScanStyleAttribute(const PageContext& page, ScanState& state, std::string_view tag) {
  if (std::memchr(tag.data(), '(', tag.size()) == nullptr) return;
  const AttributeValue value = FindWholeAttributeValue("STYLE", tag);
  const std::string_view raw = ValueText(tag, value);
  if (raw.find('(') == std::string_view::npos) return;
  // A value spelled with character references is read as the browser reads it, and what
  // replaces it is spelled again for its quotes.
  const bool referenced = raw.find('&') != std::string_view::npos;
  const std::string decoded = referenced ? DecodeCharacterReferences(raw) : std::string();
  const auto start = static_cast<std::size_t>(value.start);
  const char quote = start > 0 ? tag[start - 1] : '\0';
  const PageContext based = BasedPage(page, state);
  std::vector<LinkRewrite> pieces(1);
  std::deque<std::pair<std::string, bool>> answers;
  bool any = false;
  CssContext context;
  context.link = [&](std::string_view url, bool) {
    bool saved = false;
    std::string absolute;
    auto text = CssLinkText(based, url, saved, absolute);
    if (text) answers.emplace_back(std::move(absolute), saved);
    return text;
  };
  context.write = [&](const char* data, std::size_t len) { pieces.back().text.append(data, len); };
  context.writeLink = [&](std::string_view text) {
    LinkRewrite& link = pieces.emplace_back();
    link.text = text;
    link.url = std::move(answers.front().first);
    link.saved = answers.front().second;
    answers.pop_front();
    pieces.emplace_back();
    any = true;
  };
  CssScanState scan;
  ParseCssChunk(context, referenced ? std::string_view(decoded) : raw, scan);
  FinishCss(context, scan);
  if (!any) return;
  // The first piece takes the value's place; the rest follow it, each of no length.
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    LinkRewrite& piece = pieces[i];
    piece.start = i == 0 ? start : start + value.length;
    piece.length = i == 0 ? value.length : 0;
    piece.link = !piece.url.empty();
    if (referenced) piece.text = EncodeForAttribute(piece.text, quote);
    if (!piece.link && piece.text.empty() && i > 0) continue;
    state.rewrites.push_back(std::move(piece));
  }
}

// "nofollow" or "none" among the comma-separated words of a robots <meta>'s content.
bool SaysNoFollow(std::string_view content) {
  while (!content.empty()) {
    const std::size_t end = std::min(content.find(','), content.size());
    std::string_view word = content.substr(0, end);
    content.remove_prefix(std::min(end + 1, content.size()));
    while (!word.empty() && (word.front() == ' ' || word.front() == '\t')) word.remove_prefix(1);
    while (!word.empty() && (word.back() == ' ' || word.back() == '\t')) word.remove_suffix(1);
    if (EqualsNoCase(word, "nofollow") || EqualsNoCase(word, "none")) return true;
  }
  return false;
}

void ScanRobotsMeta(const PageContext& page, ScanState& state, std::string_view tag) {
  if (page.robots && EqualsNoCase(ValueText(tag, FindWholeAttributeValue("NAME", tag)), "robots") &&
      SaysNoFollow(ValueText(tag, FindWholeAttributeValue("CONTENT", tag))))
    state.noFollow = true;
}

void ScanRow(const PageContext& page, ScanState& state, int index, bool firstRow, std::string_view tag) {
  const LinkTagRow& row = LinkTagTable[index];
  // A tag's first row names the attribute it nearly always has; the later ones are rare.
  if (!firstRow && !MayHoldAttribute(tag, row.attribute)) return;
  switch (row.kind) {
    case LinkValueKind::FormAction:
      // Browsers send a form with GET unless it names another method they know.
      if (IsNonGetForm(ValueText(tag, FindWholeAttributeValue("METHOD", tag)))) break;
      [[fallthrough]];
    case LinkValueKind::Url:
    case LinkValueKind::Hyperlink: {
      // Hyperlinks beyond the layers are not fetched, but still point at a copy the run has made.
      const bool hyperlink = index == kRowAnchor || row.kind != LinkValueKind::Url;
      const bool follow = !(hyperlink && (page.depth >= page.linkLayers || state.noFollow));
      const AttributeValue value = FindAttributeValue(row.attribute, tag);
      if (value.found())
        RewriteValue(page, state, tag, static_cast<std::size_t>(value.start), value.length, row.pageLink, follow);
      break;
    }
    case LinkValueKind::Srcset:
      ScanSrcset(page, state, tag, FindWholeAttributeValue(row.attribute, tag));
      break;
    case LinkValueKind::LinkRel: {
      const AttributeValue value = FindAttributeValue(row.attribute, tag);
      if (!value.found()) break;
      // Style sheets, icons and the like are the page's own; any other <link> names a page.
      const bool requisite = IsRequisiteRel(ValueText(tag, FindWholeAttributeValue("REL", tag)));
      const bool follow = requisite || (page.depth < page.linkLayers && !state.noFollow);
      RewriteValue(page, state, tag, static_cast<std::size_t>(value.start), value.length, !requisite, follow);
      break;
    }
    case LinkValueKind::ImageInput: {
      const AttributeValue value = FindAttributeValue(row.attribute, tag);
      if (value.found() && EqualsNoCase(ValueText(tag, FindWholeAttributeValue("TYPE", tag)), "image"))
        RewriteValue(page, state, tag, static_cast<std::size_t>(value.start), value.length, false, true);
      break;
    }
    case LinkValueKind::Base:
      ScanBase(page, state, tag);
      break;
    case LinkValueKind::Refresh: {
      ScanRobotsMeta(page, state, tag);
      if (!EqualsNoCase(ValueText(tag, FindWholeAttributeValue("HTTP-EQUIV", tag)), "refresh")) break;
      const AttributeValue value = FindWholeAttributeValue(row.attribute, tag);
      if (!value.found()) break;
      bool delayed = false;
      const auto [at, length] = RefreshUrlSpan(ValueText(tag, value), delayed);
      const bool follow = !delayed || page.depth < page.linkLayers;
      RewriteValue(page, state, tag, static_cast<std::size_t>(value.start) + at, length, row.pageLink, follow);
      break;
    }
    case LinkValueKind::StyleBlock:
      state.enteringStyle = true;
      break;
    case LinkValueKind::Region:
      break;
  }
}

// Everything HandleTag does except writing: switches the HTML region, or fetches the links.
// True when the tag has values to replace, in state.rewrites in the order they stand.
bool ScanTag(const PageContext& page, std::string_view tag, ScanState& state) {
  state.rewrites.clear();
  const std::string_view name = TagName(tag);
  const int first = FindLinkTagRow(name);
  if (first == kRowHtml) {
    state.inHtml = true;
  } else if (first == kRowEndHtml) {
    state.inHtml = false;
  } else if (state.inHtml) {
    for (int i = first; i >= 0; i = kNextRowOfTag[i]) ScanRow(page, state, i, i == first, tag);
    // An end tag, a comment or a tag without attributes has no style="".
    if (name.size() < tag.size() && name[0] != '/' && name[0] != '!') ScanStyleAttribute(page, state, tag);
    if (state.rewrites.size() > 1)
      std::stable_sort(state.rewrites.begin(), state.rewrites.end(),
                       [](const LinkRewrite& a, const LinkRewrite& b) { return a.start < b.start; });
  }
  return !state.rewrites.empty();
}

void WriteRewrite(const PageContext& page, const LinkRewrite& rewrite) {
  if (page.writeLink && rewrite.link)
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

// After a <style> tag: what is still pending goes out, and the style sheet starts.
void EnterStyle(const PageContext& page, ScanState& state, const char*& run, const char* p) {
  state.enteringStyle = false;
  Write(page, run, static_cast<std::size_t>(p - run));
  run = p;
  state.style = std::make_unique<CssLinkState>();
  state.styleEndMatched = 0;
  state.mode = ScanMode::Style;
}

constexpr std::string_view kStyleEnd = "</style";

// In ScanMode::Style: hands the sheet to the style-sheet scanner up to "</style", which ends it
// wherever it stands, as it does in a browser. Returns where the chunk goes on.
const char* ScanStyle(const PageContext& page, ScanState& state, const char* p, const char* end) {
  const PageContext based = BasedPage(page, state);
  while (p < end) {
    if (state.styleEndMatched == 0) {
      const char* lt = Find(p, end, '<');
      ScanCssChunk(based, std::string_view(p, static_cast<std::size_t>((lt ? lt : end) - p)), *state.style);
      if (!lt) return end;
      p = lt + 1;
      state.tagBuffer[0] = '<';
      state.styleEndMatched = 1;
      continue;
    }
    // The bytes matched so far wait in the tag buffer, in their own letter case.
    while (p < end && state.styleEndMatched < kStyleEnd.size() && AsciiLower(*p) == kStyleEnd[state.styleEndMatched]) {
      state.tagBuffer[state.styleEndMatched++] = *p;
      ++p;
    }
    if (state.styleEndMatched == kStyleEnd.size()) {
      // The sheet is over; "</style" is a tag like any other, its "<" already behind us.
      FinishCssScan(based, *state.style);
      state.style.reset();
      state.styleEndMatched = 0;
      Write(page, "<");
      std::memmove(state.tagBuffer.get(), state.tagBuffer.get() + 1, kStyleEnd.size() - 1);
      state.tagLength = kStyleEnd.size() - 1;
      state.mode = ScanMode::InTag;
      return p;
    }
    if (p == end) return end;  // the rest of "</style" may come with the next chunk
    // Not the end after all: those bytes were part of the sheet.
    ScanCssChunk(based, std::string_view(state.tagBuffer.get(), state.styleEndMatched), *state.style);
    state.styleEndMatched = 0;
  }
  return p;
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

ScanState::ScanState() = default;
ScanState::~ScanState() = default;
ScanState::ScanState(ScanState&&) noexcept = default;
ScanState& ScanState::operator=(ScanState&&) noexcept = default;

void FinishHtml(const PageContext& page, ScanState& state) {
  if (state.mode == ScanMode::InTag) {
    // A tag, comment or attribute the page never closed is no tag to a browser either: its
    // text is the page's last, and goes out as it came.
    Write(page, state.tagBuffer.get(), state.tagLength);
    state.tagLength = 0;
    state.mode = ScanMode::Text;
    return;
  }
  if (state.mode != ScanMode::Style || !state.style) return;
  const PageContext based = BasedPage(page, state);
  ScanCssChunk(based, std::string_view(state.tagBuffer.get(), state.styleEndMatched), *state.style);
  FinishCssScan(based, *state.style);
  state.style.reset();
  state.styleEndMatched = 0;
  state.mode = ScanMode::Text;
}

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
    switch (state.mode) {
      case ScanMode::Text: {
        const char* lt = Find(p, end, '<');
        if (!lt) {
          p = end;
          break;
        }
        if (const char* next = ScanTagInPlace(page, lt, end, run, state)) {
          p = next;
          if (state.enteringStyle) EnterStyle(page, state, run, p);
          break;
        }
        p = lt + 1;
        Write(page, run, static_cast<std::size_t>(p - run));  // the "<" goes out with the text
        state.mode = ScanMode::AfterLt;
        break;
      }
      case ScanMode::AfterLt:
        if (StartsTag(*p)) {
          state.tagBuffer[0] = *p;
          state.tagLength = 1;
          state.mode = ScanMode::InTag;
        } else {
          // "a < b": the byte is text, and is not looked at again, so "<<" opens no tag.
          run = p;
          state.mode = ScanMode::Text;
        }
        ++p;
        break;
      case ScanMode::InTag: {
        const char* gt = Find(p, end, '>');
        const char* stop = gt ? gt : end;
        const auto n = static_cast<std::size_t>(stop - p);
        if (n > kTagBufferSize - state.tagLength) {
          // Too long to be a tag we can rewrite: pass it through unscanned, losing nothing.
          Write(page, state.tagBuffer.get(), state.tagLength);
          state.tagLength = 0;
          run = p;
          state.mode = ScanMode::LongTag;
          break;
        }
        std::memcpy(state.tagBuffer.get() + state.tagLength, p, n);
        state.tagLength += n;
        p = stop;
        if (gt) {
          state.mode = ScanMode::Text;
          HandleTag(page, std::string_view(state.tagBuffer.get(), state.tagLength), state);
          state.tagLength = 0;
          run = gt;  // the ">" is the first byte of the following text
          p = gt + 1;
          if (state.enteringStyle) EnterStyle(page, state, run, p);
        }
        break;
      }
      case ScanMode::Style:
        p = ScanStyle(page, state, p, end);
        break;
      case ScanMode::LongTag: {
        const char* gt = Find(p, end, '>');
        p = gt ? gt + 1 : end;
        if (gt) state.mode = ScanMode::Text;
        break;
      }
    }
  }
  if ((state.mode == ScanMode::Text || state.mode == ScanMode::LongTag) && end > run)
    Write(page, run, static_cast<std::size_t>(end - run));
}

}  // namespace tk

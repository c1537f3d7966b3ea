#include "links/css_scanner.h"

#include "base/text.h"
#include "links/css_escapes.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tk {
namespace {

using css::IsBlank;
using css::IsHex;
using css::IsNewline;
using css::IsQuote;

using ByteTable = std::array<bool, 256>;

// Bytes that may start something in text: a comment, a string, an escape, url( or @import.
constexpr ByteTable kTextStops = [] {
  ByteTable t{};
  for (const char c : {'/', '"', '\'', '\\', 'u', 'U', '@'}) t[static_cast<unsigned char>(c)] = true;
  return t;
}();

// Bytes after which a "u" continues a name (myurl(, -url(, #url(, @url(, 2url() instead of
// starting one; bytes from 0x80 up are the non-ASCII letters of names.
constexpr ByteTable kNameBytes = [] {
  ByteTable t{};
  for (int c = 0; c < 256; ++c)
    t[static_cast<std::size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                     (c >= '0' && c <= '9') || c >= 0x80 || c == '-' ||
                                     c == '_' || c == '\\' || c == '#' || c == '@';
  return t;
}();

// Bytes that end the plain run of an unquoted URL value: its end, a blank, an escape, or a byte
// that makes it malformed (quotes, "(", control characters).
constexpr ByteTable kBareStops = [] {
  ByteTable t{};
  for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = true;
  for (const char c : {')', '(', ' ', '\\', '"', '\''}) t[static_cast<unsigned char>(c)] = true;
  t[0x7F] = true;
  return t;
}();

bool In(const ByteTable& table, char c) { return table[static_cast<unsigned char>(c)]; }

const char* SkipUntil(const ByteTable& stops, const char* p, const char* end) {
  while (p < end && !In(stops, *p)) ++p;
  return p;
}

// Text holds most of a sheet, so it is skipped a block at a time where no byte of the block can
// start anything; the table decides the rest.
#if defined(__SSE2__)
const char* SkipText(const char* p, const char* end) {
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i dquote = _mm_set1_epi8('"');
  const __m128i squote = _mm_set1_epi8('\'');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i at = _mm_set1_epi8('@');
  const __m128i u = _mm_set1_epi8('u');
  const __m128i caseBit = _mm_set1_epi8(0x20);  // "U" becomes "u"; nothing else maps to a stop
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, dquote)),
                     _mm_or_si128(_mm_cmpeq_epi8(v, squote), _mm_cmpeq_epi8(v, backslash))),
        _mm_or_si128(_mm_cmpeq_epi8(v, at), _mm_cmpeq_epi8(_mm_or_si128(v, caseBit), u)));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
  return SkipUntil(kTextStops, p, end);
}
#else
const char* SkipText(const char* p, const char* end) { return SkipUntil(kTextStops, p, end); }
#endif

// Feeds one byte to the escape in progress; true when the byte belongs to it. Outside strings
// a "\" before a line break escapes nothing, and the break is read as what it is.
bool StepEscape(std::uint8_t& escape, char c, bool inString) {
  if (escape == 1) {
    escape = 0;
    if (IsHex(c)) {
      escape = 2;
      return true;
    }
    if (IsNewline(c)) {
      if (!inString) return false;
      if (c == '\r') escape = 8;
      return true;
    }
    return true;
  }
  if (escape == 8) {
    escape = 0;
    return c == '\n';
  }
  if (IsHex(c) && escape < 7) {
    ++escape;
    return true;
  }
  escape = 0;
  if (c == '\r') escape = 8;  // one blank ends a hex escape, and "\r\n" is one blank
  return IsBlank(c);
}

bool Buffering(CssMode mode) {
  return mode == CssMode::kUrlQuoted || mode == CssMode::kUrlBare || mode == CssMode::kUrlBareEnd;
}

// One chunk's pass. Bytes from `run_` to `p_` are pending text that goes out unchanged; while a
// value is being buffered, nothing is pending (the text before it went out when it began).
class ChunkScan {
 public:
  ChunkScan(const CssContext& css, std::string_view chunk, CssScanState& state)
      : css_(css), s_(state), begin_(chunk.data()), p_(begin_), end_(begin_ + chunk.size()),
        run_(begin_) {}

  void Run() {
    while (p_ < end_) Step();
    if (!Buffering(s_.mode)) Write(run_, static_cast<std::size_t>(end_ - run_));
    if (end_ > begin_) s_.afterName = nameUntil_ == end_ || In(kNameBytes, end_[-1]);
  }

 private:
  void Step() {
    switch (s_.mode) {
      case CssMode::kText: return Text();
      case CssMode::kSlash: return Slash();
      case CssMode::kComment: return Comment();
      case CssMode::kCommentStar: return CommentStar();
      case CssMode::kString: return String();
      case CssMode::kUrlName: return Keyword("url(", CssMode::kUrlGap);
      case CssMode::kImportName: return Keyword("@import", CssMode::kImportGap);
      case CssMode::kImportGap: return ImportGap();
      case CssMode::kUrlGap: return UrlGap();
      case CssMode::kUrlQuoted: return UrlQuoted();
      case CssMode::kUrlBare: return UrlBare();
      case CssMode::kUrlBareEnd: return UrlBareEnd();
      case CssMode::kBadUrl: return BadUrl();
    }
    s_.mode = CssMode::kText;  // not a mode this scanner sets; start over as text rather than loop
  }

  void Write(const char* data, std::size_t len) {
    if (len > 0 && css_.write) css_.write(data, len);
  }

  bool AfterName(const char* at) const {
    if (at == nameUntil_) return true;
    return at > begin_ ? In(kNameBytes, at[-1]) : s_.afterName;
  }

  void Text() {
    if (s_.escape != 0) {
      while (p_ < end_ && s_.escape != 0 && StepEscape(s_.escape, *p_, false)) ++p_;
      if (s_.escape == 0) nameUntil_ = p_;  // an escape is part of a name
      return;
    }
    // Most stops are a "u" inside a word; they are passed over here, without leaving text.
    p_ = SkipText(p_, end_);
    while (p_ < end_ && (*p_ | 0x20) == 'u' && AfterName(p_)) p_ = SkipText(p_ + 1, end_);
    if (p_ == end_) return;
    const char c = *p_++;
    switch (c) {
      case '/': s_.afterComment = CssMode::kText; s_.mode = CssMode::kSlash; break;
      case '"': case '\'': s_.quote = c; s_.mode = CssMode::kString; break;
      case '\\': s_.escape = 1; break;
      case '@': s_.matched = 1; s_.mode = CssMode::kImportName; break;
      default:  // "u" or "U", at the start of a name
        s_.matched = 1;
        s_.import = false;
        s_.mode = CssMode::kUrlName;
        break;
    }
  }

  void Slash() {
    if (*p_ == '*') {
      ++p_;
      s_.mode = CssMode::kComment;
    } else {
      s_.mode = CssMode::kText;
    }
  }

  void Comment() {
    const auto* star = static_cast<const char*>(std::memchr(p_, '*', static_cast<std::size_t>(end_ - p_)));
    if (!star) {
      p_ = end_;
      return;
    }
    p_ = star + 1;
    s_.mode = CssMode::kCommentStar;
  }

  void CommentStar() {
    if (*p_ == '/') {
      ++p_;
      s_.mode = s_.afterComment;
      s_.afterComment = CssMode::kText;
    } else if (*p_ == '*') {
      ++p_;
    } else {
      s_.mode = CssMode::kComment;
    }
  }

  void String() {
    if (s_.escape != 0) {
      if (StepEscape(s_.escape, *p_, true)) ++p_;
      return;
    }
    while (p_ < end_ && *p_ != s_.quote && *p_ != '\\' && !IsNewline(*p_)) ++p_;
    if (p_ == end_) return;
    if (*p_ == '\\') {
      s_.escape = 1;
      ++p_;
      return;
    }
    if (*p_ == s_.quote) ++p_;
    s_.mode = CssMode::kText;  // an unescaped line break ends a string too, and stays text
  }

  // "url(" or "@import", one letter at a time and in any case. A mismatch leaves the byte to
  // text, which sees it inside a name and so does not start anything with it.
  void Keyword(std::string_view word, CssMode next) {
    if (AsciiLower(*p_) != word[s_.matched]) {
      s_.mode = CssMode::kText;
      return;
    }
    ++p_;
    if (++s_.matched < word.size()) return;
    s_.mode = next;
    s_.importBlank = false;
  }

  void ImportGap() {
    const char c = *p_;
    if (IsBlank(c)) {
      ++p_;
      s_.importBlank = true;
    } else if (IsQuote(c)) {
      ++p_;
      s_.import = true;
      BeginValue(CssMode::kUrlQuoted, c);
    } else if ((c == 'u' || c == 'U') && s_.importBlank) {
      ++p_;
      s_.matched = 1;
      s_.import = true;
      s_.mode = CssMode::kUrlName;
    } else if (c == '/') {
      ++p_;
      s_.importBlank = true;
      s_.afterComment = CssMode::kImportGap;
      s_.mode = CssMode::kSlash;
    } else {
      s_.mode = CssMode::kText;
    }
  }

  void UrlGap() {
    const char c = *p_;
    if (IsBlank(c)) {
      ++p_;
    } else if (IsQuote(c)) {
      ++p_;
      BeginValue(CssMode::kUrlQuoted, c);
    } else {
      BeginValue(CssMode::kUrlBare, 0);
    }
  }

  void BeginValue(CssMode mode, char quote) {
    Write(run_, static_cast<std::size_t>(p_ - run_));
    s_.mode = mode;
    s_.quote = quote;
    s_.length = 0;
  }

  std::size_t Room() const { return kCssValueBufferSize - s_.length; }

  void Append(const char* from, std::size_t n) {
    std::memcpy(s_.buffer.get() + s_.length, from, n);
    s_.length += n;
  }

  // The value is no link (malformed, or too long for the buffer): what was buffered goes out as
  // it came, and the rest of it is copied through `mode`.
  void GiveUp(CssMode mode) {
    Write(s_.buffer.get(), s_.length);
    s_.length = 0;
    run_ = p_;
    s_.mode = mode;
  }

  // The value is complete in the buffer: asks for its replacement and writes one or the other.
  // Text goes on at `p_`.
  void Emit(std::size_t valueLength) {
    const std::string_view raw(s_.buffer.get(), valueLength);
    std::optional<std::string> answer;
    if (css_.link) {
      if (raw.find('\\') == std::string_view::npos) {
        answer = css_.link(raw, s_.import);
      } else {
        answer = css_.link(DecodeCssEscapes(raw), s_.import);
      }
    }
    if (!answer) {
      Write(raw.data(), raw.size());
    } else {
      if (CssValueNeedsEscaping(*answer, s_.quote)) *answer = EscapeCssValue(*answer, s_.quote);
      if (css_.writeLink) {
        css_.writeLink(*answer);
      } else {
        Write(answer->data(), answer->size());
      }
    }
    Write(s_.buffer.get() + valueLength, s_.length - valueLength);  // blanks before ")"
    s_.length = 0;
    run_ = p_;
    s_.mode = CssMode::kText;
  }

  // Bytes that an escape in progress takes into the value. False when the escape has ended
  // and the byte at `p_` is the value's own again.
  bool BufferEscape(bool inString) {
    const std::uint8_t was = s_.escape;
    if (StepEscape(s_.escape, *p_, inString)) {
      Append(p_++, 1);
      return true;
    }
    if (was == 1) GiveUp(CssMode::kBadUrl);  // "\" before a line break in an unquoted url(
    return was == 1;
  }

  // A full buffer still takes the value's end, so a value of exactly its size is a link.
  bool Full(char end) const { return Room() == 0 && (s_.escape != 0 || *p_ != end); }

  void UrlQuoted() {
    if (Full(s_.quote)) return GiveUp(CssMode::kString);
    if (s_.escape != 0 && BufferEscape(true)) return;
    const char* limit = p_ + std::min<std::size_t>(Room(), static_cast<std::size_t>(end_ - p_));
    const char* stop = p_;
    while (stop < limit && *stop != s_.quote && *stop != '\\' && !IsNewline(*stop)) ++stop;
    Append(p_, static_cast<std::size_t>(stop - p_));
    p_ = stop;
    // Out of bytes, or out of room before a byte of the value: the next step gives up then.
    if (p_ == end_ || Full(s_.quote) || (*p_ != s_.quote && *p_ != '\\' && !IsNewline(*p_))) return;
    if (*p_ == '\\') {
      Append(p_++, 1);
      s_.escape = 1;
    } else if (*p_ == s_.quote) {
      Emit(s_.length);
      ++p_;  // the closing quote goes out with the text after it
    } else {
      GiveUp(CssMode::kText);  // a line break ends the string: no URL, and the break is text
    }
  }

  void UrlBare() {
    if (Full(')')) return GiveUp(CssMode::kBadUrl);
    if (s_.escape != 0 && BufferEscape(false)) return;
    const char* limit = p_ + std::min<std::size_t>(Room(), static_cast<std::size_t>(end_ - p_));
    const char* stop = SkipUntil(kBareStops, p_, limit);
    Append(p_, static_cast<std::size_t>(stop - p_));
    p_ = stop;
    if (p_ == end_ || Full(')') || !In(kBareStops, *p_)) return;  // as in UrlQuoted
    const char c = *p_;
    if (c == ')') {
      Emit(s_.length);  // the ")" goes out as text
    } else if (IsBlank(c)) {
      s_.valueLength = s_.length;
      Append(p_++, 1);
      s_.mode = CssMode::kUrlBareEnd;
    } else if (c == '\\') {
      Append(p_++, 1);
      s_.escape = 1;
    } else {
      GiveUp(CssMode::kBadUrl);
    }
  }

  void UrlBareEnd() {
    if (Full(')')) return GiveUp(CssMode::kBadUrl);
    if (IsBlank(*p_)) {
      Append(p_++, 1);
    } else if (*p_ == ')') {
      Emit(s_.valueLength);
    } else {
      GiveUp(CssMode::kBadUrl);  // url(a b): not a URL for a browser either
    }
  }

  // Copies up to and including the ")" that ends the url(, stepping over escaped ones.
  void BadUrl() {
    if (s_.escape != 0) {
      if (StepEscape(s_.escape, *p_, false)) ++p_;
      return;
    }
    while (p_ < end_ && *p_ != ')' && *p_ != '\\') ++p_;
    if (p_ == end_) return;
    if (*p_ == '\\') {
      s_.escape = 1;
    } else {
      s_.mode = CssMode::kText;
    }
    ++p_;
  }

  const CssContext& css_;
  CssScanState& s_;
  const char* const begin_;
  const char* p_;
  const char* const end_;
  const char* run_;
  const char* nameUntil_ = nullptr;  // where an escape in text ended: a name goes on there
};

}  // namespace

void ParseCssChunk(const CssContext& css, std::string_view chunk, CssScanState& state) {
  if (!state.buffer) state.buffer = std::make_unique_for_overwrite<char[]>(kCssValueBufferSize);
  ChunkScan(css, chunk, state).Run();
}

void FinishCss(const CssContext& css, CssScanState& state) {
  if (Buffering(state.mode) && state.length > 0 && css.write)
    css.write(state.buffer.get(), state.length);
  std::unique_ptr<char[]> buffer = std::move(state.buffer);
  state = CssScanState{};
  state.buffer = std::move(buffer);
}

std::string RewriteCss(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view, bool)>& link) {
  std::string out;
  out.reserve(text.size());
  CssContext css;
  css.link = link;
  css.write = [&out](const char* data, std::size_t len) { out.append(data, len); };
  CssScanState state;
  ParseCssChunk(css, text, state);
  FinishCss(css, state);
  return out;
}

}  // namespace tk

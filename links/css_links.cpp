#include "links/css_links.h"

#include "links/relative_path.h"
#include "links/resolve_link.h"

namespace tk {
namespace {

bool HasScheme(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && ((value[i] >= 'a' && value[i] <= 'z') || (value[i] >= 'A' && value[i] <= 'Z'))) ++i;
  return i > 0 && i < value.size() && value[i] == ':';
}

CssContext ContextFor(const PageContext& page, CssLinkState& state) {
  CssContext context;
  context.link = [&page, &state](std::string_view url, bool) -> std::optional<std::string> {
    bool saved = false;
    std::string absolute;
    auto text = CssLinkText(page, url, saved, absolute);
    if (text) state.answers.emplace_back(std::move(absolute), saved);
    return text;
  };
  context.write = [&page](const char* data, std::size_t len) {
    if (len > 0 && page.write) page.write(data, len);
  };
  context.writeLink = [&page, &state](std::string_view text) {
    auto [url, saved] = std::move(state.answers.front());
    state.answers.pop_front();
    if (page.writeLink)
      page.writeLink(text, url, saved);
    else if (page.write)
      page.write(text.data(), text.size());
  };
  return context;
}

}  // namespace

std::string CssSafePath(std::string_view relativePath) {
  std::string out;
  out.reserve(relativePath.size());
  for (const char c : relativePath) {
    if (c == '(') out += "%28";
    else if (c == ')') out += "%29";
    else out += c;
  }
  return out;
}

std::optional<std::string> CssLinkText(const PageContext& page, std::string_view url, bool& saved,
                                       std::string& absolute) {
  // A fragment (an SVG sprite's symbol) stays behind the new path.
  const std::size_t hash = url.find('#');
  const std::string_view path = url.substr(0, hash);
  const std::string_view fragment = hash == std::string_view::npos ? std::string_view() : url.substr(hash);
  if (path.empty()) return std::nullopt;
  // A page whose base no fetchable URL is built on has no host: its relative references stay.
  if (page.host.empty() && !HasScheme(path)) return std::nullopt;
  absolute = ResolveLink(path, page.host, page.port, page.object, page.scheme, page.https);
  if (absolute.empty()) return std::nullopt;
  const std::string local = page.fetchUrl ? page.fetchUrl(absolute, false, page.depth + 1) : std::string();
  saved = !local.empty();
  std::string text = saved ? CssSafePath(MakeRelativeLocalPath(page.pageLocalPath, local)) : AbsoluteLinkText(absolute);
  text += fragment;
  return text;
}

void ScanCssChunk(const PageContext& page, std::string_view chunk, CssLinkState& state) {
  if (chunk.empty()) return;
  ParseCssChunk(ContextFor(page, state), chunk, state.scan);
}

void FinishCssScan(const PageContext& page, CssLinkState& state) {
  FinishCss(ContextFor(page, state), state.scan);
  state.answers.clear();
}

}  // namespace tk

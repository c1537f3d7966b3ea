// Style-sheet scanner throughput: a generated 50 MB sheet with 200,000 url() and @import
// references in every spelling, each of which `link` answers at once from a hash table (as the
// visited list does for files already fetched), fed in the engine's chunks of 1,023 bytes.
// Build a Release folder and run by hand:
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLKIT_GUI=OFF
//   cmake --build build-bench --target css_scanner_bench && build-bench/bench/css_scanner_bench
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "links/css_scanner.h"

namespace {

constexpr int kReferences = 200000;
constexpr std::size_t kSheetBytes = 50u * 1000 * 1000;

// Looks a string_view up without building a std::string first.
struct ViewHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using Table = std::unordered_map<std::string, std::string, ViewHash, std::equal_to<>>;

std::string MakeSheet(Table& saved) {
  // Ordinary rules hold most of a sheet: names, colours, a comment, the odd string and "u".
  static const char kRules[] =
      ".wy-nav-content .section > ul li.toctree-l2 a:hover{color:#2980b9;text-decoration:underline;"
      "margin:0 auto;padding:4px 12px;font:normal 16px/1.5 \"Lato\",sans-serif}/* layout */\n";
  std::string sheet = "@charset \"utf-8\";\n";
  sheet.reserve(kSheetBytes + 4096);
  saved.reserve(kReferences);
  const std::size_t perReference = kSheetBytes / kReferences;
  for (int i = 0; i < kReferences; ++i) {
    const std::string n = std::to_string(i);
    const std::size_t start = sheet.size();
    std::string url;
    switch (i % 5) {
      case 0:
        url = "img/bg" + n + ".png";
        sheet += ".item" + n + "{background:#fff url(" + url + ") no-repeat 0 0}\n";
        break;
      case 1:
        url = "img/logo " + n + ".svg";
        sheet += ".logo" + n + "{background-image:url(\"" + url + "\")}\n";
        break;
      case 2:
        url = "fonts/f" + n + ".woff2";
        sheet += "@font-face{font-family:\"F" + n + "\";src:URL( '" + url + "' ) format(\"woff2\")}\n";
        break;
      case 3:
        url = "parts/p" + n + ".css";
        sheet += "@import \"" + url + "\" screen;\n";
        break;
      default:
        url = "img/a\\(" + n + "\\).gif";
        sheet += ".esc" + n + "{list-style:url(" + url + ")}\n";
        url = "img/a(" + n + ").gif";
        break;
    }
    saved[url] = "../site/" + url;
    while (sheet.size() - start + sizeof kRules - 1 < perReference) sheet += kRules;
    // Padded with declarations that, cut anywhere, leave no comment or string open.
    while (sheet.size() - start < perReference) sheet += "margin:0;";
    sheet.resize(start + perReference);
    sheet += '\n';
  }
  return sheet;
}

double CpuSeconds(const timespec& a, const timespec& b) {
  return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  // "--fixed": every reference answers one fixed path, leaving the table look-up out of the figure.
  const bool fixed = argc > 1 && std::string(argv[1]) == "--fixed";
  const std::string fixedPath = "../site/img/fixed-answer.png";
  Table saved;
  const std::string sheet = MakeSheet(saved);
  std::vector<double> rates;
  for (int round = 0; round < 5; ++round) {
    std::size_t written = 0;
    int asked = 0;
    int answered = 0;
    tk::CssContext css;
    css.link = [&](std::string_view url, bool) -> std::optional<std::string> {
      ++asked;
      if (fixed) return ++answered, fixedPath;
      const auto it = saved.find(url);
      if (it == saved.end()) return std::nullopt;
      ++answered;
      return it->second;
    };
    css.write = [&](const char*, std::size_t len) { written += len; };
    tk::CssScanState state;
    // CPU time of this thread: the machine is shared, and the goal is per core.
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    for (std::size_t at = 0; at < sheet.size(); at += 1023)
      tk::ParseCssChunk(css, std::string_view(sheet).substr(at, 1023), state);
    tk::FinishCss(css, state);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    const double s = CpuSeconds(c0, c1);
    rates.push_back(static_cast<double>(sheet.size()) / 1e6 / s);
    std::printf("round %d: %.1f MB in %.3f s CPU = %.0f MB/s, %d references asked, %d answered, %zu bytes out\n",
                round, static_cast<double>(sheet.size()) / 1e6, s, rates.back(), asked, answered, written);
  }
  // The table alone: the same look-ups and copies in the same order, without the scanner.
  {
    std::vector<std::string> urls;
    tk::CssContext css;
    css.link = [&](std::string_view url, bool) -> std::optional<std::string> {
      urls.emplace_back(url);
      return std::nullopt;
    };
    tk::CssScanState state;
    tk::ParseCssChunk(css, sheet, state);
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    std::size_t total = 0;
    for (const std::string& url : urls) {
      const auto it = saved.find(url);
      const std::optional<std::string> local =
          it == saved.end() ? std::nullopt : std::optional<std::string>(it->second);
      total += local ? local->size() : 0;
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    std::printf("table alone: %zu look-ups in %.3f s CPU (%zu bytes of answers)\n", urls.size(),
                CpuSeconds(c0, c1), total);
  }
  std::sort(rates.begin(), rates.end());
  std::printf("median %.0f MB/s\n", rates[rates.size() / 2]);
  return 0;
}

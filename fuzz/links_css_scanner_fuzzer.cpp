// The properties every style sheet must keep through the style-sheet scanner, whatever its bytes
// and however it is cut into chunks. Input: four bytes that seed the chunking, then the sheet.
// - with every reference kept, the output is the sheet itself, byte for byte;
// - with some replaced (some under names that need escaping), the sheet fed in random chunks
//   gives the same output and the same questions, in the same order, as the sheet fed whole,
//   and every answer reaches writeLink exactly once;
// - the output, scanned again, holds the answers where the references were replaced and the
//   references themselves elsewhere: escaping a replacement never changes what it says.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_random.h"
#include "links/css_scanner.h"

namespace {

using tk::fuzz::Hash;
using tk::fuzz::Next;

struct Run {
  std::string output;
  std::vector<std::pair<std::string, bool>> calls;
  std::vector<std::string> said;  // the answer where there was one, else the value asked about
  int answered = 0;
  int linkWrites = 0;
  bool emptyWrite = false;
};

std::optional<std::string> Answer(std::string_view url) {
  const std::uint32_t h = Hash(url);
  switch (h % 5) {
    case 0: return std::nullopt;
    case 1: return "../img/f" + std::to_string(h) + ".png";
    case 2: return "a b'c\"d(e)\\f\r\ng\th\x7f\xc3\xa9" + std::to_string(h);
    case 3: return std::string();
    default: return "http://other.example/" + std::string(url.substr(0, 40));
  }
}

// seed 0 feeds the sheet whole.
Run Scan(std::string_view sheet, std::uint32_t seed, bool replace) {
  Run run;
  tk::CssContext css;
  css.link = [&](std::string_view url, bool import) -> std::optional<std::string> {
    run.calls.emplace_back(std::string(url), import);
    std::optional<std::string> answer = replace ? Answer(url) : std::nullopt;
    // NUL cannot be written in CSS at all; an answer holding one would not survive.
    if (answer && answer->find('\0') != std::string::npos) answer.reset();
    run.said.push_back(answer ? *answer : std::string(url));
    if (answer) ++run.answered;
    return answer;
  };
  css.write = [&](const char* data, std::size_t len) {
    if (len == 0) run.emptyWrite = true;
    run.output.append(data, len);
  };
  if (seed != 0) {
    css.writeLink = [&](std::string_view text) {
      ++run.linkWrites;
      run.output += text;
    };
  }
  tk::CssScanState state;
  std::uint32_t x = seed | 1u;
  std::size_t at = 0;
  while (at < sheet.size()) {
    std::size_t len = sheet.size() - at;
    if (seed != 0) {
      // Mostly tiny pieces, so that every construct is cut at every position; now and then
      // the engine's 1,023 bytes.
      const std::uint32_t r = Next(x);
      len = std::min<std::size_t>(len, 1 + ((r & 0x100) ? r % 1023 : r % 9));
    }
    tk::ParseCssChunk(css, sheet.substr(at, len), state);
    at += len;
  }
  tk::FinishCss(css, state);
  return run;
}

std::string Check(std::string_view sheet, std::uint32_t seed) {
  const Run kept = Scan(sheet, seed, false);
  if (kept.emptyWrite) return "empty write";
  if (kept.output != sheet) return "keeping every reference changed the sheet";
  const Run whole = Scan(sheet, 0, true);
  const Run chunked = Scan(sheet, seed, true);
  if (whole.emptyWrite || chunked.emptyWrite) return "empty write";
  if (kept.calls != whole.calls) return "the answers changed the questions";
  if (chunked.calls != whole.calls) return "chunking changed the questions";
  if (chunked.output != whole.output) return "chunking changed the output";
  if (chunked.linkWrites != chunked.answered) return "writeLink not called once per answer";
  const Run again = Scan(whole.output, 0, false);
  if (again.output != whole.output) return "the rewritten sheet does not pass through";
  std::vector<std::string> heard;
  for (const auto& call : again.calls) heard.push_back(call.first);
  if (heard != whole.said) return "a replacement does not read back as the answer";
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t seed = 0;
  std::size_t used = 0;
  for (; used < 4 && used < size; ++used) seed = (seed << 8) | data[used];
  if (seed == 0) seed = 1;
  const std::string_view sheet(reinterpret_cast<const char*>(data) + used, size - used);
  const std::string error = Check(sheet, seed);
  if (!error.empty()) {
    std::fprintf(stderr, "style-sheet scanner: %s\n", error.c_str());
    std::abort();
  }
  return 0;
}

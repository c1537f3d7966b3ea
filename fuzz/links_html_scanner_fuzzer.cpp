// libFuzzer target for the link scanner. Build with clang in a build folder of its own:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTRAWLKIT_FUZZ=ON
//   cmake --build build-fuzz --target links_html_scanner_fuzzer
//   build-fuzz/links/links_html_scanner_fuzzer -max_len=40000 tests/links/corpus
// (point it at a scratch copy of the corpus to keep the repository's seeds small).
#include <cstdio>
#include <cstdlib>

#include "fuzz/links_scan_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string error = tk::fuzz::CheckScan(data, size);
  if (!error.empty()) {
    std::fprintf(stderr, "link scanner: %s\n", error.c_str());
    std::abort();
  }
  return 0;
}

// libFuzzer target for the link scanner (see CMakeLists.txt here for the build):
//   build-fuzz/fuzz/fuzz_links_html_scanner -max_len=40000 fuzz/corpus/links_html_scanner
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

// Replays the fuzzer's seed corpus through the same checks, in the ordinary build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/links_scan_check.h"

namespace {

TEST(ScannerCorpus, EverySeedKeepsTheScannerProperties) {
  const std::filesystem::path dir = std::filesystem::path(TRAWLKIT_TEST_DATA) / "corpus";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(tk::fuzz::CheckScan(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
              "")
        << entry.path().filename();
    ++replayed;
  }
  EXPECT_GT(replayed, 0) << "no seeds in " << dir;
}

}  // namespace

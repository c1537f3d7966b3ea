#pragma once
// The properties every page must keep through the link scanner, whatever its bytes and however
// it is cut into chunks. Shared by the libFuzzer target and the corpus replay under CTest.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tk::fuzz {

// `data`: four bytes that seed the chunking, then the page. Returns "" when every property
// holds, otherwise what went wrong:
// - with no link saved, the output is the page itself, every byte of it, a tag left open at the
//   end included;
// - with some links saved, the page fed in random chunks gives the same output and the same
//   fetches, in the same order, as the page fed whole;
// - every fetch is of an http or ftp URL, one level below the page.
std::string CheckScan(const std::uint8_t* data, std::size_t size);

}  // namespace tk::fuzz

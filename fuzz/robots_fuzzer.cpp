// robots.txt on arbitrary bytes: the first line is a request path, the rest the file. Nothing
// may crash; a path's normal spelling is its own normal spelling; a pattern matches its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/robots.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t eol = input.find('\n');
  const std::string path = input.substr(0, eol);
  const std::string text = eol == std::string::npos ? std::string() : input.substr(eol + 1);
  for (const char* agent : {"Trawlkit", "*", ""}) {
    const tk::RobotsRules rules = tk::RobotsRules::Parse(text, agent);
    (void)rules.Allows(path);
  }
  const std::string normal = tk::NormaliseRobotsPath(path);
  Check(tk::NormaliseRobotsPath(normal) == normal);
  if (!normal.empty() && normal.back() != '$') Check(tk::RobotsPatternMatches(normal, normal));
  // A file that refuses everything to everyone refuses this path, unless it is empty.
  const tk::RobotsRules all = tk::RobotsRules::Parse("User-agent: *\nDisallow: /\n", "Trawlkit");
  if (!path.empty() && path[0] == '/') Check(!all.Allows(path));
  return 0;
}

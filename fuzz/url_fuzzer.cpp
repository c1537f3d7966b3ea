// ParseUrl on arbitrary bytes: nothing may crash, a parsed URL keeps the promises of inet.h
// (a host, a port in range, a canonical path), and parsing its canonical form changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "inet/inet.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto url = tk::inet::ParseUrl(text);
  if (!url) return 0;
  Check(!url->host.empty());
  Check(url->port >= 0 && url->port <= 65535);
  Check(!url->object.empty() && url->object[0] == '/');
  const std::string path = url->object.substr(0, url->object.find_first_of("?#"));
  for (char c : path) Check(static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7f);
  Check(path.find("/./") == std::string::npos && path.find("/../") == std::string::npos);
  auto endsWith = [&](const std::string& tail) {
    return path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
  };
  Check(!endsWith("/.") && !endsWith("/.."));
  if (url->port > 0) {
    auto again = tk::inet::ParseUrl(url->scheme + "://" + url->host + ":" + std::to_string(url->port) +
                                    url->object);
    Check(again.has_value());
    Check(again->object == url->object && again->host == url->host && again->port == url->port);
    Check(again->service == url->service);
  }
  return 0;
}

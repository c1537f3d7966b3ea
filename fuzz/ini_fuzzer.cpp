// The INI reader and writer on arbitrary bytes: nothing may crash, and an edit must survive a
// round trip through the text it produces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tk::IniDocument doc(text);
  for (const auto& key : doc.KeyNames("URL")) (void)doc.GetString("URL", key, "");
  (void)doc.GetInt("SETTING", "Link", 0);

  doc.Set("SETTING", "Link", "7");
  doc.ReplaceSection("URL", {"URL0=\"http://a/\""});
  const tk::IniDocument back(doc.Text());
  if (back.GetInt("SETTING", "Link", 0) != 7) std::abort();
  if (back.GetString("URL", "URL0", "") != "http://a/") std::abort();
  return 0;
}

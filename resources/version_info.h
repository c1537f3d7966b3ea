#pragma once
// The program's version resource: a compiled-in table queried by the same names a Windows version
// block answers to ("\VarFileInfo\Translation", "\StringFileInfo\041104b0\FileVersion", ...).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk::res {

struct VersionTranslation {
  std::uint16_t language = 0;  // 0x0411, Japanese
  std::uint16_t codePage = 0;  // 0x04B0, Unicode
};

class VersionResource {
 public:
  VersionResource() = default;
  VersionResource(std::vector<VersionTranslation> translations,
                  std::map<std::string, std::string> strings);

  // False for a program built without version information.
  bool Empty() const { return m_translations.empty() && m_strings.empty(); }
  const std::vector<VersionTranslation>& Translations() const { return m_translations; }
  // name: "\StringFileInfo\<translation>\<key>"; the block name compares without case.
  std::optional<std::string> QueryString(std::string_view name) const;

 private:
  std::vector<VersionTranslation> m_translations;
  std::map<std::string, std::string> m_strings;  // keys lower-cased
};

// Built from the CMake project version: FileVersion and ProductVersion "1.2.0", translation
// 041104b0, FileDescription and LegalCopyright.
const VersionResource& ProgramVersion();

}  // namespace tk::res

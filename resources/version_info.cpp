#include "resources/version_info.h"

#include "base/text.h"

namespace tk::res {

VersionResource::VersionResource(std::vector<VersionTranslation> translations,
                                 std::map<std::string, std::string> strings)
    : m_translations(std::move(translations)) {
  for (auto& [name, value] : strings) m_strings.emplace(AsciiLower(name), std::move(value));
}

std::optional<std::string> VersionResource::QueryString(std::string_view name) const {
  auto it = m_strings.find(AsciiLower(name));
  if (it == m_strings.end()) return std::nullopt;
  return it->second;
}

const VersionResource& ProgramVersion() {
  static const VersionResource version{
      {{0x0411, 0x04B0}},
      {
          {"\\StringFileInfo\\041104b0\\FileDescription", "Trawlkit"},
          {"\\StringFileInfo\\041104b0\\FileVersion", TRAWLKIT_VERSION},
          {"\\StringFileInfo\\041104b0\\ProductVersion", TRAWLKIT_VERSION},
          {"\\StringFileInfo\\041104b0\\ProductName", "Trawlkit"},
          {"\\StringFileInfo\\041104b0\\LegalCopyright", "Copyright (C) 2026 Trawlkit"},
      }};
  return version;
}

}  // namespace tk::res

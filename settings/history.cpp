#include "settings/history.h"

#include <algorithm>

#include "base/text.h"
#include "settings/app_ini.h"
#include "settings/ini_file.h"
#include "settings/url_password.h"

namespace tk {

HistoryList::HistoryList(std::string section, std::string prefix)
    : m_section(std::move(section)), m_prefix(std::move(prefix)) {}

void HistoryList::Load() {
  m_entries.clear();
  const IniDocument doc = IniDocument::Load(AppIniPath());
  for (auto& [key, value] : doc.Entries(m_section))
    if (!value.empty()) m_entries.push_back(std::move(value));
  m_loaded = true;
}

void HistoryList::Add(std::string_view s) {
  if (!m_loaded) Load();
  std::erase_if(m_entries, [&](const std::string& e) { return EqualsNoCase(e, s); });
  m_entries.insert(m_entries.begin(), std::string(s));
  if (m_entries.size() > kMaxEntries) m_entries.resize(kMaxEntries);
}

bool HistoryList::Save() const {
  std::vector<std::string> lines;
  lines.reserve(m_entries.size());
  for (size_t i = 0; i < m_entries.size(); ++i) lines.push_back(NumberedLine(m_prefix, i, m_entries[i]));
  EnsureAppIniFolder();
  return IniWriteSection(AppIniPath(), m_section, lines);
}

std::string NumberedLine(std::string_view prefix, size_t index, std::string_view value) {
  std::string line(prefix);
  line += std::to_string(index);
  line += "=\"";
  line += value;
  line += '"';
  return line;
}

HistoryList& UrlHistory() {
  static HistoryList list("HISTORY", "URL");
  return list;
}

HistoryList& ProjectHistory() {
  static HistoryList list("TKPHIST", "TKP");
  return list;
}

void LoadHistories() {
  UrlHistory().Load();
  ProjectHistory().Load();
}

// Trawlkit.ini keeps the history in clear: a password typed in a URL stays out of it.
void AddUrlHistory(std::string_view url) { UrlHistory().Add(WithoutPassword(url)); }
bool SaveUrlHistory() { return UrlHistory().Save(); }
void AddProjectHistory(std::string_view path) { ProjectHistory().Add(path); }
bool SaveProjectHistory() { return ProjectHistory().Save(); }

}  // namespace tk

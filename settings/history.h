#pragma once
// The URL and project histories: most-recent-first lists of at most 10 strings, kept for the
// whole process and stored in Trawlkit.ini.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

class HistoryList {
 public:
  static constexpr size_t kMaxEntries = 10;

  HistoryList(std::string section, std::string prefix);

  const std::vector<std::string>& Entries() const { return m_entries; }
  bool Loaded() const { return m_loaded; }

  // Empties the list and fills it from the section, as stored: no limit and no deduplication.
  void Load();
  // Removes every entry equal to s (ignoring case), puts s first, keeps the newest 10. Loads the
  // stored list first when that has not happened yet, so the first change joins it.
  void Add(std::string_view s);
  // Replaces the section with one "PREFIXi=\"entry\"" line per entry.
  bool Save() const;

 private:
  std::string m_section;
  std::string m_prefix;
  std::vector<std::string> m_entries;
  bool m_loaded = false;
};

HistoryList& UrlHistory();
HistoryList& ProjectHistory();

void LoadHistories();
void AddUrlHistory(std::string_view url);
bool SaveUrlHistory();
void AddProjectHistory(std::string_view path);
bool SaveProjectHistory();

// Builds "%s%d=\"%s\"", the line that stores entry i of a numbered list.
std::string NumberedLine(std::string_view prefix, size_t index, std::string_view value);

}  // namespace tk

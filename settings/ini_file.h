#pragma once
// The INI layer that project files and Trawlkit.ini share.
//
// Section and key names compare case-insensitively (ASCII), the first section of a name wins and
// within it the first key of a name. A value read back loses one pair of enclosing double quotes.
// Writing one key keeps every other byte of the file; replacing a section removes all of its old
// keys. Files are UTF-8; a file that is not valid UTF-8 but is valid CP932 (a project made on
// Windows) is read as CP932 and written back as UTF-8. Every write replaces the file atomically.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tk {

// A parsed INI text. Keeps the file's bytes line by line so that an edit touches only the lines
// it means to.
class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string text);

  // Reads a file; a missing or unreadable file gives an empty document.
  static IniDocument Load(const std::filesystem::path& file);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view def) const;
  int GetInt(std::string_view section, std::string_view key, int def) const;
  // Key names of the section, in file order, each once.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // The section read once: each key in file order with its value (the first of a name wins), for
  // lists of many keys, where a Get per key would search the section again each time.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;
  bool HasSection(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Replaces the body of the section with `lines` (each a whole "key=value" line).
  void ReplaceSection(std::string_view section, const std::vector<std::string>& lines);

  std::string Text() const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\r\n", "\n", "\r" or "" for a last line without one
  };
  struct SectionSpan {
    size_t header = 0;  // index of the [name] line
    size_t end = 0;     // one past the last line that belongs to the section
  };

  std::optional<SectionSpan> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const SectionSpan& span, std::string_view key) const;
  std::string NewLineEnd() const;
  void EnsureLastLineEnds();

  std::string m_bom;
  std::vector<Line> m_lines;
};

// Parses "%d"-style integers as the INI layer reads them: an optional minus sign and the leading
// decimal digits; 0 when there are none. Out-of-range values saturate.
int ParseLeadingInt(std::string_view value);

// The file operations, one call reading or rewriting the file, as the rest of the program uses
// them. Writes return false on failure and leave the old file as it was.
std::string IniReadString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view def);
int IniReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int def);
std::vector<std::string> IniReadKeyNames(const std::filesystem::path& file, std::string_view section);
bool IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value);
// Reads the file, lets `edit` change it and writes it back, locked against other writers of the
// same file for the whole time. A file that exists but cannot be read is left alone: false.
bool IniEditFile(const std::filesystem::path& file, const std::function<void(IniDocument&)>& edit);
bool IniWriteSection(const std::filesystem::path& file, std::string_view section,
                     const std::vector<std::string>& lines);

// Writes `data` to `file` through a temporary file in the same folder and a rename, so that a
// crash or a full disk never leaves half a file.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data);

}  // namespace tk

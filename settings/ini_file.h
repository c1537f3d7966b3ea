#pragma once
// The INI layer that project files and Trawlkit.ini share.
//
// Section and key names compare case-insensitively (ASCII), the first section of a name wins and
// within it the first key of a name. A value read back loses one pair of enclosing double quotes.
// Writing one key keeps every other byte of the file; replacing a section removes all of its old
// keys. Files are UTF-8; a file that is not valid UTF-8 but is valid CP932 (a project made on
// Windows) is read as CP932 and written back as UTF-8. Every write replaces the file atomically.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tk {

// A parsed INI text. Keeps the file's bytes as they are, one text read line by line on demand,
// so that an edit touches only the lines it means to and a document takes no more memory than
// its file.
class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string text);

  // Reads a file; a missing or unreadable file, or one that is no regular file or larger than
  // kMaxIniBytes, gives an empty document.
  static IniDocument Load(const std::filesystem::path& file);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view def) const;
  int GetInt(std::string_view section, std::string_view key, int def) const;
  // Key names of the section, in file order, each once.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // The section read once: each key in file order with its value (the first of a name wins), for
  // lists of many keys, where a Get per key would search the section again each time.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;
  // The same without copies: `entry` gets each key and its value (quotes dropped), views into
  // the document that last until it changes.
  void ForEachEntry(std::string_view section,
                    const std::function<void(std::string_view key, std::string_view value)>& entry) const;
  // The non-empty values of the section, in file order, the first of each key: a list such as
  // the start URLs, held in no more memory than the strings themselves.
  std::vector<std::string> NonEmptyValues(std::string_view section) const;
  bool HasSection(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Replaces the body of the section with `lines` (each a whole "key=value" line).
  void ReplaceSection(std::string_view section, const std::vector<std::string>& lines);

  std::string Text() const;

 private:
  // One line of m_text: [begin, end) is its text, [end, next) its line end.
  struct LineSpan {
    size_t begin = 0;
    size_t end = 0;
    size_t next = 0;
  };
  LineSpan LineAt(size_t pos) const;
  // Where the section's [name] line starts, or npos.
  size_t FindSection(std::string_view section) const;
  // The key's line in the section whose header starts at `header`.
  std::optional<LineSpan> FindKey(size_t header, std::string_view key) const;
  // Where the section that starts at `header` ends once its trailing blank lines are left out.
  size_t EndOfLastFilledLine(size_t header) const;
  std::string NewLineEnd() const;
  void EnsureLastLineEnds();

  std::string m_bom;
  std::string m_text;
};

// Settings files are small; a file past this is no settings file, and is not read.
inline constexpr std::uintmax_t kMaxIniBytes = 256u << 20;

// Reads a whole regular file of at most `maxBytes`: never waits on a FIFO or a device, never
// reads more than the bound, whatever the file claims. nullopt (with errno set) when it is
// missing, is no regular file, is larger, or cannot be read.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes);

// Parses "%d"-style integers as the INI layer reads them: an optional minus sign and the leading
// decimal digits; 0 when there are none. Out-of-range values saturate.
int ParseLeadingInt(std::string_view value);
// The same reading, with nothing when no digit leads the text: the wizard's number fields, where
// a field without a number keeps the value it had.
std::optional<int> ReadLeadingInt(std::string_view value);

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

}  // namespace tk

#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "base/atomic_replace.h"
#include "base/fd_io.h"
#include "base/hash.h"
#include "base/text.h"

namespace tk {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// "[name]" (blanks allowed around and inside the brackets) gives the name.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view key = Trim(line.substr(0, eq));
  if (key.empty()) return std::nullopt;
  return KeyValue{key, Trim(line.substr(eq + 1))};
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// A line break inside a value or key would split it into lines of its own.
std::string OneLine(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

}  // namespace

IniDocument::IniDocument(std::string text) {
  if (text.compare(0, kBom.size(), kBom) == 0) {
    m_bom = std::string(kBom);
    text.erase(0, kBom.size());
  }
  if (!IsValidUtf8(text)) {
    std::string decoded;
    if (DecodeCp932(text, decoded)) text = std::move(decoded);
    // Neither UTF-8 nor CP932: keep the bytes as they are, so that a write returns them intact.
  }
  m_text = std::move(text);
}

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::string> text;
  if (::fstat(fd, &st) != 0) {
    // errno as fstat left it
  } else if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
  } else if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    errno = EFBIG;
  } else {
    text.emplace();
    text->reserve(static_cast<size_t>(st.st_size));
    const ReadEnd end = ReadToEnd(fd, *text, maxBytes);
    if (end != ReadEnd::Done) {
      if (end == ReadEnd::TooLarge) errno = EFBIG;
      text.reset();
    }
  }
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return text;
}

IniDocument IniDocument::Load(const std::filesystem::path& file) {
  std::optional<std::string> text = ReadRegularFile(file, kMaxIniBytes);
  return text ? IniDocument(std::move(*text)) : IniDocument();
}

IniDocument::LineSpan IniDocument::LineAt(size_t pos) const {
  const size_t brk = m_text.find_first_of("\r\n", pos);
  if (brk == std::string::npos) return {pos, m_text.size(), m_text.size()};
  const size_t eolLen = (m_text[brk] == '\r' && brk + 1 < m_text.size() && m_text[brk + 1] == '\n') ? 2 : 1;
  return {pos, brk, brk + eolLen};
}

size_t IniDocument::FindSection(std::string_view section) const {
  const std::string_view want = Trim(section);
  for (size_t pos = 0; pos < m_text.size();) {
    const LineSpan line = LineAt(pos);
    const auto name = SectionName(std::string_view(m_text).substr(line.begin, line.end - line.begin));
    if (name && EqualsNoCase(*name, want)) return line.begin;
    pos = line.next;
  }
  return std::string::npos;
}

std::optional<IniDocument::LineSpan> IniDocument::FindKey(size_t header, std::string_view key) const {
  const std::string_view want = Trim(key);
  const std::string_view text(m_text);
  for (size_t pos = LineAt(header).next; pos < m_text.size();) {
    const LineSpan line = LineAt(pos);
    const std::string_view body = text.substr(line.begin, line.end - line.begin);
    if (SectionName(body)) break;
    const auto kv = SplitKeyValue(body);
    if (kv && EqualsNoCase(kv->key, want)) return line;
    pos = line.next;
  }
  return std::nullopt;
}

size_t IniDocument::EndOfLastFilledLine(size_t header) const {
  const std::string_view text(m_text);
  size_t end = LineAt(header).next;
  for (size_t pos = end; pos < m_text.size();) {
    const LineSpan line = LineAt(pos);
    const std::string_view body = text.substr(line.begin, line.end - line.begin);
    if (SectionName(body)) break;
    if (!Trim(body).empty()) end = line.next;
    pos = line.next;
  }
  return end;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const size_t header = FindSection(section);
  if (header == std::string::npos) return std::nullopt;
  const auto line = FindKey(header, key);
  if (!line) return std::nullopt;
  return Unquote(SplitKeyValue(std::string_view(m_text).substr(line->begin, line->end - line->begin))->value);
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
  auto v = Get(section, key);
  return v ? std::move(*v) : std::string(def);
}

int IniDocument::GetInt(std::string_view section, std::string_view key, int def) const {
  const auto v = Get(section, key);
  return v ? ParseLeadingInt(*v) : def;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  ForEachEntry(section, [&](std::string_view key, std::string_view) { names.emplace_back(key); });
  return names;
}

std::vector<std::pair<std::string, std::string>> IniDocument::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  ForEachEntry(section, [&](std::string_view key, std::string_view value) { entries.emplace_back(key, value); });
  return entries;
}

std::vector<std::string> IniDocument::NonEmptyValues(std::string_view section) const {
  // Counted first, so that the list is made at its size: a long list costs its strings and no
  // spare room.
  size_t count = 0;
  ForEachEntry(section, [&](std::string_view, std::string_view value) { count += value.empty() ? 0 : 1; });
  std::vector<std::string> values;
  values.reserve(count);
  ForEachEntry(section, [&](std::string_view, std::string_view value) {
    if (!value.empty()) values.emplace_back(value);
  });
  return values;
}

void IniDocument::ForEachEntry(std::string_view section,
                               const std::function<void(std::string_view, std::string_view)>& entry) const {
  const size_t header = FindSection(section);
  if (header == std::string::npos) return;
  const std::string_view text(m_text);
  const size_t first = LineAt(header).next;
  // The names seen so far, in an open-addressed table of where their lines start (relative to
  // the section, plus one; 0 is free): a list of 100,000 keys loads in linear time, and each key
  // costs a few bytes beyond its line.
  std::vector<std::uint32_t> seen(64, 0);
  size_t used = 0;
  const auto hashOf = [](std::string_view key) { return static_cast<size_t>(Fnv1aNoCase(key)); };
  const auto keyAt = [&](std::uint32_t slot) {
    const LineSpan line = LineAt(first + slot - 1);
    return SplitKeyValue(text.substr(line.begin, line.end - line.begin))->key;
  };
  const auto insert = [&](std::vector<std::uint32_t>& table, std::string_view key, std::uint32_t slot) {
    for (size_t i = hashOf(key) & (table.size() - 1);; i = (i + 1) & (table.size() - 1)) {
      if (table[i] == 0) {
        table[i] = slot;
        return true;
      }
      if (EqualsNoCase(keyAt(table[i]), key)) return false;
    }
  };
  for (size_t pos = first; pos < m_text.size();) {
    const LineSpan line = LineAt(pos);
    pos = line.next;
    const std::string_view body = text.substr(line.begin, line.end - line.begin);
    if (SectionName(body)) break;
    const auto kv = SplitKeyValue(body);
    if (!kv) continue;
    // Sections past 4 GiB cannot be indexed; no settings file comes near (kMaxIniBytes).
    if (line.begin - first >= UINT32_MAX) break;
    if (!insert(seen, kv->key, static_cast<std::uint32_t>(line.begin - first + 1))) continue;
    if (++used * 4 >= seen.size() * 3) {
      std::vector<std::uint32_t> bigger(seen.size() * 2, 0);
      for (std::uint32_t slot : seen)
        if (slot != 0) insert(bigger, keyAt(slot), slot);
      seen.swap(bigger);
    }
    std::string_view value = kv->value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    entry(kv->key, value);
  }
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != std::string::npos;
}

std::string IniDocument::NewLineEnd() const {
  const size_t brk = m_text.find_first_of("\r\n");
  if (brk == std::string::npos) return "\n";
  if (m_text[brk] == '\n') return "\n";
  return brk + 1 < m_text.size() && m_text[brk + 1] == '\n' ? "\r\n" : "\r";
}

void IniDocument::EnsureLastLineEnds() {
  if (!m_text.empty() && m_text.back() != '\n' && m_text.back() != '\r') m_text += NewLineEnd();
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = OneLine(Trim(key)) + "=" + OneLine(value);
  const std::string eol = NewLineEnd();
  const size_t header = FindSection(section);
  if (header == std::string::npos) {
    EnsureLastLineEnds();
    m_text.append("[").append(OneLine(Trim(section))).append("]").append(eol).append(line).append(eol);
    return;
  }
  if (const auto at = FindKey(header, key)) {
    m_text.replace(at->begin, at->end - at->begin, line);
    return;
  }
  // After the section's last non-blank line, so that a blank line between sections stays there.
  size_t insert = EndOfLastFilledLine(header);
  if (insert == m_text.size()) {
    EnsureLastLineEnds();
    insert = m_text.size();
  }
  m_text.insert(insert, line + eol);
}

void IniDocument::ReplaceSection(std::string_view section, const std::vector<std::string>& lines) {
  const std::string eol = NewLineEnd();
  std::string body;
  size_t size = 0;
  for (const auto& l : lines) size += l.size() + eol.size();
  body.reserve(size);
  for (const auto& l : lines) body.append(OneLine(l)).append(eol);

  const size_t header = FindSection(section);
  if (header == std::string::npos) {
    EnsureLastLineEnds();
    m_text.append("[").append(OneLine(Trim(section))).append("]").append(eol).append(body);
    return;
  }
  // Keep the blank lines that separate this section from the next one.
  const size_t keepFrom = EndOfLastFilledLine(header);
  LineSpan head = LineAt(header);
  m_text.erase(head.next, keepFrom - head.next);
  if (head.end == head.next) {
    m_text.insert(head.end, eol);
    head.next += eol.size();
  }
  m_text.insert(head.next, body);
}

std::string IniDocument::Text() const { return m_bom + m_text; }

int ParseLeadingInt(std::string_view value) { return ReadLeadingInt(value).value_or(0); }

std::optional<int> ReadLeadingInt(std::string_view value) {
  value = Trim(value);
  bool negative = false;
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty() || value.front() < '0' || value.front() > '9') return std::nullopt;
  long long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > INT_MAX) {
      n = static_cast<long long>(INT_MAX) + 1;
      break;
    }
  }
  if (negative) n = -n;
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

std::string IniReadString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view def) {
  return IniDocument::Load(file).GetString(section, key, def);
}

int IniReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int def) {
  return IniDocument::Load(file).GetInt(section, key, def);
}

std::vector<std::string> IniReadKeyNames(const std::filesystem::path& file, std::string_view section) {
  return IniDocument::Load(file).KeyNames(section);
}

namespace {

// A file that exists but cannot be read must not be replaced by one holding only the new key.
bool LoadForEdit(const std::filesystem::path& file, IniDocument& doc) {
  std::optional<std::string> text = ReadRegularFile(file, kMaxIniBytes);
  if (!text) {
    if (errno != ENOENT) return false;
    doc = IniDocument();
    return true;
  }
  doc = IniDocument(std::move(*text));
  return true;
}

// Holds an advisory lock on a hidden file beside the INI file for one read-modify-write, so that
// two processes (two windows, the wizard and the CLI) never write over each other's changes. The
// INI file itself cannot carry the lock: every write replaces it with a new file. The lock file is
// removed while still locked; a writer that locked a file already unlinked tries again.
class IniLock {
 public:
  explicit IniLock(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::path target = file;
    if (std::filesystem::is_symlink(file, ec)) {
      const auto resolved = std::filesystem::canonical(file, ec);
      if (!ec) target = resolved;
    }
    m_path = target.parent_path() / ("." + target.filename().string() + ".lock");
    // A folder where no lock can be made is one where the write fails anyway.
    for (int tries = 0; tries < 100 && m_fd < 0; ++tries) {
      const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0) return;
      int rc;
      do rc = flock(fd, LOCK_EX);
      while (rc != 0 && errno == EINTR);
      struct stat held {}, named {};
      if (rc == 0 && fstat(fd, &held) == 0 && stat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        m_fd = fd;
      } else {
        close(fd);
      }
    }
  }
  ~IniLock() {
    if (m_fd < 0) return;
    unlink(m_path.c_str());
    close(m_fd);
  }
  IniLock(const IniLock&) = delete;
  IniLock& operator=(const IniLock&) = delete;

 private:
  std::filesystem::path m_path;
  int m_fd = -1;
};

}  // namespace

bool IniEditFile(const std::filesystem::path& file, const std::function<void(IniDocument&)>& edit) {
  IniLock lock(file);
  IniDocument doc;
  if (!LoadForEdit(file, doc)) return false;
  edit(doc);
  return WriteFileAtomically(file, doc.Text());
}

bool IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
  return IniEditFile(file, [&](IniDocument& doc) { doc.Set(section, key, value); });
}

bool IniWriteSection(const std::filesystem::path& file, std::string_view section,
                     const std::vector<std::string>& lines) {
  return IniEditFile(file, [&](IniDocument& doc) { doc.ReplaceSection(section, lines); });
}

}  // namespace tk

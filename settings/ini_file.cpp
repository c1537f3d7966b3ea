#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "settings/text.h"

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
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string::npos) {
      m_lines.push_back({text.substr(pos), ""});
      break;
    }
    const size_t eolLen = (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1;
    m_lines.push_back({text.substr(pos, brk - pos), text.substr(brk, eolLen)});
    pos = brk + eolLen;
  }
}

IniDocument IniDocument::Load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return IniDocument();
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return IniDocument();
  return IniDocument(buf.str());
}

std::optional<IniDocument::SectionSpan> IniDocument::FindSection(std::string_view section) const {
  const std::string_view want = Trim(section);
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const auto name = SectionName(m_lines[i].text);
    if (!name || !EqualsNoCase(*name, want)) continue;
    size_t end = i + 1;
    while (end < m_lines.size() && !SectionName(m_lines[end].text)) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const SectionSpan& span, std::string_view key) const {
  const std::string_view want = Trim(key);
  for (size_t i = span.header + 1; i < span.end; ++i) {
    const auto kv = SplitKeyValue(m_lines[i].text);
    if (kv && EqualsNoCase(kv->key, want)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto line = FindKey(*span, key);
  if (!line) return std::nullopt;
  return Unquote(SplitKeyValue(m_lines[*line].text)->value);
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
  for (auto& [key, value] : Entries(section)) names.push_back(std::move(key));
  return names;
}

std::vector<std::pair<std::string, std::string>> IniDocument::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const auto span = FindSection(section);
  if (!span) return entries;
  // One pass with an index of the names seen: a list of 100,000 keys loads in linear time.
  struct FoldedHash {
    size_t operator()(std::string_view s) const {
      size_t h = 14695981039346656037ull;
      for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
      return h;
    }
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
  };
  std::unordered_set<std::string_view, FoldedHash, FoldedEqual> seen;
  seen.reserve(span->end - span->header);
  entries.reserve(span->end - span->header);
  for (size_t i = span->header + 1; i < span->end; ++i) {
    const auto kv = SplitKeyValue(m_lines[i].text);
    if (!kv || !seen.insert(kv->key).second) continue;
    entries.emplace_back(std::string(kv->key), Unquote(kv->value));
  }
  return entries;
}

bool IniDocument::HasSection(std::string_view section) const { return FindSection(section).has_value(); }

std::string IniDocument::NewLineEnd() const {
  for (const auto& l : m_lines)
    if (!l.eol.empty()) return l.eol;
  return "\n";
}

void IniDocument::EnsureLastLineEnds() {
  if (!m_lines.empty() && m_lines.back().eol.empty()) m_lines.back().eol = NewLineEnd();
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = OneLine(Trim(key)) + "=" + OneLine(value);
  const std::string eol = NewLineEnd();
  const auto span = FindSection(section);
  if (!span) {
    EnsureLastLineEnds();
    m_lines.push_back({"[" + OneLine(Trim(section)) + "]", eol});
    m_lines.push_back({line, eol});
    return;
  }
  if (const auto at = FindKey(*span, key)) {
    m_lines[*at].text = line;
    return;
  }
  // After the section's last non-blank line, so that a blank line between sections stays there.
  size_t insert = span->end;
  while (insert > span->header + 1 && Trim(m_lines[insert - 1].text).empty()) --insert;
  if (insert == m_lines.size()) EnsureLastLineEnds();
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insert), Line{line, eol});
}

void IniDocument::ReplaceSection(std::string_view section, const std::vector<std::string>& lines) {
  const std::string eol = NewLineEnd();
  std::vector<Line> body;
  body.reserve(lines.size());
  for (const auto& l : lines) body.push_back({OneLine(l), eol});

  const auto span = FindSection(section);
  if (!span) {
    EnsureLastLineEnds();
    m_lines.push_back({"[" + OneLine(Trim(section)) + "]", eol});
    m_lines.insert(m_lines.end(), body.begin(), body.end());
    return;
  }
  // Keep the blank lines that separate this section from the next one.
  size_t keepFrom = span->end;
  while (keepFrom > span->header + 1 && Trim(m_lines[keepFrom - 1].text).empty()) --keepFrom;
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(span->header + 1),
                m_lines.begin() + static_cast<std::ptrdiff_t>(keepFrom));
  if (m_lines[span->header].eol.empty()) m_lines[span->header].eol = eol;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(span->header + 1), body.begin(),
                 body.end());
}

std::string IniDocument::Text() const {
  std::string out = m_bom;
  for (const auto& l : m_lines) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

int ParseLeadingInt(std::string_view value) {
  value = Trim(value);
  bool negative = false;
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
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
  std::error_code ec;
  const auto st = std::filesystem::status(file, ec);
  if (ec || st.type() == std::filesystem::file_type::not_found) {
    doc = IniDocument();
    return true;
  }
  if (st.type() != std::filesystem::file_type::regular) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return false;
  doc = IniDocument(buf.str());
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

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data) {
  std::error_code ec;
  std::filesystem::path target = file;
  // Write through a symbolic link rather than replacing the link with a plain file.
  if (std::filesystem::is_symlink(file, ec)) {
    const auto resolved = std::filesystem::canonical(file, ec);
    if (!ec) target = resolved;
  }
  if (std::filesystem::is_directory(target, ec)) return false;
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) return false;

  mode_t mode = 0644;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);

  bool ok = true;
  const char* p = data.data();
  size_t left = data.size();
  while (ok && left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(tmpl.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) unlink(tmpl.c_str());
  return ok;
}

}  // namespace tk

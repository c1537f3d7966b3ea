#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tk::test {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "trawlkit-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    m_path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    // A test may leave a read-only folder behind; make it writable so it can go.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << data;
}

// Points XDG_CONFIG_HOME (and so Trawlkit.ini) at a fresh folder for the lifetime of the object.
class ScopedConfigHome {
 public:
  ScopedConfigHome() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) m_old = old;
    setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (m_old.empty())
      unsetenv("XDG_CONFIG_HOME");
    else
      setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
  }
  std::filesystem::path IniPath() const { return m_dir.Path() / "trawlkit" / "Trawlkit.ini"; }
  const std::filesystem::path& Path() const { return m_dir.Path(); }

 private:
  TempDir m_dir;
  std::string m_old;
};

}  // namespace tk::test

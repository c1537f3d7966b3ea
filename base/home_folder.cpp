#include "base/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace tk {

std::string PasswordHome() {
  // getpwuid_r: getpwuid's static buffer would be shared with every other thread.
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  while (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
    buf.resize(buf.size() * 2);
  return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

std::string HomeFolderFor(const char* home) {
  if (home && home[0] == '/') return home;
  std::string fromDatabase = PasswordHome();
  return !fromDatabase.empty() && fromDatabase[0] == '/' ? fromDatabase : std::string();
}

std::string HomeFolder() { return HomeFolderFor(std::getenv("HOME")); }

}  // namespace tk

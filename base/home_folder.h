#pragma once
// The user's home folder, found by one rule for the settings, the cache, the default save folder
// and ~/.netrc alike.
#include <string>

namespace tk {

// $HOME when it names an absolute path; else the home folder the password database gives the
// effective user, when that is absolute; else "". Never a stand-in such as /tmp or ".": settings,
// a cache or a copy kept in a folder other users can write to could be planted or read by them,
// so a caller given "" goes without the folder.
std::string HomeFolder();

// The same rule for a value of HOME given by the caller (nullptr when unset).
std::string HomeFolderFor(const char* home);

// The password database's entry alone, "" when there is none.
std::string PasswordHome();

}  // namespace tk

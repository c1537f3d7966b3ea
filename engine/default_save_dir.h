#pragma once
// The save folder offered when none is given: ~/TrawlFiles/YYYYMMDD, numbered when taken.
#include <ctime>
#include <string>

namespace tk {

// `home`/TrawlFiles/YYYYMMDD for `day`, or the first of YYYYMMDD(1), YYYYMMDD(2)... that does
// not exist yet. Nothing is created.
std::string DefaultSaveDir(const std::string& home, const std::tm& day);

}  // namespace tk

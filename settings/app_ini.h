#pragma once
// Where Trawlkit.ini lives: $XDG_CONFIG_HOME/trawlkit/Trawlkit.ini, or ~/.config/trawlkit/.
// Every access to the application settings goes through this one path.
#include <filesystem>

namespace tk {

// Read from the environment on every call, so that tests can point it at a temporary folder.
// Empty when there is no absolute XDG_CONFIG_HOME and no home folder: reads find nothing and
// writes fail.
std::filesystem::path AppIniPath();
// Creates the folder of Trawlkit.ini; called before each write.
void EnsureAppIniFolder();

}  // namespace tk

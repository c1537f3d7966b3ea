#pragma once
// What --dry-run shows: the settings a run would use, its start URLs, and what it would save where.
#include <ctime>
#include <string>

#include "settings/project.h"

namespace tk::cli {

// `projectFile`: where --save-project would write the settings, empty when it is not given.
// The text is raw: the caller makes it safe for the terminal.
std::string DryRunText(const ProjectSettings& settings, const std::string& projectFile, const std::tm& now);

}  // namespace tk::cli

#pragma once
// The command line's options applied to a project's settings, each value checked with a message
// in English that names it and says what is expected.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_context.h"
#include "cli/cli_options.h"
#include "settings/project.h"

namespace tk::cli {

// Overrides the settings with the options: the command line has the last word, and its start
// URLs and URL patterns are added to the project's. A message when a value is refused or no start
// URL is left.
std::optional<std::string> ApplyOptions(const CliOptions& options, ProjectSettings& settings,
                                        const CliContext& context);

// The save folder a run would use: -d's, else the project's, each made whole as the wizard makes
// a typed one ("~" is the home folder, a relative folder starts at the current folder), else
// today's folder under the home folder. A message when it names no folder of this machine.
std::optional<std::string> SettleSaveFolder(const CliOptions& options, ProjectSettings& settings,
                                            const CliContext& context, const std::tm& today);

// A file name as a user types it: a leading "~" is the home folder, a relative name starts at the
// current folder; an empty name stays empty.
std::string TypedPath(std::string_view typed, const std::string& home);

}  // namespace tk::cli

#pragma once
// trawlkit-cli's entry points, callable in-process.
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_context.h"

namespace tk::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRunErrors = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitCancelled = 3;

// Runs the command line `args` (without the program name) in `context`.
int RunCli(const std::vector<std::string>& args, CliContext& context);

// The program: a real terminal, the internet layer, SIGINT and SIGTERM cancel the run.
int CliMain(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace tk::cli

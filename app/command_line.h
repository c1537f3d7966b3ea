#pragma once
// What the wizard answers before it opens a window: help and the version, or the lack of a
// display, said in plain words instead of the toolkit's own abort.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tk {

// The exit status when the program ends here, or nothing to go on to the wizard. `args` are the
// arguments after the program's name.
std::optional<int> HandleCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tk

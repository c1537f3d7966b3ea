#pragma once
// Texts as trawlkit-cli shows them on a terminal: nothing a project, a server or a typed argument
// holds may drive the terminal, no password is shown, and a long name fits the line.
#include <cstddef>
#include <string>
#include <string_view>

namespace tk::cli {

// `text` with every byte that could drive a terminal percent-encoded, as log lines encode URLs;
// tabs and line ends ("\n", "\r\n") stay, a lone "\r" does not.
std::string TerminalSafe(std::string_view text);

// A value inside a one-line message: every control byte encoded, line ends included.
std::string Shown(std::string_view value);

// A URL with the password of a "user:password@" part replaced by "***"; other text as it is.
std::string HidePassword(std::string_view url);

// Columns a UTF-8 text takes on a terminal: East Asian wide characters count two.
std::size_t DisplayWidth(std::string_view text);

// `text` cut in the middle to at most `width` columns, with "…" where the cut is, so that both
// the folder it starts with and the file's name and extension stay readable.
std::string ShortenMiddle(std::string_view text, std::size_t width);

}  // namespace tk::cli

#pragma once
// FTP directory listings: MLSD lines (RFC 3659) and LIST lines in the Unix and DOS formats,
// plus the "*" pattern of FtpConnection::List.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk::inet {

struct ListingLine {
  std::string name;
  std::uint64_t size = 0;
  bool directory = false;
};

// One line without its line end. nullopt for lines that name nothing: "total 12", blank lines,
// the "." and ".." entries (MLSD's cdir and pdir too) and lines that are not understood.
std::optional<ListingLine> ParseMlsdLine(std::string_view line);
std::optional<ListingLine> ParseListLine(std::string_view line);  // Unix or DOS

// A whole listing's text, CR LF or LF lines, in server order.
std::vector<ListingLine> ParseListing(std::string_view text, bool mlsd);

// "*" matches any run of characters (also none); every other byte matches itself.
bool MatchesPattern(std::string_view pattern, std::string_view name);

}  // namespace tk::inet

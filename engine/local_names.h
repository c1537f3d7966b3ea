#pragma once
// Where a retrieved file goes under the save folder. Every path made here is relative to the
// save folder, "/" separated, and never leads outside it.
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/run_state.h"

namespace tk {

class OpenFolders;

// The file name for an HTTP object (path with query, fragment already removed): its last
// segment cut at "#?&=", its escapes decoded (DecodeNameSegment), ASCII letters lower-cased.
std::string MakeLocalName(RunState& state, std::string_view object, std::string_view contentType);

// A page received as HTML whose name does not end in ".htm" or ".html" gets ".htm", so that a
// browser opening the copy from disk shows it instead of offering it as a download.
std::string HtmlPageName(std::string name, std::string_view contentType);
// The content type marks an HTML page ("text/html", with or without parameters, any case).
bool IsHtmlType(std::string_view contentType);

// One segment of a URL path as a file or folder name: its percent-escapes decoded when the bytes
// they give make a plain name (IsPlainName), else the segment as it stands, escapes and all.
std::string DecodeNameSegment(std::string_view segment);
// Valid UTF-8 with no "/", "\", NUL or other control character.
bool IsPlainName(std::string_view name);

// "~TrawlDlFile_N.htm", counting up through the run.
std::string MakeUnnamedName(RunState& state);

// Puts the server's directory structure (host, "~port", the object's folders, each decoded like
// a name but keeping its letter case) in front of `name` and creates those folders under
// `saveFolder`. An https host shares its http folder (a site that moved to https keeps one
// tree); "~port" is added when the port is not the scheme's default.
std::string MakeServerPath(const std::filesystem::path& saveFolder, bool isHttp, std::string_view host,
                           std::string_view object, int port, std::string_view name, bool https = false);
// The same among a run's open folders.
std::string MakeServerPath(OpenFolders& folders, bool isHttp, std::string_view host, std::string_view object,
                           int port, std::string_view name, bool https = false);

// `path`, or the first free numbered variant of it (page(1).htm, readme(1)); the result is
// recorded so that no other file of the run gets it, whatever the letter case.
std::string MakeUniqueName(RunState& state, const std::string& path);

// Creates every missing folder of `path`: 0 on success, -1 on failure. For the save folder
// itself, as the user names it: symbolic links on the way are followed, as the user's own path
// may hold one. Folders below the save folder are made by the run, which follows none.
int MakeDirs(const std::string& path);

// A segment that could climb out of the save folder or cannot be a file name ("", ".", "..",
// anything with a NUL byte) becomes "_".
std::string SafeSegment(std::string_view segment);

}  // namespace tk

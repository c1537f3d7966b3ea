#pragma once
// The path a saved page holds in place of a link, pointing at the linked file's local copy.
#include <string>
#include <string_view>

namespace tk {

// pagePath, targetPath: local paths relative to the save folder, "/"-separated. Leading folders
// the two share (compared case-sensitively, as the file system does) are dropped; every folder
// left above the page becomes one "../". "h/dir/index.htm" and "h/img/a.gif" give "../img/a.gif".
//
// The result is written into HTML as a URL, so bytes that would change its meaning there are
// percent-encoded: blanks and control bytes, bytes above ASCII (a UTF-8 name must not depend on
// the charset the page is read in), "#", "?", "%", quotes, "<", ">", "&" and "\". A
// first segment holding ":" gets "./" in front, so "a:b.htm" is not read as a scheme.
std::string MakeRelativeLocalPath(std::string_view pagePath, std::string_view targetPath);

// An absolute URL written as a link value, for a file the run did not save: bytes that would
// end or change the value in any quoting, in HTML or CSS, are percent-encoded; "%", "&" and "#"
// keep their meaning.
std::string AbsoluteLinkText(std::string_view url);

}  // namespace tk

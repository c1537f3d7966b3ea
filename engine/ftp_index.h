#pragma once
// The page an FTP folder is saved as: a plain HTML index whose links are the folder's entries,
// so that the copy browses offline like a copied web site. The links are absolute URLs, which
// the page's scan fetches and turns into relative paths to the local copies like any page's.
#include <string>
#include <string_view>
#include <vector>

#include "inet/inet.h"

namespace tk {

// The index of the folder `folderUrl` ("ftp://host[:port]/pub/"): its files first, then its
// subfolders (each linked with a trailing "/"), each group by name, so the crawl takes a
// folder's own files before it descends and the page reads the same whatever order the server
// listed them in.
std::string FtpFolderIndex(std::string_view folderUrl, std::vector<inet::FtpEntry> entries);

}  // namespace tk

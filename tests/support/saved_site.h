#pragma once
// An independent look at a saved copy of the offline test site: which link values its pages
// hold, where each one leads on disk, and whether that is the local copy of the file the
// original page linked to. Written without the scanner's code, so that a shared mistake cannot
// hide itself.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tk::test {

// One link value of a page: the attribute of a link-bearing tag, where its text starts and ends.
struct LinkValue {
  std::string tag;    // lower case: "a", "img", "body", "frame", "iframe", "script"
  std::size_t begin;  // offset of the value in the page (inside the quotes, when quoted)
  std::string value;  // as written, fragment included
};

// The link values of a page in document order. A tag starts at "<" followed by a letter, "/"
// or "!" and ends at the first ">", so a comment hides the tags inside it up to its first ">".
std::vector<LinkValue> ExtractLinks(std::string_view html);

// "%xx" escapes turned back into bytes; a "%" without two hex digits stays.
std::string PercentDecode(std::string_view text);
// A file path as a file:// URL, with the bytes a URL cannot hold escaped.
std::string FileUrl(const std::filesystem::path& path);
// The path of a file:// URL without its fragment, or "" for any other URL.
std::filesystem::path FileUrlPath(std::string_view url);

// The text of the page's <title>, or "" when it has none.
std::string PageTitle(const std::string& html);

// True when `path` (made absolute and normal) lies inside `folder`.
bool IsInside(const std::filesystem::path& folder, const std::filesystem::path& path);

// The run log's "URL(OK:Saved as[name])" lines: local name -> URL.
std::map<std::string, std::string> SavedByLog(const std::string& log);

struct SavedSite {
  std::filesystem::path site;  // the tree the HTTP and FTP servers served
  std::filesystem::path save;  // the save folder of the run
  std::string log;             // the run log
  std::set<std::string> kept;  // link values that are to stay as they were written
  // Link values whose files the run did not save: each must become the absolute URL of what it
  // named, so that it leads to the server rather than nowhere.
  std::set<std::string> absolute;
};

struct SiteReport {
  std::vector<std::string> problems;  // empty when the copy is sound
  std::vector<std::string> pages;     // the saved HTML pages, relative to the save folder
  int rewritten = 0;                  // link values that now lead to a local copy
};

// Checks every saved page against its original: the same text apart from its link values;
// every value outside `kept` rewritten to a relative path that leads (percent-decoded) to the
// local copy of the file the original value named, fragment kept; every value in `kept`
// unchanged; every value in `absolute` the absolute URL it stands for. Also: every file of the save folder is one the log reports saved, and a saved
// file that is not a page holds the bytes of its original.
SiteReport CheckSavedSite(const SavedSite& copy);

// The file of the test site that `url` names: "/__/redirect?to=X" leads to X, a folder to its
// index.html, the query is ignored as the static server ignores it.
std::filesystem::path SiteFileOf(const std::filesystem::path& site, std::string_view url);

}  // namespace tk::test

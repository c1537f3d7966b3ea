#pragma once
// Every text the run log is written with, in one place.
//
// The log is a file format as much as a message: users' scripts read it, and they match these
// texts as they have always been spelled, misspellings and all ("cashe", "stes", "dowloaded",
// "createing"). Correcting one breaks those scripts, so none is to be corrected.
//
// A file's outcome is written as "URL(outcome)\r\n" by LogLine; the outcomes are below.
#include <string>
#include <string_view>

namespace tk::logtext {

// The settings block that opens a run, a line each: "<label><value>".
inline constexpr std::string_view kStart = ":Start downloading";  // after the time
inline constexpr std::string_view kExcluding = "Excluding file types:";
inline constexpr std::string_view kSavingTo = "Saving to directory:";
inline constexpr std::string_view kLinksToBrowse = "Links to browse:";
inline constexpr std::string_view kStartPagesOnly = "Start pages only";
inline constexpr std::string_view kStartPagesAnd = "Start pages & ";  // then the count and kLayers
inline constexpr std::string_view kLayers = "layers";
inline constexpr std::string_view kUnlimitedLayers = "unlimited layers";  // after kStartPagesAnd
inline constexpr std::string_view kPagesAt = "Download pages at:";
inline constexpr std::string_view kSameSite = "The same site as the start page";
inline constexpr std::string_view kAllSites = "All stes";
inline constexpr std::string_view kFilesSaved = "Files saved:";
inline constexpr std::string_view kSavedFlat = "All in same directory";
inline constexpr std::string_view kSavedAsServer = "In same directory structure as server";
inline constexpr std::string_view kUsingCache = "Using cashe:";
inline constexpr std::string_view kConfirmOverwrite = "Confirm before overwrite:";
inline constexpr std::string_view kYes = "Yes";
inline constexpr std::string_view kNo = "No";

// A run whose network could not be opened: then the message.
inline constexpr std::string_view kNoSession = "Failed in createing internet session:";
// A cache folder that is not the user's own is not used: then why.
inline constexpr std::string_view kCacheRefused = "Cache off for this run:";

// A cookies.txt the run was to start with could not be read: among the first lines of the log.
inline std::string CookiesNotLoaded(std::string_view path, std::string_view reason) {
  return "Failed in loading cookies from[" + std::string(path) + "]:" + std::string(reason);
}

// The summary that closes a run.
inline constexpr std::string_view kSummary = "Summary:";
inline constexpr std::string_view kFilesDownloaded = "[Files dowloaded]";
inline constexpr std::string_view kErrors = "[Errors]";
inline constexpr std::string_view kFilesSkipped = "[Files skipped]";
inline constexpr std::string_view kBytesDownloaded = "[Bytes dowloaded]";
inline constexpr std::string_view kEnd = ":End downloading";  // after the time

// A file's outcomes.
inline std::string SavedAs(std::string_view name) { return "OK:Saved as[" + std::string(name) + "]"; }
inline std::string FailedSaving(std::string_view name) {
  return "NG:Failed in saving to[" + std::string(name) + "]";
}
inline constexpr std::string_view kNoOverwrite = "SKIPPED:No overwrite";
// Larger than the project's maximum file size: not saved, and not read further than the limit.
inline constexpr std::string_view kTooLarge = "SKIPPED:Larger than max size";
inline std::string InternetError(std::string_view message, int number) {
  return "NG:" + std::string(message) + "(" + std::to_string(number) + ")";
}
inline constexpr std::string_view kCancelledByUser = "NG:Cancelled by user";
inline constexpr std::string_view kTooManyRedirects = "NG:Too many redirects";
inline constexpr std::string_view kNoNewLocation = "NG:Site redirects with no new location";
inline std::string RedirectUnparsed(std::string_view location) {
  return "NG:The redirected URL could not be parsed(" + std::string(location) + ")";
}
inline std::string RedirectNotHttp(std::string_view location) {
  return "NG:The redirected URL does not reference a HTTP resource(" + std::string(location) + ")";
}
inline std::string BadStatus(int status) { return "NG:Bad Status(" + std::to_string(status) + ")"; }
inline constexpr std::string_view kNotFound = "NG:Not found";
// A link the server's robots.txt keeps the crawl from: never requested, and no counter changes.
inline constexpr std::string_view kRobotsDisallowed = "SKIPPED:Disallowed by robots.txt";
inline constexpr std::string_view kServiceNotSupported = "NG:Service not supported";
inline std::string NestedTooDeep(int depth) {
  return "NOTE:Nested " + std::to_string(depth) + " pages deep, its links not followed";
}

// Not a line of the run log, which cannot be written: told to the user instead.
inline std::string RunLogNotWritten(std::string_view path, std::string_view why) {
  return "The run log cannot be written (" + std::string(why) + "): " + std::string(path) + "\r\n";
}
inline constexpr std::string_view kLogNotOpened = "it cannot be opened";
inline constexpr std::string_view kLogHardLinked = "it has other hard links";
inline constexpr std::string_view kLogWriteFailed = "a write failed";

}  // namespace tk::logtext

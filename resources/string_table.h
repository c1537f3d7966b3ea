#pragma once
// The program's string table: user-visible texts that code looks up by number.
#include <string_view>

namespace tk::res {

inline constexpr int kIdsAboutEntry = 101;   // About entry of the window menu
inline constexpr int kIdsProductName = 102;  // sheet caption, first part of every page caption
inline constexpr int kIdsStartWord = 103;
inline constexpr int kIdsOptionsWord = 104;
inline constexpr int kIdsDownloadWord = 105;
inline constexpr int kIdsFirstString = 101;
inline constexpr int kIdsHttpsTip = 121;    // tooltip of the start page's HTTPS box
inline constexpr int kIdsLastString = 121;

// The UTF-8 text of a string id; empty for an id the table does not hold, as a failed load is.
std::string_view LoadString(int id);

}  // namespace tk::res

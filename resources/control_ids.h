#pragma once
// Every control id of the layouts, named once: the tables (dialogs_*.cpp) place the controls
// under these names and the pages and dialogs address them by the same names. Numbers repeat
// across layouts (1003 is a list on the start page and on the options page), so each name says
// whose control it is. Another page's control is read through that page's accessors, never by
// its id.

namespace tk::res {

// The button ids every dialog shares.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// About box.
inline constexpr int kAboutVersion = 1048;
inline constexpr int kAboutCopyright = 1049;

// Intro page.
inline constexpr int kIntroHideCheck = 1040;

// Start page.
inline constexpr int kStartListLabel = 113;
inline constexpr int kStartFolderLabel = 112;
inline constexpr int kStartUrlList = 1003;
inline constexpr int kStartOpenProject = 1007;
inline constexpr int kStartAdd = 1004;
inline constexpr int kStartDelete = 1005;
inline constexpr int kStartHttps = 1050;
inline constexpr int kStartBrowse = 1002;
inline constexpr int kStartSaveDir = 1001;
inline constexpr int kStartAddFromFile = 1053;  // "ファイルから追加..."

// Options page.
inline constexpr int kOptionsUrlList = 1003;
inline constexpr int kOptionsSaveDir = 1000;
inline constexpr int kOptionsTypeTree = 1013;
// The tree's add and delete buttons carry the ids of the tree's own commands.
inline constexpr int kOptionsAddType = 32774;
inline constexpr int kOptionsDeleteType = 32773;
inline constexpr int kOptionsStartOnly = 1014;
inline constexpr int kOptionsLayers = 1015;
inline constexpr int kOptionsLayerField = 1017;
inline constexpr int kOptionsLayerSpin = 1018;
inline constexpr int kOptionsSameSite = 1019;
inline constexpr int kOptionsAllSites = 1020;
inline constexpr int kOptionsFlat = 1016;
inline constexpr int kOptionsServerDirs = 1021;
inline constexpr int kOptionsCache = 1024;
inline constexpr int kOptionsConfirm = 1023;
inline constexpr int kOptionsSaveFirst = 1044;
inline constexpr int kOptionsUnlimited = 1051;  // "無制限" beside the layer count
inline constexpr int kOptionsAdvanced = 1052;   // opens the advanced-settings dialog

// Download page.
inline constexpr int kDownloadComputer = 1006;
inline constexpr int kDownloadGlobe = 1007;
inline constexpr int kDownloadLog = 1000;
inline constexpr int kDownloadSource = 1028;
inline constexpr int kDownloadDestination = 1032;
inline constexpr int kDownloadByteCount = 1029;
inline constexpr int kDownloadRate = 1031;
inline constexpr int kDownloadProgressBar = 1026;
inline constexpr int kDownloadCountersHeading = 1035;
inline constexpr int kDownloadCounters = 1030;
inline constexpr int kDownloadSaveProject = 1037;
inline constexpr int kDownloadOpenCopy = 1038;

// Overwrite question; each button ends the dialog with its own id as the result.
inline constexpr int kOverwriteOne = 1029;
inline constexpr int kOverwriteSkip = 1030;
inline constexpr int kOverwriteAll = 1031;
inline constexpr int kOverwriteSkipAll = 1033;
inline constexpr int kOverwritePath = 1034;

// URL input dialog.
inline constexpr int kUrlInputLabel = 111;
inline constexpr int kUrlInputCombo = 1000;

// Project input dialog.
inline constexpr int kProjectInputLabel = 111;
inline constexpr int kProjectInputCombo = 1046;
inline constexpr int kProjectInputBrowse = 1047;

// Advanced-settings dialog.
inline constexpr int kAdvancedRobots = 1101;
inline constexpr int kAdvancedWait = 1102;
inline constexpr int kAdvancedRate = 1103;
inline constexpr int kAdvancedConnections = 1104;
inline constexpr int kAdvancedConnectionsSpin = 1105;
inline constexpr int kAdvancedUserAgent = 1106;
inline constexpr int kAdvancedCookies = 1107;
inline constexpr int kAdvancedCookiesBrowse = 1108;
inline constexpr int kAdvancedInclude = 1109;
inline constexpr int kAdvancedExclude = 1110;
inline constexpr int kAdvancedMaxSize = 1111;
inline constexpr int kAdvancedTimeout = 1112;
inline constexpr int kAdvancedTries = 1113;

// Add-type dialog.
inline constexpr int kAddTypeCategory = 1024;
inline constexpr int kAddTypeExtension = 1025;

}  // namespace tk::res

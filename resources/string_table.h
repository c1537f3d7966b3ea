#pragma once
// The program's string table: user-visible texts that code looks up by number.
#include <string>
#include <string_view>

namespace tk::res {

inline constexpr int kIdsAboutEntry = 101;   // About entry of the window menu
inline constexpr int kIdsProductName = 102;  // sheet caption, first part of every page caption
inline constexpr int kIdsStartWord = 103;
inline constexpr int kIdsOptionsWord = 104;
inline constexpr int kIdsDownloadWord = 105;
inline constexpr int kIdsHttpsTip = 121;    // tooltip of the start page's HTTPS box
// Tooltips of the advanced settings: the options page's button and "無制限", the start page's
// "add from file", then the dialog's controls in the order of its layout.
inline constexpr int kIdsAdvancedTip = 122;
inline constexpr int kIdsUnlimitedTip = 123;
inline constexpr int kIdsAddFromFileTip = 124;
inline constexpr int kIdsRobotsTip = 125;
inline constexpr int kIdsWaitTip = 126;
inline constexpr int kIdsRateTip = 127;
inline constexpr int kIdsConnectionsTip = 128;
inline constexpr int kIdsUserAgentTip = 129;
inline constexpr int kIdsCookiesTip = 130;
inline constexpr int kIdsCookiesBrowseTip = 131;
inline constexpr int kIdsIncludeTip = 132;
inline constexpr int kIdsExcludeTip = 133;
inline constexpr int kIdsMaxSizeTip = 134;
inline constexpr int kIdsTimeoutTip = 135;
inline constexpr int kIdsTriesTip = 136;

// The UTF-8 text of a string id; empty for an id the table does not hold, as a failed load is.
std::string_view LoadString(int id);

// The texts of the wizard's message boxes, by name. "%s" stands for the value FillIn puts there.
inline constexpr std::string_view kTextInputError = "入力エラー";  // caption of every input error
inline constexpr std::string_view kTextAddStartUrl = "スタートページリスト(URL)を追加してください！";
inline constexpr std::string_view kTextSaveDirFailed = "ファイル保存ディレクトリ作成失敗！";
inline constexpr std::string_view kTextCreateSaveDir = "ディレクトリ「%s」が存在しません。\n作成してもいいですか？";
inline constexpr std::string_view kTextCreateSaveDirCaption = "ディレクトリ作成";
inline constexpr std::string_view kTextLayersOutOfRange = "リンク層数を「10」以内にしてください！";
inline constexpr std::string_view kTextNotAProject = "プロジェクトファイルではありません！";
inline constexpr std::string_view kTextProjectNotSaved = "プロジェクトファイル「%s」を保存できません！";
// The file type of the open and save dialogs for projects.
inline constexpr std::string_view kTextProjectFilter = "プロジェクト(*.tkp)";
inline constexpr std::string_view kTextEnterUrl = "有効なURL(HTTP/FTP)ファイルを入力してください！";
inline constexpr std::string_view kTextEnterCategory = "分類を入力してください！";
inline constexpr std::string_view kTextEnterExtension = "拡張子を入力してください！";
inline constexpr std::string_view kTextCategoryForbidden = "分類に「%s」使用禁止！";
inline constexpr std::string_view kTextExtensionForbidden = "拡張子に「%s」使用禁止！";
inline constexpr std::string_view kTextExtensionInUse = "拡張子が既に使われています！";
inline constexpr std::string_view kTextDeleteCategory = "「%s」と全ての拡張子を削除しますか？";
inline constexpr std::string_view kTextDeleteType = "「%s」を削除しますか？";
inline constexpr std::string_view kTextDeleteCaption = "削除の確認";
// The advanced-settings dialog's input errors.
inline constexpr std::string_view kTextWaitInvalid = "待ち時間を0～86400の秒数で入力してください！";
inline constexpr std::string_view kTextRateInvalid = "転送速度の上限を「200k」のようにバイト数で入力してください！";
inline constexpr std::string_view kTextConnectionsInvalid = "同時接続数を1～5で入力してください！";
inline constexpr std::string_view kTextUserAgentInvalid = "ユーザーエージェントに制御文字は使えません！";
inline constexpr std::string_view kTextCookiesNotFound = "クッキーファイル「%s」が見つかりません！";
inline constexpr std::string_view kTextMaxSizeInvalid = "最大ファイルサイズを「10m」のようにバイト数で入力してください！";
inline constexpr std::string_view kTextTimeoutInvalid = "タイムアウトを0より大きく86400以下の秒数で入力してください！";
inline constexpr std::string_view kTextTriesInvalid = "試行回数を1～100で入力してください！";
// The start page's "add from file".
inline constexpr std::string_view kTextUrlFileUnreadable = "ファイル「%s」を読み込めません！";
inline constexpr std::string_view kTextUrlFileNoUrl = "ファイル「%s」にURLがありません！";
inline constexpr std::string_view kTextUrlFileBadLines =
    "次の行は有効なURL(HTTP/FTP)ではないため、追加しませんでした：\n%s";
inline constexpr std::string_view kTextUrlFileFilter = "テキストファイル(*.txt *.lst);;すべてのファイル(*)";
inline constexpr std::string_view kTextCookiesFilter = "クッキーファイル(*.txt);;すべてのファイル(*)";

// `text` with its first "%s" replaced by `value`, taken as it stands ("%" in `value` included).
std::string FillIn(std::string_view text, std::string_view value);

}  // namespace tk::res

// Layouts of the setup pages and their dialogs: start page, options page, URL input, add type,
// advanced settings.
#include "resources/control_ids.h"
#include "resources/dialog_tables.h"

namespace tk::res {

const DialogTemplate& StartDialog() {
  static const DialogTemplate dlg{
      kDlgStart, 331, 211, "Trawlkitスタート", DialogFace::ShellDlg, 8,
      {
          {kStartListLabel, ControlKind::Label, 3, 12, 282, 8,
           "スタートページリスト(URL)（ブラウザーからハイパリンックのドラッグも可能）："},
          {kStartUrlList, ControlKind::ListBox, 3, 23, 294, 110, "",
           kSorted | kMultiSelect | kVScroll | kHScroll | kTabStop},
          {kStartOpenProject, ControlKind::IconButton, 303, 23, 24, 25, "", kTabStop, 151},
          {kStartAdd, ControlKind::IconButton, 303, 67, 24, 25, "追加", kTabStop, 142},
          {kStartDelete, ControlKind::IconButton, 303, 108, 24, 25, "削除", kTabStop, 136},
          // Under the list it governs, above the save folder's controls.
          {kStartHttps, ControlKind::CheckBox, 3, 137, 200, 10, "HTTPSのページも取得する", kTabStop},
          // Under the list's right end, clear of the folder's browse button.
          {kStartAddFromFile, ControlKind::PushButton, 229, 135, 68, 14, "ファイルから追加...", kTabStop},
          {kStartFolderLabel, ControlKind::Label, 6, 152, 153, 8, "ファイル保存ディレクトリ："},
          {kStartBrowse, ControlKind::PushButton, 303, 147, 24, 15, "参照", kTabStop},
          {kStartSaveDir, ControlKind::Edit, 3, 168, 324, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 16, 196, 309, 10,
           "スタートページリスト、ファイル保存ディレクトリを設定し、次へ進んでください", kRight},
      }};
  return dlg;
}

const DialogTemplate& OptionsDialog() {
  static const DialogTemplate dlg{
      kDlgOptions, 331, 211, "Trawlkitオプション設定", DialogFace::ShellDlg, 8,
      {
          {kOptionsUrlList, ControlKind::ListBox, 3, 3, 321, 35, "", kSorted | kVScroll | kTabStop},
          {kNoId, ControlKind::Label, 3, 41, 9, 8, "を"},
          {kOptionsSaveDir, ControlKind::Edit, 15, 39, 240, 10, "", kReadOnly | kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 260, 41, 66, 8, "にダウンロードします"},
          {kNoId, ControlKind::GroupBox, 3, 56, 105, 134, "除外ファイルタイプ"},
          // Tall enough for the root and the ten built-in categories, the last one whole.
          {kOptionsTypeTree, ControlKind::TreeView, 9, 66, 97, 106, "", kTreeLines | kTabStop},
          {kOptionsAddType, ControlKind::PushButton, 9, 174, 42, 14, "追加", kTabStop},
          {kOptionsDeleteType, ControlKind::PushButton, 63, 174, 42, 14, "削除", kTabStop},
          // Two rows: the layer count, and under it "無制限", which stands for any count.
          {kNoId, ControlKind::GroupBox, 114, 56, 213, 37, "リンクブラウズ"},
          {kOptionsStartOnly, ControlKind::RadioButton, 117, 67, 87, 10, "スタートページのみ", kGroup | kTabStop},
          {kOptionsLayers, ControlKind::RadioButton, 213, 67, 66, 10, "スタートページと"},
          // Wide enough for "10" beside its arrows at any font size the layout scales with.
          {kOptionsLayerField, ControlKind::Edit, 279, 67, 28, 10, "", kTabStop},
          {kOptionsLayerSpin, ControlKind::UpDown, 296, 67, 11, 11, "", kBuddyInt | kArrowKeys | kRight},
          {kNoId, ControlKind::Label, 309, 68, 10, 8, "層"},
          {kOptionsUnlimited, ControlKind::CheckBox, 279, 80, 45, 10, "無制限", kTabStop},
          // Each frame's buttons stand 12 units below its top, clear of the frame's title.
          {kNoId, ControlKind::GroupBox, 114, 97, 213, 25, "リンクページサイト"},
          {kOptionsSameSite, ControlKind::RadioButton, 117, 109, 90, 10, "スタートページと同じ", kGroup | kTabStop},
          {kOptionsAllSites, ControlKind::RadioButton, 213, 109, 90, 10, "すべてのサイト"},
          {kNoId, ControlKind::GroupBox, 114, 126, 213, 26, "ファイル保存方法"},
          {kOptionsFlat, ControlKind::RadioButton, 117, 138, 69, 10, "同一ディレクトリ", kGroup | kTabStop},
          {kOptionsServerDirs, ControlKind::RadioButton, 213, 138, 106, 10, "サーバーディレクトリ構成保持"},
          {kOptionsCache, ControlKind::CheckBox, 117, 158, 205, 8,
           "キャッシュ使用(オンの時前回中断されたダウンロードを継続)", kGroup | kTabStop},
          {kOptionsConfirm, ControlKind::CheckBox, 117, 170, 81, 8, "ファイル上書き確認", kTabStop},
          {kOptionsSaveFirst, ControlKind::CheckBox, 117, 182, 141, 10, "プロジェクト保存してからダウンロード",
           kTabStop},
          {kOptionsAdvanced, ControlKind::PushButton, 262, 167, 62, 14, "詳細設定...", kTabStop},
          {kNoId, ControlKind::Label, 16, 196, 309, 10,
           "ダウンロードオプションを設定し、次へ進んでください", kRight},
      }};
  return dlg;
}

const DialogTemplate& UrlInputDialog() {
  static const DialogTemplate dlg{
      kDlgUrlInput, 222, 69, "URL入力", DialogFace::PGothic, 9,
      {
          {kUrlInputLabel, ControlKind::Label, 3, 6, 213, 7, "URL（ブラウザーからハイパリンックのドラッグも可能）："},
          {kUrlInputCombo, ControlKind::ComboBox, 3, 22, 216, 58, "", kEditable | kAutoHScroll | kTabStop},
          {kIdOk, ControlKind::DefPushButton, 24, 45, 50, 14, "OK", kTabStop},
          {kIdCancel, ControlKind::PushButton, 141, 45, 50, 14, "キャンセル", kTabStop},
      }};
  return dlg;
}

const DialogTemplate& AddTypeDialog() {
  // Wide enough for the whole title in a window manager's title bar, beside its buttons.
  static const DialogTemplate dlg{
      kDlgAddType, 170, 82, "除外ファイルタイプ追加", DialogFace::PGothic, 9,
      {
          {kNoId, ControlKind::Label, 3, 2, 18, 8, "分類"},
          {kAddTypeCategory, ControlKind::ComboBox, 3, 13, 164, 50, "", kEditable | kAutoHScroll | kVScroll | kTabStop},
          {kNoId, ControlKind::Label, 3, 38, 164, 8, "拡張子(「.」を除く)"},
          {kAddTypeExtension, ControlKind::Edit, 3, 50, 164, 10, "", kAutoHScroll | kTabStop},
          {kIdOk, ControlKind::DefPushButton, 3, 65, 50, 14, "OK", kTabStop},
          {kIdCancel, ControlKind::PushButton, 117, 65, 50, 14, "キャンセル", kTabStop},
      }};
  return dlg;
}

// The settings a user copying someone else's site reaches for, in four frames: manners and pace,
// identity, URL filters, limits. A label's mnemonic moves the focus to the field after it.
const DialogTemplate& AdvancedDialog() {
  static const DialogTemplate dlg{
      kDlgAdvanced, 280, 272, "詳細設定", DialogFace::PGothic, 9,
      {
          {kNoId, ControlKind::GroupBox, 4, 3, 272, 72, "マナーと速度"},
          {kAdvancedRobots, ControlKind::CheckBox, 10, 14, 260, 10, "robots.txtとrobotsメタタグに従う(&R)",
           kGroup | kTabStop},
          {kNoId, ControlKind::Label, 10, 30, 98, 8, "待ち時間(&W)："},
          {kAdvancedWait, ControlKind::Edit, 110, 28, 44, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 158, 30, 112, 8, "秒"},
          {kNoId, ControlKind::Label, 10, 45, 98, 8, "転送速度の上限(&L)："},
          {kAdvancedRate, ControlKind::Edit, 110, 43, 50, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 164, 45, 106, 8, "バイト/秒（k、m可）"},
          {kNoId, ControlKind::Label, 10, 60, 98, 8, "同時接続数(&N)："},
          {kAdvancedConnections, ControlKind::Edit, 110, 58, 32, 12, "", kTabStop},
          {kAdvancedConnectionsSpin, ControlKind::UpDown, 131, 58, 11, 12, "", kBuddyInt | kArrowKeys | kRight},
          {kNoId, ControlKind::Label, 146, 60, 60, 8, "（1～5）"},

          {kNoId, ControlKind::GroupBox, 4, 79, 272, 46, "身元"},
          {kNoId, ControlKind::Label, 10, 92, 98, 8, "ユーザーエージェント(&U)："},
          {kAdvancedUserAgent, ControlKind::Edit, 110, 90, 160, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 10, 107, 98, 8, "クッキーファイル(&K)："},
          {kAdvancedCookies, ControlKind::Edit, 110, 105, 116, 12, "", kAutoHScroll | kTabStop},
          {kAdvancedCookiesBrowse, ControlKind::PushButton, 230, 104, 40, 14, "参照(&B)...", kTabStop},

          {kNoId, ControlKind::GroupBox, 4, 129, 272, 68, "URLフィルター（1行に1つ、*は任意の文字列）"},
          {kNoId, ControlKind::Label, 10, 141, 126, 8, "取得するURL(&I)："},
          {kAdvancedInclude, ControlKind::Edit, 10, 151, 126, 40, "",
           kMultiLine | kVScroll | kHScroll | kTabStop},
          {kNoId, ControlKind::Label, 144, 141, 126, 8, "除外するURL(&X)："},
          {kAdvancedExclude, ControlKind::Edit, 144, 151, 126, 40, "",
           kMultiLine | kVScroll | kHScroll | kTabStop},

          {kNoId, ControlKind::GroupBox, 4, 201, 272, 46, "制限"},
          {kNoId, ControlKind::Label, 10, 214, 98, 8, "最大ファイルサイズ(&M)："},
          {kAdvancedMaxSize, ControlKind::Edit, 110, 212, 50, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 164, 214, 106, 8, "バイト（k、m、g可）"},
          {kNoId, ControlKind::Label, 10, 229, 98, 8, "タイムアウト(&T)："},
          {kAdvancedTimeout, ControlKind::Edit, 110, 227, 44, 12, "", kAutoHScroll | kTabStop},
          {kNoId, ControlKind::Label, 158, 229, 16, 8, "秒"},
          {kNoId, ControlKind::Label, 178, 229, 54, 8, "試行回数(&Y)："},
          {kAdvancedTries, ControlKind::Edit, 234, 227, 24, 12, "", kTabStop},
          {kNoId, ControlKind::Label, 262, 229, 10, 8, "回"},

          {kIdOk, ControlKind::DefPushButton, 164, 253, 50, 14, "OK", kGroup | kTabStop},
          {kIdCancel, ControlKind::PushButton, 220, 253, 50, 14, "キャンセル", kTabStop},
      }};
  return dlg;
}

}  // namespace tk::res

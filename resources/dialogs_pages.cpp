// Layouts of the setup pages and their dialogs: start page, options page, URL input, add type.
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
          {kOptionsTypeTree, ControlKind::TreeView, 9, 68, 97, 102, "", kTreeLines | kTabStop},
          {kOptionsAddType, ControlKind::PushButton, 9, 172, 42, 15, "追加", kTabStop},
          {kOptionsDeleteType, ControlKind::PushButton, 63, 172, 42, 15, "削除", kTabStop},
          {kNoId, ControlKind::GroupBox, 114, 56, 213, 25, "リンクブラウズ"},
          {kOptionsStartOnly, ControlKind::RadioButton, 117, 67, 87, 10, "スタートページのみ", kGroup | kTabStop},
          {kOptionsLayers, ControlKind::RadioButton, 213, 67, 66, 10, "スタートページと"},
          // Wide enough for "10" beside its arrows at any font size the layout scales with.
          {kOptionsLayerField, ControlKind::Edit, 279, 67, 28, 10, "", kTabStop},
          {kOptionsLayerSpin, ControlKind::UpDown, 296, 67, 11, 11, "", kBuddyInt | kArrowKeys | kRight},
          {kNoId, ControlKind::Label, 309, 68, 10, 8, "層"},
          {kNoId, ControlKind::GroupBox, 114, 86, 213, 25, "リンクページサイト"},
          {kOptionsSameSite, ControlKind::RadioButton, 117, 96, 90, 10, "スタートページと同じ", kGroup | kTabStop},
          {kOptionsAllSites, ControlKind::RadioButton, 213, 97, 90, 10, "すべてのサイト"},
          {kNoId, ControlKind::GroupBox, 114, 112, 213, 26, "ファイル保存方法"},
          {kOptionsFlat, ControlKind::RadioButton, 117, 125, 69, 10, "同一ディレクトリ", kGroup | kTabStop},
          {kOptionsServerDirs, ControlKind::RadioButton, 213, 125, 106, 10, "サーバーディレクトリ構成保持"},
          {kOptionsCache, ControlKind::CheckBox, 117, 147, 205, 8,
           "キャッシュ使用(オンの時前回中断されたダウンロードを継続)", kGroup | kTabStop},
          {kOptionsConfirm, ControlKind::CheckBox, 117, 159, 81, 8, "ファイル上書き確認", kTabStop},
          {kOptionsSaveFirst, ControlKind::CheckBox, 117, 171, 141, 10, "プロジェクト保存してからダウンロード",
           kTabStop},
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
  static const DialogTemplate dlg{
      kDlgAddType, 126, 82, "除外ファイルタイプ追加", DialogFace::PGothic, 9,
      {
          {kNoId, ControlKind::Label, 3, 2, 18, 8, "分類"},
          {kAddTypeCategory, ControlKind::ComboBox, 3, 13, 120, 50, "", kEditable | kAutoHScroll | kVScroll | kTabStop},
          {kNoId, ControlKind::Label, 3, 38, 120, 8, "拡張子(「.」を除く)"},
          {kAddTypeExtension, ControlKind::Edit, 3, 50, 120, 10, "", kAutoHScroll | kTabStop},
          {kIdOk, ControlKind::DefPushButton, 3, 65, 50, 14, "OK", kTabStop},
          {kIdCancel, ControlKind::PushButton, 69, 65, 50, 14, "キャンセル", kTabStop},
      }};
  return dlg;
}

}  // namespace tk::res

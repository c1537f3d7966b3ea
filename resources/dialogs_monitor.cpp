// Layouts of the download page and the dialogs a run shows: overwrite question, cancel wait.
#include "resources/control_ids.h"
#include "resources/dialog_tables.h"

namespace tk::res {

const DialogTemplate& DownloadDialog() {
  static const DialogTemplate dlg{
      kDlgDownload, 331, 211, "Trawlkitダウンロード", DialogFace::ShellDlg, 8,
      {
          {kDownloadComputer, ControlKind::Icon, 21, 10, 20, 20, "", kStyleNone, 149},
          {kDownloadGlobe, ControlKind::Icon, 279, 10, 20, 20, "", kStyleNone, 148},
          // Fixed pitch: the summary's columns are padded with blanks after a tab.
          {kDownloadLog, ControlKind::Edit, 3, 40, 324, 100, "",
           kMultiLine | kReadOnly | kVScroll | kHScroll | kTabStop | kFixedPitch},
          {kDownloadSource, ControlKind::Label, 3, 140, 309, 8, "", kNoPrefix},
          {kDownloadDestination, ControlKind::Label, 3, 149, 180, 8, "", kNoPrefix},
          {kDownloadByteCount, ControlKind::Label, 189, 149, 75, 8, "", kNoPrefix},
          {kDownloadRate, ControlKind::Label, 276, 151, 48, 8, "", kNoPrefix},
          {kDownloadProgressBar, ControlKind::ProgressBar, 3, 160, 324, 10, ""},
          {kDownloadCountersHeading, ControlKind::Label, 3, 175, 321, 8,
           "ダウンロード済み：\u3000\tファイル\t\tエラー\t\tスキップ\t\t\tバイト", kNoPrefix},
          {kDownloadCounters, ControlKind::Label, 3, 188, 321, 8, "", kNoPrefix},
          {kDownloadSaveProject, ControlKind::CheckBox, 3, 199, 66, 10, "プロジェクト保存", kTabStop},
          // Shown once the run is over: opens the first start page's copy in the browser.
          {kDownloadOpenCopy, ControlKind::PushButton, 257, 197, 70, 13, "コピーを開く", kTabStop},
      }};
  return dlg;
}

const DialogTemplate& OverwriteDialog() {
  // Two buttons carry the default style, as the layout was drawn; the first one wins the Enter key.
  static const DialogTemplate dlg{
      kDlgOverwrite, 219, 59, "ファイル確認", DialogFace::PGothic, 9,
      {
          {kOverwriteOne, ControlKind::DefPushButton, 3, 40, 50, 14, "上書き(&O)", kTabStop},
          {kOverwriteSkip, ControlKind::PushButton, 111, 40, 50, 14, "スキップ(&S)", kTabStop},
          {kOverwriteAll, ControlKind::DefPushButton, 57, 40, 50, 14, "全て上書き(&A)", kTabStop},
          {kOverwriteSkipAll, ControlKind::PushButton, 165, 40, 50, 14, "全てスキップ(&K)", kTabStop},
          {kNoId, ControlKind::Icon, 9, 10, 20, 20, "", kStyleNone, 172},
          {kOverwritePath, ControlKind::Label, 33, 13, 180, 8, "", kNoPrefix},
          {kNoId, ControlKind::Label, 33, 22, 183, 8, "既に存在しています。上書きしますか？"},
      }};
  return dlg;
}

const DialogTemplate& CancelWaitDialog() {
  static const DialogTemplate dlg{
      kDlgCancelWait, 187, 45, "ダウンロードキャンセル", DialogFace::PGothic, 9,
      {
          {kNoId, ControlKind::Label, 7, 12, 173, 20,
           "ダウンロードをキャンセルしています。\nしばらくを待ちください．．．", kCentre},
      }};
  return dlg;
}

}  // namespace tk::res

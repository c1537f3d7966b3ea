// Layouts of the shell's own dialogs: the About box, the intro page, the project input dialog.
#include "resources/control_ids.h"
#include "resources/dialog_tables.h"

namespace tk::res {

const DialogTemplate& AboutDialog() {
  static const DialogTemplate dlg{
      kDlgAbout, 235, 85, "Trawlkitのバージョン情報", DialogFace::PGothic, 9,
      {
          {kNoId, ControlKind::Icon, 11, 17, 20, 20, "", kStyleNone, 128},
          {kAboutVersion, ControlKind::Label, 40, 10, 119, 8, "Trawlkit(Ver.)", kNoPrefix},
          {kAboutCopyright, ControlKind::Label, 40, 25, 119, 8, "Copyright", kStyleNone},
          {kIdOk, ControlKind::DefPushButton, 178, 7, 50, 14, "OK", kGroup | kTabStop},
      }};
  return dlg;
}

const DialogTemplate& IntroDialog() {
  static const DialogTemplate dlg{
      kDlgIntro, 331, 211, "Trawlkit案内", DialogFace::ShellDlg, 8,
      {
          {kNoId, ControlKind::Label, 49, 10, 222, 8,
           "Trawlkitへようこそ！以下のことで悩んでいませんか？"},
          {kNoId, ControlKind::Label, 75, 29, 186, 8, "・たくさんのページをまとめてダウンロードしたい"},
          {kNoId, ControlKind::Label, 75, 44, 186, 8,
           "・毎回同じページをダウンロードするのに操作は面倒くさい"},
          {kNoId, ControlKind::Label, 75, 58, 186, 8, "・電話代がかかって広告をダウンロードしたくない"},
          {kNoId, ControlKind::Label, 75, 74, 186, 8,
           "・訳の分からないファイルをダウンロードしたくない"},
          {kNoId, ControlKind::Label, 75, 87, 186, 8,
           "・長～いダウンロードの最終段階で回線が切れて、パ～"},
          {kNoId, ControlKind::Icon, 21, 55, 20, 20, "", kStyleNone, 128},
          {kNoId, ControlKind::Label, 72, 107, 189, 8,
           "このウィザード風ダウンローダーで悩みを解消してください！"},
          {kIntroHideCheck, ControlKind::CheckBox, 117, 180, 84, 10, "次回から表示しない", kTabStop},
          {kNoId, ControlKind::Label, 16, 196, 309, 8, "準備ができたら、次へ進んでください", kCentre},
      }};
  return dlg;
}

const DialogTemplate& ProjectInputDialog() {
  static const DialogTemplate dlg{
      kDlgProjectInput, 222, 69, "TKP入力", DialogFace::PGothic, 9,
      {
          {kProjectInputLabel, ControlKind::Label, 3, 6, 213, 7, "TKP（エクスプローラからのドラッグも可能）："},
          {kProjectInputCombo, ControlKind::ComboBox, 3, 22, 192, 58, "",
           kEditable | kAutoHScroll | kVScroll | kAcceptFiles | kTabStop},
          {kProjectInputBrowse, ControlKind::PushButton, 198, 22, 21, 12, "参照", kTabStop},
          {kIdOk, ControlKind::DefPushButton, 24, 45, 50, 14, "OK", kTabStop},
          {kIdCancel, ControlKind::PushButton, 141, 45, 50, 14, "キャンセル", kTabStop},
      }};
  return dlg;
}

}  // namespace tk::res

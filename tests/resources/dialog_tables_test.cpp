// The layout tables as data: every layout the program opens exists, and no control is lost
// outside its dialog or shares an id with another.
#include <gtest/gtest.h>

#include <set>

#include "resources/dialog_template.h"

namespace tk::res {
namespace {

TEST(DialogTables, EveryLayoutOfTheProgramIsPresentOnce) {
  std::set<int> ids;
  for (const DialogTemplate* dlg : AllDialogs()) EXPECT_TRUE(ids.insert(dlg->id).second) << dlg->id;
  EXPECT_EQ(ids, (std::set<int>{kDlgAbout, kDlgOptions, kDlgDownload, kDlgStart, kDlgUrlInput,
                                kDlgAddType, kDlgOverwrite, kDlgCancelWait, kDlgIntro,
                                kDlgProjectInput}));
  EXPECT_EQ(FindDialog(4711), nullptr);
}

TEST(DialogTables, ControlsStayInsideTheirDialogAndIdsAreUnique) {
  for (const DialogTemplate* dlg : AllDialogs()) {
    std::set<int> ids;
    for (const ControlSpec& c : dlg->controls) {
      if (c.id != kNoId) {
        EXPECT_TRUE(ids.insert(c.id).second) << dlg->id << ": id " << c.id;
      }
      EXPECT_GE(c.x, 0) << dlg->id << ": " << c.id;
      EXPECT_GE(c.y, 0) << dlg->id << ": " << c.id;
      // A combo's height is its dropped-down list, which may reach past the dialog.
      if (c.kind == ControlKind::ComboBox) continue;
      EXPECT_LE(c.x + c.cx, dlg->cx) << dlg->id << ": " << c.id << " " << c.text;
      EXPECT_LE(c.y + c.cy, dlg->cy) << dlg->id << ": " << c.id << " " << c.text;
    }
  }
}

TEST(DialogTables, ControlsTheCodeAddressesHaveTheirKindsAndTexts) {
  const DialogTemplate& intro = *FindDialog(kDlgIntro);
  ASSERT_NE(FindControl(intro, 1040), nullptr);
  EXPECT_EQ(FindControl(intro, 1040)->kind, ControlKind::CheckBox);
  EXPECT_EQ(FindControl(intro, 1040)->text, "次回から表示しない");

  const DialogTemplate& about = *FindDialog(kDlgAbout);
  EXPECT_EQ(about.caption, "Trawlkitのﾊﾞｰｼﾞｮﾝ情報");
  EXPECT_TRUE(FindControl(about, 1048)->style & kNoPrefix);
  EXPECT_EQ(FindControl(about, 1)->kind, ControlKind::DefPushButton);

  const DialogTemplate& start = *FindDialog(kDlgStart);
  EXPECT_EQ(FindControl(start, 1005)->image, 136);  // the delete button rests on frame 0
  EXPECT_EQ(FindControl(start, 1004)->image, 142);
  EXPECT_EQ(FindControl(start, 1007)->image, 151);
  const unsigned listStyle = FindControl(start, 1003)->style;
  EXPECT_TRUE((listStyle & kSorted) && (listStyle & kMultiSelect) && (listStyle & kHScroll));

  const DialogTemplate& options = *FindDialog(kDlgOptions);
  EXPECT_EQ(FindControl(options, 1018)->kind, ControlKind::UpDown);
  for (int first : {1014, 1019, 1016}) EXPECT_TRUE(FindControl(options, first)->style & kGroup) << first;
  for (int second : {1015, 1020, 1021}) EXPECT_FALSE(FindControl(options, second)->style & kGroup) << second;

  EXPECT_TRUE(FindControl(*FindDialog(kDlgProjectInput), 1046)->style & kAcceptFiles);
  EXPECT_EQ(FindControl(*FindDialog(kDlgDownload), 1035)->text,
            "ダウンロード済み：\u3000\tファイル\t\tエラー\t\tスキップ\t\t\tバイト");
  EXPECT_EQ(FindDialog(kDlgCancelWait)->controls.size(), 1u);  // no buttons
}

}  // namespace
}  // namespace tk::res

// The layout tables as data: every layout the program opens exists, and no control is lost
// outside its dialog or shares an id with another.
#include <gtest/gtest.h>

#include <set>

#include "resources/control_ids.h"
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

// The code casts what it addresses to the widget its kind builds; a control of another kind
// would come back as nullptr.
TEST(DialogTables, ControlsTheCodeAddressesHaveTheKindItExpects) {
  const struct {
    int dialog, id;
    ControlKind kind;
  } rows[] = {
      {kDlgAbout, kIdOk, ControlKind::DefPushButton},
      {kDlgAbout, kAboutVersion, ControlKind::Label},
      {kDlgIntro, kIntroHideCheck, ControlKind::CheckBox},
      {kDlgStart, kStartUrlList, ControlKind::ListBox},
      {kDlgStart, kStartDelete, ControlKind::IconButton},
      {kDlgStart, kStartHttps, ControlKind::CheckBox},
      {kDlgStart, kStartSaveDir, ControlKind::Edit},
      {kDlgOptions, kOptionsTypeTree, ControlKind::TreeView},
      {kDlgOptions, kOptionsLayerSpin, ControlKind::UpDown},
      {kDlgOptions, kOptionsSaveFirst, ControlKind::CheckBox},
      {kDlgDownload, kDownloadLog, ControlKind::Edit},
      {kDlgDownload, kDownloadProgressBar, ControlKind::ProgressBar},
      {kDlgDownload, kDownloadSaveProject, ControlKind::CheckBox},
      {kDlgOverwrite, kOverwritePath, ControlKind::Label},
      {kDlgUrlInput, kUrlInputCombo, ControlKind::ComboBox},
      {kDlgProjectInput, kProjectInputCombo, ControlKind::ComboBox},
      {kDlgAddType, kAddTypeExtension, ControlKind::Edit},
  };
  for (const auto& r : rows) {
    const ControlSpec* c = FindControl(*FindDialog(r.dialog), r.id);
    ASSERT_NE(c, nullptr) << r.dialog << ": " << r.id;
    EXPECT_EQ(c->kind, r.kind) << r.dialog << ": " << r.id;
  }
}

// Each radio group starts at its first button, so a click moves the mark within its own group only.
TEST(DialogTables, OptionsRadioGroupsStartAtTheirFirstButton) {
  const DialogTemplate& options = *FindDialog(kDlgOptions);
  for (int first : {kOptionsStartOnly, kOptionsSameSite, kOptionsFlat})
    EXPECT_TRUE(FindControl(options, first)->style & kGroup) << first;
  for (int second : {kOptionsLayers, kOptionsAllSites, kOptionsServerDirs})
    EXPECT_FALSE(FindControl(options, second)->style & kGroup) << second;
}

TEST(DialogTables, CancelWaitHasNoButtons) {
  // Only the worker's end closes it.
  EXPECT_EQ(FindDialog(kDlgCancelWait)->controls.size(), 1u);
}

}  // namespace
}  // namespace tk::res

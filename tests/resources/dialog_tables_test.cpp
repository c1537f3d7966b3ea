// The layout tables as data: every layout the program opens exists, and no control is lost
// outside its dialog or shares an id with another.
#include <gtest/gtest.h>

#include <QString>

#include <set>

#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"

namespace tk::res {
namespace {

TEST(DialogTables, EveryLayoutOfTheProgramIsPresentOnce) {
  std::set<int> ids;
  for (const DialogTemplate* dlg : AllDialogs()) EXPECT_TRUE(ids.insert(dlg->id).second) << dlg->id;
  EXPECT_EQ(ids, (std::set<int>{kDlgAbout, kDlgOptions, kDlgDownload, kDlgStart, kDlgUrlInput,
                                kDlgAddType, kDlgOverwrite, kDlgCancelWait, kDlgIntro,
                                kDlgProjectInput, kDlgAdvanced}));
  EXPECT_EQ(FindDialog(4711), nullptr);
}

TEST(DialogTables, ControlsStayInsideTheirDialogAndIdsAreUnique) {
  for (const DialogTemplate* dlg : AllDialogs()) {
    std::set<int> ids;
    for (const ControlRow& c : dlg->controls) {
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
      {kDlgStart, kStartAddFromFile, ControlKind::PushButton},
      {kDlgOptions, kOptionsUnlimited, ControlKind::CheckBox},
      {kDlgOptions, kOptionsAdvanced, ControlKind::PushButton},
      {kDlgAdvanced, kAdvancedRobots, ControlKind::CheckBox},
      {kDlgAdvanced, kAdvancedWait, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedRate, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedConnections, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedConnectionsSpin, ControlKind::UpDown},
      {kDlgAdvanced, kAdvancedUserAgent, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedCookies, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedCookiesBrowse, ControlKind::PushButton},
      {kDlgAdvanced, kAdvancedInclude, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedExclude, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedMaxSize, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedTimeout, ControlKind::Edit},
      {kDlgAdvanced, kAdvancedTries, ControlKind::Edit},
      {kDlgAdvanced, kIdOk, ControlKind::DefPushButton},
      {kDlgAdvanced, kIdCancel, ControlKind::PushButton},
  };
  for (const auto& r : rows) {
    const ControlRow* c = FindControl(*FindDialog(r.dialog), r.id);
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

// What the user reads is spelled as Japanese is written: no half-width katakana beside the
// full-width words of the other texts, and none of the slips that once stood on the screen.
TEST(DialogTables, OnScreenJapaneseIsSpelledRight) {
  std::vector<std::string_view> texts;
  for (const DialogTemplate* dlg : AllDialogs()) {
    texts.push_back(dlg->caption);
    for (const ControlRow& c : dlg->controls) texts.push_back(c.text);
  }
  for (int id = 100; id < 200; ++id) texts.push_back(LoadString(id));
  for (std::string_view message : {kTextCreateSaveDir, kTextSaveDirFailed, kTextAddStartUrl, kTextEnterUrl})
    texts.push_back(message);
  for (std::string_view text : texts) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    for (const QChar c : shown) EXPECT_FALSE(c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) << text;
    for (const char* slip : {"ブラウス", "電話代をかかって", "存在していません"})
      EXPECT_EQ(text.find(slip), std::string_view::npos) << text;
  }
  EXPECT_EQ(FindDialog(kDlgAbout)->caption, "Trawlkitのバージョン情報");
  EXPECT_EQ(LoadString(kIdsAboutEntry), "Trawlkit のバージョン情報(&A)...");
  EXPECT_EQ(kTextCreateSaveDir, "ディレクトリ「%s」が存在しません。\n作成してもいいですか？");
  for (int id : {kDlgUrlInput, kDlgAddType, kDlgProjectInput, kDlgAdvanced})
    EXPECT_EQ(FindControl(*FindDialog(id), kIdCancel)->text, "キャンセル") << id;
}

TEST(DialogTables, CancelWaitHasNoButtons) {
  // Only the worker's end closes it.
  EXPECT_EQ(FindDialog(kDlgCancelWait)->controls.size(), 1u);
}

}  // namespace
}  // namespace tk::res

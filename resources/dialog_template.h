#pragma once
// Every dialog of the program as a table of controls, in dialog units, the way the layouts were
// drawn. The builder (dialog_builder.h) turns a table into Qt widgets; the tables themselves stay
// free of Qt so that a layout can be read and checked as plain data.
#include <string_view>
#include <vector>

namespace tk::res {

inline constexpr int kNoId = -1;  // a control the code never addresses (labels, frames)

enum class ControlKind {
  Label,          // static text
  Icon,           // static picture of an icon id
  CheckBox,       // automatic check box
  RadioButton,    // automatic radio button; kGroup starts a new group
  PushButton,
  DefPushButton,  // the default button of a dialog
  IconButton,     // push button that shows an icon id instead of its text
  Edit,
  ListBox,
  ComboBox,
  GroupBox,
  TreeView,
  UpDown,         // spin arrows attached to the edit just before it (its buddy)
  ProgressBar,
};

// Styles that change behaviour or look; bits, combined with |.
enum ControlStyle : unsigned {
  kStyleNone = 0,
  kCentre = 1u << 0,        // text centred
  kRight = 1u << 1,         // text right-aligned
  kNoPrefix = 1u << 2,      // "&" is shown as it is
  kTabStop = 1u << 3,
  kGroup = 1u << 4,         // first control of a group (radio buttons)
  kReadOnly = 1u << 5,
  kMultiLine = 1u << 6,
  kAutoHScroll = 1u << 7,   // an edit that scrolls sideways instead of stopping at its border
  kVScroll = 1u << 8,
  kHScroll = 1u << 9,
  kSorted = 1u << 10,       // list keeps its entries sorted
  kMultiSelect = 1u << 11,  // each click toggles the clicked entry
  kEditable = 1u << 12,     // combo box with an edit field and a drop-down list
  kAcceptFiles = 1u << 13,  // files may be dropped on it from a file manager
  kTreeLines = 1u << 14,    // tree with lines, expand buttons and lines at the root
  kBuddyInt = 1u << 15,     // up-down sets its buddy's text to its integer
  kArrowKeys = 1u << 16,    // up-down answers the arrow keys in its buddy
  kFixedPitch = 1u << 17,   // text in the fixed-pitch face of the dialog's font family
};

// One control of a layout, as one row of the tables in dialogs_*.cpp.
struct ControlRow {
  int id = kNoId;
  ControlKind kind = ControlKind::Label;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string_view text;             // UTF-8; empty for none
  unsigned style = kStyleNone;
  int image = 0;                     // icon id for Icon and IconButton
};

// Fonts as the layouts name them; both map to the same Japanese-capable face at their size.
enum class DialogFace { ShellDlg, PGothic };

struct DialogTemplate {
  int id = 0;
  int cx = 0, cy = 0;  // dialog units
  std::string_view caption;
  DialogFace face = DialogFace::ShellDlg;
  int pointSize = 8;
  std::vector<ControlRow> controls;
};

// Ids of the dialog layouts.
inline constexpr int kDlgAbout = 100;
inline constexpr int kDlgOptions = 102;
inline constexpr int kDlgDownload = 129;
inline constexpr int kDlgStart = 134;
inline constexpr int kDlgUrlInput = 135;
inline constexpr int kDlgAddType = 170;
inline constexpr int kDlgOverwrite = 171;
inline constexpr int kDlgCancelWait = 173;
inline constexpr int kDlgIntro = 175;
inline constexpr int kDlgProjectInput = 177;
inline constexpr int kDlgAdvanced = 180;

// nullptr for an unknown id.
const DialogTemplate* FindDialog(int id);
// Every layout, in id order (for the screenshot program and the layout tests).
const std::vector<const DialogTemplate*>& AllDialogs();
// The control of a layout with the given id, or nullptr.
const ControlRow* FindControl(const DialogTemplate& dlg, int id);

}  // namespace tk::res

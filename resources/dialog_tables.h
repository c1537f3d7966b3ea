#pragma once
// The layout tables, one function per dialog; FindDialog (dialog_template.h) indexes them.
#include "resources/dialog_template.h"

namespace tk::res {

const DialogTemplate& AboutDialog();
const DialogTemplate& IntroDialog();
const DialogTemplate& ProjectInputDialog();
const DialogTemplate& StartDialog();
const DialogTemplate& OptionsDialog();
const DialogTemplate& UrlInputDialog();
const DialogTemplate& AddTypeDialog();
const DialogTemplate& AdvancedDialog();
const DialogTemplate& DownloadDialog();
const DialogTemplate& OverwriteDialog();
const DialogTemplate& CancelWaitDialog();

}  // namespace tk::res

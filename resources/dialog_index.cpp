#include "resources/dialog_tables.h"

namespace tk::res {

const std::vector<const DialogTemplate*>& AllDialogs() {
  static const std::vector<const DialogTemplate*> all{
      &AboutDialog(),    &OptionsDialog(),  &DownloadDialog(),   &StartDialog(),
      &UrlInputDialog(), &AddTypeDialog(),  &OverwriteDialog(),  &CancelWaitDialog(),
      &IntroDialog(),    &ProjectInputDialog(), &AdvancedDialog(),
  };
  return all;
}

const DialogTemplate* FindDialog(int id) {
  for (const DialogTemplate* dlg : AllDialogs())
    if (dlg->id == id) return dlg;
  return nullptr;
}

const ControlRow* FindControl(const DialogTemplate& dlg, int id) {
  for (const ControlRow& c : dlg.controls)
    if (c.id == id && id != kNoId) return &c;
  return nullptr;
}

}  // namespace tk::res

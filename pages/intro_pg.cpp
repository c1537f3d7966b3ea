#include "pages/intro_pg.h"

#include <QCheckBox>

#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "settings/app_ini.h"
#include "settings/ini_file.h"
#include "shell/trawl_sheet.h"

namespace tk {

int& HideIntro() {
  static int hideIntro = 0;
  return hideIntro;
}

void LoadHideIntro() {
  HideIntro() = IniReadInt(AppIniPath(), "REGISTER", "Intro", 0) != 0 ? 1 : 0;
}

CIntroPg::CIntroPg() : CWizardPage(res::kDlgIntro) {}

void CIntroPg::OnCreate() {
  if (QCheckBox* box = CheckBox())
    connect(box, &QCheckBox::clicked, this, &CIntroPg::OnCheckClicked);
}

QCheckBox* CIntroPg::CheckBox() const { return Get<QCheckBox>(res::kIntroHideCheck); }

void CIntroPg::OnSetActive() {
  // Back is never offered here, not even when the page was reached with Back.
  Sheet()->SetWizardButtons(kWizNext);
  if (QCheckBox* box = CheckBox()) {
    box->setEnabled(true);
    box->setChecked(HideIntro() != 0);
  }
}

void CIntroPg::OnCheckClicked() {
  HideIntro() = CheckBox()->isChecked() ? 1 : 0;
  // Written at once, so the choice holds even when the wizard is then cancelled. A failed write
  // is not reported; the flag keeps the new state for this run.
  EnsureAppIniFolder();
  IniWriteString(AppIniPath(), "REGISTER", "Intro", std::to_string(HideIntro()));
}

}  // namespace tk

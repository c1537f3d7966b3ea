#pragma once
// The welcome page, and the preference that skips it at the next start.
#include "shell/wizard_page.h"

class QCheckBox;

namespace tk {

// 1: open on the start page next time. Loaded once at start-up, changed only by the check box.
int& HideIntro();
// Reads [REGISTER] "Intro" of Trawlkit.ini (default 0); any non-zero value sets the flag.
void LoadHideIntro();

class CIntroPg : public CWizardPage {
  Q_OBJECT
 public:
  CIntroPg();
  void OnSetActive() override;

  QCheckBox* CheckBox() const;

 protected:
  void OnCreate() override;

 private:
  void OnCheckClicked();
};

}  // namespace tk

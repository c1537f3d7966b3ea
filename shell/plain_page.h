#pragma once
// A wizard page that shows its layout and does what every page does on activation (buttons and
// caption) but nothing more: the sheet holds one for each page whose own class is not written yet.
#include "shell/wizard_page.h"

namespace tk {

class CPlainPage : public CWizardPage {
  Q_OBJECT
 public:
  // wordId: the string id of the page's word in the caption, 0 for none. buttons: WizardButtons.
  CPlainPage(int templateId, int wordId, unsigned buttons);
  void OnSetActive() override;

 private:
  int m_wordId;
  unsigned m_buttons;
};

}  // namespace tk

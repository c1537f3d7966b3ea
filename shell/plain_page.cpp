#include "shell/plain_page.h"

#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/project.h"
#include "shell/trawl_sheet.h"

namespace tk {

CPlainPage::CPlainPage(int templateId, int wordId, unsigned buttons)
    : CWizardPage(templateId), m_wordId(wordId), m_buttons(buttons) {}

void CPlainPage::OnSetActive() {
  Sheet()->SetWizardButtons(m_buttons);
  if (m_wordId != 0)
    Sheet()->SetCaption(FromUtf8(MakeCaption(res::LoadString(m_wordId))));
  if (m_buttons & (kWizFinish | kWizDisabledFinish)) Sheet()->SetFinishText(QStringLiteral("完了"));
}

}  // namespace tk

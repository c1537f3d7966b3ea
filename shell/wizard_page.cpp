#include "shell/wizard_page.h"

#include "resources/dialog_template.h"
#include "shell/about_box.h"
#include "shell/trawl_sheet.h"

namespace tk {

CWizardPage::CWizardPage(int templateId, QWidget* parent) : QWidget(parent), m_templateId(templateId) {}

CWizardPage::~CWizardPage() = default;

void CWizardPage::Create() {
  if (IsCreated()) return;
  const res::DialogTemplate* dlg = res::FindDialog(m_templateId);
  if (!dlg) {
    static const res::DialogTemplate empty{};
    dlg = &empty;
  }
  m_controls = res::BuildDialog(*dlg, this, Factory());
  OnCreate();
}

QWidget* CWizardPage::Control(int id) const { return m_controls ? m_controls->Control(id) : nullptr; }

void CWizardPage::OnHelp() {
  CAboutBox about(m_sheet ? static_cast<QWidget*>(m_sheet) : this);
  about.exec();
}

}  // namespace tk

#include "shell/trawl_sheet.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "resources/dialog_template.h"
#include "resources/dialog_units.h"
#include "resources/images.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/project.h"
#include "shell/about_box.h"
#include "shell/wizard_page.h"

namespace tk {

CTrawlSheet::CTrawlSheet(SheetPages pages, int firstPage, QWidget* owner)
    : QDialog(owner), m_pages(std::move(pages)), m_firstPage(firstPage) {
  setWindowTitle(FromUtf8(res::LoadString(res::kIdsProductName)));
  setWindowIcon(res::LoadIcon(res::kIconProduct));
  // The title bar gets a minimise button; the "?" button of dialogs has no use here.
  setWindowFlags((windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) &
                 ~Qt::WindowContextHelpButtonHint);

  m_stack = new QStackedWidget(this);
  // Pages build their controls only when first shown, so the stack takes the size of the layouts
  // up front; every page of the wizard has the same size.
  if (const res::DialogTemplate* intro = res::FindDialog(res::kDlgIntro)) {
    const res::DialogUnits units(res::DialogFont(*intro));
    m_stack->setMinimumSize(units.Size(intro->cx, intro->cy));
  }
  for (auto& page : m_pages) {
    if (!page) continue;
    page->AttachSheet(this);
    m_stack->addWidget(page.get());
  }
  BuildButtons();
  BuildWindowMenu();
  ApplyWizardButtons(kWizBack | kWizNext);
}

CTrawlSheet::~CTrawlSheet() {
  Project().StartUrls.clear();
  for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) it->reset();
}

void CTrawlSheet::BuildButtons() {
  m_menuButton = new QToolButton(this);
  m_menuButton->setIcon(res::LoadIcon(res::kIconProduct));
  m_menuButton->setAutoRaise(true);
  m_menuButton->setPopupMode(QToolButton::InstantPopup);
  m_menuButton->setToolTip(QStringLiteral("ウィンドウメニュー (Alt+Space)"));
  m_back = new QPushButton(QStringLiteral("< 戻る(&B)"), this);
  m_next = new QPushButton(QStringLiteral("次へ(&N) >"), this);
  m_finish = new QPushButton(QStringLiteral("完了"), this);
  m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  m_help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
  for (QPushButton* b : {m_back, m_next, m_finish, m_cancel, m_help}) b->setAutoDefault(false);

  auto* row = new QHBoxLayout;
  row->addWidget(m_menuButton);
  row->addStretch(1);
  row->addWidget(m_back);
  row->addWidget(m_next);
  row->addWidget(m_finish);
  row->addSpacing(8);
  row->addWidget(m_cancel);
  row->addWidget(m_help);
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_stack);
  layout->addWidget(line);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_back, &QPushButton::clicked, this, &CTrawlSheet::OnBack);
  connect(m_next, &QPushButton::clicked, this, &CTrawlSheet::OnNext);
  connect(m_finish, &QPushButton::clicked, this, &CTrawlSheet::OnFinish);
  connect(m_cancel, &QPushButton::clicked, this, &CTrawlSheet::reject);
  connect(m_help, &QPushButton::clicked, this, [this] {
    if (CWizardPage* page = ActivePage()) page->OnHelp();
  });
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, m_help, &QPushButton::click);
}

void CTrawlSheet::BuildWindowMenu() {
  m_windowMenu = new QMenu(this);
  auto addCommand = [this](const QString& text, unsigned command, QAction* before) {
    auto* action = new QAction(text, m_windowMenu);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { SysCommand(command); });
    m_windowMenu->insertAction(before, action);
    return action;
  };
  // The entries every window menu has; ours are added around them as on the platform's menu.
  addCommand(QStringLiteral("閉じる(&C)"), kCmdClose, nullptr);

  auto actionAt = [this](int i) {
    const auto actions = m_windowMenu->actions();
    return i < actions.size() ? actions[i] : nullptr;
  };
  m_windowMenu->insertSeparator(actionAt(1));
  m_minimise = addCommand(QStringLiteral("最小化(&N)"), kCmdMinimise, actionAt(0));
  m_restore = addCommand(QStringLiteral("元のサイズに戻す(&R)"), kCmdRestore, actionAt(0));
  m_restore->setEnabled(false);
  const std::string_view about = res::LoadString(res::kIdsAboutEntry);
  if (!about.empty()) {
    m_windowMenu->addSeparator();
    m_about = addCommand(FromUtf8(about), kCmdAbout, nullptr);
  }
  m_menuButton->setMenu(m_windowMenu);
  auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
  connect(shortcut, &QShortcut::activated, m_menuButton, &QToolButton::showMenu);
}

QAction* CTrawlSheet::MenuAction(unsigned command) const {
  for (QAction* action : m_windowMenu->actions())
    if (!action->isSeparator() && action->data().toUInt() == command) return action;
  return nullptr;
}

void CTrawlSheet::SysCommand(unsigned command) {
  switch (command & 0xFFF0u) {
    case kCmdAbout:
      ShowAbout();
      return;
    case kCmdRestore:
      UpdateStateEntries(false);
      showNormal();
      return;
    case kCmdMinimise:
      UpdateStateEntries(true);
      showMinimized();
      return;
    case kCmdClose:
      close();
      return;
    default:
      return;
  }
}

void CTrawlSheet::UpdateStateEntries(bool minimised) {
  m_restore->setEnabled(minimised);
  m_minimise->setEnabled(!minimised);
}

void CTrawlSheet::ShowAbout() {
  CAboutBox about(this);
  about.exec();
}

void CTrawlSheet::SetWizardButtons(unsigned buttons) {
  // Queued calls to one receiver run in the order they were posted, which is what keeps a later
  // request in charge over an earlier one.
  QMetaObject::invokeMethod(this, [this, buttons] { ApplyWizardButtons(buttons); },
                            Qt::QueuedConnection);
}

void CTrawlSheet::ApplyWizardButtons(unsigned buttons) {
  m_buttons = buttons;
  const bool finishMode = buttons & (kWizFinish | kWizDisabledFinish);
  m_back->setEnabled(buttons & kWizBack);
  m_next->setEnabled(buttons & kWizNext);
  m_next->setVisible(!finishMode);
  m_finish->setVisible(finishMode);
  m_finish->setEnabled(buttons & kWizFinish);
  m_next->setDefault(!finishMode);
  m_finish->setDefault(finishMode);
}

void CTrawlSheet::SetFinishText(const QString& text) { m_finish->setText(text); }

void CTrawlSheet::PressFinish() {
  QMetaObject::invokeMethod(this, [this] { OnFinish(); }, Qt::QueuedConnection);
}

void CTrawlSheet::CancelToClose() { m_cancel->setText(QStringLiteral("閉じる")); }

void CTrawlSheet::SetCaption(const QString& caption) { setWindowTitle(caption); }

CWizardPage* CTrawlSheet::Page(int index) const {
  return index >= 0 && index < kPageCount ? m_pages[static_cast<size_t>(index)].get() : nullptr;
}

CWizardPage* CTrawlSheet::ActivePage() const { return Page(m_active); }

void CTrawlSheet::SetActivePage(int index) {
  if (m_active < 0)
    m_firstPage = index;
  else
    Activate(index);
}

int CTrawlSheet::IndexOfTemplate(int templateId) const {
  for (int i = 0; i < kPageCount; ++i)
    if (Page(i) && Page(i)->TemplateId() == templateId) return i;
  return -1;
}

void CTrawlSheet::Activate(int index) {
  CWizardPage* page = Page(index);
  if (!page) return;
  m_active = index;
  page->Create();
  m_stack->setCurrentWidget(page);
  page->OnSetActive();
}

void CTrawlSheet::OnBack() {
  CWizardPage* page = ActivePage();
  if (!page || !m_back->isEnabled()) return;
  const int answer = page->OnWizardBack();
  if (answer == CWizardPage::kStay) return;
  Activate(answer == CWizardPage::kGoOn ? m_active - 1 : IndexOfTemplate(answer));
}

void CTrawlSheet::OnNext() {
  CWizardPage* page = ActivePage();
  if (!page || !m_next->isEnabled() || m_next->isHidden()) return;
  const int answer = page->OnWizardNext();
  if (answer == CWizardPage::kStay) return;
  Activate(answer == CWizardPage::kGoOn ? m_active + 1 : IndexOfTemplate(answer));
}

void CTrawlSheet::OnFinish() {
  CWizardPage* page = ActivePage();
  if (!page || !page->OnWizardFinish()) return;
  m_closing = true;
  accept();
}

bool CTrawlSheet::QueryCancel() {
  CWizardPage* page = ActivePage();
  if (page && !page->OnQueryCancel()) return false;
  if (page) page->OnCancel();
  return true;
}

void CTrawlSheet::reject() {
  if (!m_closing) {
    if (!QueryCancel()) return;
    m_closing = true;
  }
  QDialog::reject();
}

void CTrawlSheet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_active < 0) Activate(m_firstPage);
}

void CTrawlSheet::closeEvent(QCloseEvent* event) {
  if (!m_closing) {
    if (!QueryCancel()) {
      event->ignore();
      return;
    }
    m_closing = true;
  }
  QDialog::closeEvent(event);
}

void CTrawlSheet::changeEvent(QEvent* event) {
  // Minimising or restoring through the window manager's own buttons greys the entries too.
  if (event->type() == QEvent::WindowStateChange) UpdateStateEntries(isMinimized());
  QDialog::changeEvent(event);
}

QPushButton* CTrawlSheet::ButtonWidget(Button which) const {
  switch (which) {
    case Button::Back: return m_back;
    case Button::Next: return m_next;
    case Button::Finish: return m_finish;
    case Button::Cancel: return m_cancel;
    case Button::Help: return m_help;
  }
  return nullptr;
}

}  // namespace tk

#pragma once
// The wizard sheet: a dialog holding the four pages in a stack, with Back / Next / Finish / Cancel
// / Help buttons whose state the pages set, and a window menu (restore, minimise, About) of its
// own, because X11 and Wayland leave the title bar's menu to the window manager.
#include <QDialog>

#include <array>
#include <memory>

#include "shell/wizard_page.h"

class QMenu;
class QAction;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace tk {

// Button states a page asks for; combined with |.
enum WizardButtons : unsigned {
  kWizBack = 1,
  kWizNext = 2,
  kWizFinish = 4,          // Finish, enabled, in place of Next
  kWizDisabledFinish = 8,  // Finish, greyed, in place of Next
};

// Window-menu commands, numbered as the system menu numbers them.
inline constexpr unsigned kCmdAbout = 0x0010;
inline constexpr unsigned kCmdMinimise = 0xF020;
inline constexpr unsigned kCmdRestore = 0xF120;
inline constexpr unsigned kCmdClose = 0xF060;

inline constexpr int kIntroPage = 0;
inline constexpr int kStartPage = 1;
inline constexpr int kOptionsPage = 2;
inline constexpr int kDownloadPage = 3;
inline constexpr int kPageCount = 4;

using SheetPages = std::array<std::unique_ptr<CWizardPage>, kPageCount>;

class CTrawlSheet : public QDialog {
  Q_OBJECT
 public:
  enum class Button { Back, Next, Finish, Cancel, Help };

  // Pages in the order intro, start, options, download; `firstPage` is shown first.
  explicit CTrawlSheet(SheetPages pages, int firstPage = kIntroPage, QWidget* owner = nullptr);
  // Empties the start URLs, then destroys the pages from the last to the first.
  ~CTrawlSheet() override;

  // ---- Services the pages use --------------------------------------------------------------
  // Posted: applied when the event loop next runs, requests in the order they were made.
  void SetWizardButtons(unsigned buttons);
  void SetFinishText(const QString& text);
  // Posted as well: the current page's Finish handling runs as if the user had pressed Finish.
  void PressFinish();
  // Cancel reads Close; pressing it still asks the page whether the sheet may close.
  void CancelToClose();
  void SetCaption(const QString& caption);

  // ---- Pages --------------------------------------------------------------------------------
  CWizardPage* Page(int index) const;
  CWizardPage* ActivePage() const;
  int ActiveIndex() const { return m_active; }
  // Before the sheet is shown: the page to show first. Afterwards: moves there at once.
  void SetActivePage(int index);

  // ---- Window menu --------------------------------------------------------------------------
  QMenu* WindowMenu() const { return m_windowMenu; }
  QAction* MenuAction(unsigned command) const;
  // Runs a window-menu command; the low four bits are ignored, as the system menu's are.
  void SysCommand(unsigned command);

  QPushButton* ButtonWidget(Button which) const;
  unsigned WizardButtonState() const { return m_buttons; }

  void ShowAbout();

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildButtons();
  void BuildWindowMenu();
  void ApplyWizardButtons(unsigned buttons);
  void UpdateStateEntries(bool minimised);
  void Activate(int index);
  void OnBack();
  void OnNext();
  void OnFinish();
  // Cancel, Close, Esc and the close box all end here; true when the sheet may close.
  bool QueryCancel();
  int IndexOfTemplate(int templateId) const;

  SheetPages m_pages;
  QStackedWidget* m_stack = nullptr;
  QToolButton* m_menuButton = nullptr;
  QPushButton* m_back = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_finish = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_help = nullptr;
  QMenu* m_windowMenu = nullptr;
  QAction* m_restore = nullptr;
  QAction* m_minimise = nullptr;
  QAction* m_about = nullptr;
  int m_active = -1;
  int m_firstPage = kIntroPage;
  unsigned m_buttons = 0;
  bool m_closing = false;  // a page allowed the close: the close box must not ask again
};

}  // namespace tk

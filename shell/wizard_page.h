#pragma once
// The base of every wizard page: the events the sheet sends a page, and the page's controls built
// from its dialog layout the first time the page is shown.
#include <QWidget>

#include <optional>

#include "resources/dialog_builder.h"

namespace tk {

class CTrawlSheet;

class CWizardPage : public QWidget {
  Q_OBJECT
 public:
  // Answers of OnWizardNext and OnWizardBack; any other value is the layout id of the page to go to.
  static constexpr int kGoOn = 0;
  static constexpr int kStay = -1;

  explicit CWizardPage(int templateId, QWidget* parent = nullptr);
  ~CWizardPage() override;

  int TemplateId() const { return m_templateId; }
  CTrawlSheet* Sheet() const { return m_sheet; }
  // The page's window exists from the first time it is shown until the sheet closes.
  bool IsCreated() const { return m_controls.has_value(); }
  void Create();

  QWidget* Control(int id) const;
  template <class T>
  T* Get(int id) const {
    return qobject_cast<T*>(Control(id));
  }

  // Every time the page becomes the current page.
  virtual void OnSetActive() {}
  virtual int OnWizardNext() { return kGoOn; }
  virtual int OnWizardBack() { return kGoOn; }
  // True closes the sheet.
  virtual bool OnWizardFinish() { return true; }
  // Cancel or Close pressed, Esc, or the window's close box: true lets the sheet close.
  virtual bool OnQueryCancel() { return true; }
  // After OnQueryCancel said yes, before the sheet closes.
  virtual void OnCancel() {}
  // The Help button: every page answers with the About box.
  virtual void OnHelp();

 protected:
  // Once, after the layout's controls exist: the page's own initialisation.
  virtual void OnCreate() {}
  // The page's own control classes for controls of its layout (see res::ControlFactory).
  virtual res::ControlFactory Factory() { return {}; }

 private:
  friend class CTrawlSheet;
  void AttachSheet(CTrawlSheet* sheet) { m_sheet = sheet; }

  int m_templateId;
  CTrawlSheet* m_sheet = nullptr;
  std::optional<res::BuiltDialog> m_controls;
};

}  // namespace tk

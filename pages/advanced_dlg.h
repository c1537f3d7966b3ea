#pragma once
// "詳細設定": robots.txt, pace, identity, URL filters and limits of a job. It edits a copy of the
// options page's working settings; OK hands back only settings that passed every check, Cancel
// hands back nothing.
#include <QDialog>

#include <functional>
#include <string>

#include "pages/advanced_options.h"
#include "resources/dialog_builder.h"

namespace tk {

class CAdvancedDlg : public QDialog {
  Q_OBJECT
 public:
  // The open-file dialog for the cookies file: chosen path out, false when cancelled.
  // Replaceable for tests.
  using FilePrompt = std::function<bool(QWidget* owner, std::string& path)>;

  CAdvancedDlg(QWidget* owner, const AdvancedOptions& options);

  // The settings as OK read them; before OK, those the dialog was opened with.
  const AdvancedOptions& Options() const { return m_options; }
  QWidget* Control(int id) const { return m_controls.Control(id); }
  template <class T>
  T* Get(int id) const {
    return m_controls.Get<T>(id);
  }
  void SetCookiesPrompt(FilePrompt prompt) { m_cookiesPrompt = std::move(prompt); }

 public slots:
  void accept() override;
  void BrowseCookies();

 private:
  void Show(const AdvancedOptions& options);
  // Reads every field into `out`, in the order of the layout; the first one at fault gets its
  // message and the focus, and the answer is false.
  bool Read(AdvancedOptions& out);
  bool ReadNumbers(AdvancedOptions& out);
  bool ReadLimits(AdvancedOptions& out);
  bool ReadIdentity(AdvancedOptions& out);
  std::string FieldText(int id) const;
  bool Fail(std::string_view message, int id);

  res::BuiltDialog m_controls;
  AdvancedOptions m_options;
  FilePrompt m_cookiesPrompt;
};

}  // namespace tk

#pragma once
// Shared by the setup pages' tests: drag-and-drop events sent the way Qt delivers them, the
// wizard with its real pages opened on a given page, and HOME pointed at a test folder.
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/sheet_pages.h"
#include "settings/history.h"
#include "settings/project.h"
#include "shell/trawl_sheet.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace tk::test {

struct DragOutcome {
  bool enterAccepted = false;
  Qt::DropAction enterAction = Qt::IgnoreAction;
  bool dropAccepted = false;
  Qt::DropAction dropAction = Qt::IgnoreAction;
};

// Enter, move and drop on `target` with `data`.
inline DragOutcome Drag(QWidget* target, const QMimeData& data,
                        Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
  const QPoint pos = target->rect().center();
  DragOutcome out;
  QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QCoreApplication::sendEvent(target, &enter);
  out.enterAccepted = enter.isAccepted();
  out.enterAction = enter.dropAction();
  QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
  move.ignore();
  QCoreApplication::sendEvent(target, &move);
  QDropEvent drop(QPointF(pos), actions, &data, Qt::LeftButton, Qt::NoModifier);
  drop.ignore();
  QCoreApplication::sendEvent(target, &drop);
  out.dropAccepted = drop.isAccepted();
  out.dropAction = drop.dropAction();
  return out;
}

inline std::unique_ptr<QMimeData> Text(const std::string& text) {
  auto data = std::make_unique<QMimeData>();
  data->setText(QString::fromStdString(text));
  return data;
}

class ScopedHome {
 public:
  ScopedHome() {
    if (const char* old = std::getenv("HOME")) m_old = old;
    setenv("HOME", m_dir.Path().c_str(), 1);
  }
  ~ScopedHome() { setenv("HOME", m_old.c_str(), 1); }
  const std::filesystem::path& Path() const { return m_dir.Path(); }

 private:
  TempDir m_dir;
  std::string m_old;
};

// A fresh Trawlkit.ini and HOME, the default project, and the wizard shown on `page`.
struct WizardFixture {
  ScopedConfigHome config;
  ScopedHome home;
  std::unique_ptr<CTrawlSheet> sheet;

  explicit WizardFixture(int page, const std::string& project = "") {
    LoadHistories();
    LoadProject(project);
    sheet = std::make_unique<CTrawlSheet>(MakeWizardPages(), page);
    sheet->show();
    ProcessPosted();
  }
  ~WizardFixture() {
    sheet.reset();
    LoadProject("");
  }
  template <class T>
  T* Page(int index) const {
    return qobject_cast<T*>(sheet->Page(index));
  }
  // Next with the given answer to a message, if one comes; the message's text.
  QString Next(QMessageBox::StandardButton answer = QMessageBox::Ok) {
    SeenMessage seen;
    AnswerMessage(&seen, answer);
    sheet->ButtonWidget(CTrawlSheet::Button::Next)->click();
    ProcessPosted();
    return seen.text;
  }
};

}  // namespace tk::test

#pragma once
// Helpers of the download monitor's widget tests: a settable clock, bounded waits that keep the
// event loop running (the worker's display calls need it), answers queued for the modal dialogs
// a run opens, and a wizard sheet whose download page is the real one.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>
#include <ostream>

#include "engine/inet_backend.h"
#include "monitor/step2_pg.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "settings/project.h"
#include "shell/plain_page.h"
#include "shell/trawl_sheet.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"
#include "support/test_servers.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tk::test {

// Ticks set by the test, a fixed wall clock; safe to read from the worker.
class SettableClock : public RunClock {
 public:
  std::atomic<std::uint32_t> tick{0};
  std::uint32_t TickMs() override { return tick.load(); }
  std::tm LocalTime() override { return std::tm{}; }
};

// Runs the event loop until `done` holds or `limit` has passed; true when `done` held.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 30000) {
  const QDeadlineTimer deadline(limitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Answers modal dialogs in turn as they come up: the front answer is tried on the modal widget
// every 10 ms and is used up when it returns true.
class ModalAnswers {
 public:
  using Answer = std::function<bool(QWidget* modal)>;
  ModalAnswers() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible() || pending.empty() || !pending.front()(modal)) return;
      seen.emplace_back(modal->metaObject()->className());
      pending.pop_front();
    });
    m_timer.start(10);
  }
  void Add(Answer answer) { pending.push_back(std::move(answer)); }
  std::deque<Answer> pending;
  std::vector<std::string> seen;  // class names of the answered widgets

 private:
  QTimer m_timer;
};

// Clicks the button `id` of a layout-built dialog of class T.
template <class T>
ModalAnswers::Answer ClickControl(int id) {
  return [id](QWidget* modal) {
    auto* button = qobject_cast<T*>(modal) ? modal->findChild<QAbstractButton*>(QStringLiteral("ctl%1").arg(id)) : nullptr;
    if (button) button->click();
    return button != nullptr;
  };
}

inline ModalAnswers::Answer MessageBoxAnswer(const QString& text, QMessageBox::StandardButton button,
                                             QString* caption = nullptr) {
  return [=](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->text().startsWith(text)) return false;
    if (caption) *caption = box->windowTitle();
    box->button(button)->click();
    return true;
  };
}

// Picks `path` in the save dialog; an empty path cancels it.
inline ModalAnswers::Answer SaveDialogAnswer(const std::string& path) {
  return [=](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog && path.empty()) dialog->reject();
    if (dialog && !path.empty()) {
      dialog->selectFile(QString::fromStdString(path));
      static_cast<QDialog*>(dialog)->accept();  // the file dialog's own checks run
    }
    return dialog != nullptr;
  };
}

// A sheet over plain stand-ins whose download page is the real one; a save folder, a fresh
// cache folder the page's runs go through, and a local HTTP server of static files.
class PageFixture : public ::testing::Test {
 protected:
  using B = CTrawlSheet::Button;
  PageFixture() {
    Project() = ProjectSettings{};
    Project().SaveDir = save.Path().string();
    Project().UseCache = 0;
  }
  ~PageFixture() override {
    sheet.reset();
    Project() = ProjectSettings{};
  }
  std::string Url(const std::string& path) {
    if (!server) server = HttpTestServer::Start(site.Path());
    return server->Url(path);
  }
  std::string SiteFile(const std::string& name, const std::string& content) {
    WriteFile(site / name, content);
    return Url("/" + name);
  }
  void MakeSheet() {
    SheetPages pages;
    pages[kIntroPage] = std::make_unique<CPlainPage>(res::kDlgIntro, 0, kWizNext);
    pages[kStartPage] = std::make_unique<CPlainPage>(res::kDlgStart, 0, kWizNext);
    pages[kOptionsPage] = std::make_unique<CPlainPage>(res::kDlgOptions, 0, kWizNext);
    auto download = std::make_unique<CStep2Pg>();
    download->SetBackend(Network());
    page = download.get();
    pages[kDownloadPage] = std::move(download);
    sheet = std::make_unique<CTrawlSheet>(std::move(pages), kStartPage);
    sheet->show();
    ProcessPosted();
  }
  // Through the options page onto the download page, as the wizard goes: the run starts.
  void Enter() {
    if (!sheet) MakeSheet();
    for (int index : {kOptionsPage, kDownloadPage}) {
      sheet->SetActivePage(index);
      ProcessPosted();
    }
  }
  bool WaitForEnd() {
    return PumpUntil([this] { return !page->IsRunning() && sheet->WizardButtonState() == kWizFinish; });
  }
  void RunToEnd() {
    Enter();
    ASSERT_TRUE(WaitForEnd());
  }
  // The internet layer with the fixture's cache folder and `trust`, as `trust` is at the first
  // call; it lives as long as the fixture, as every page given it may.
  InetBackend& Network() {
    if (!network) network = std::make_unique<LibraryBackend>(NetworkPlaces{cache / "trawlkit", trust});
    return *network;
  }
  QString Text(int id) const { return page->Get<QLabel>(id)->text(); }
  std::string RunLog() const { return ReadFile(save / "Trawlkit.txt"); }
  QCheckBox* SaveBox() const { return page->Get<QCheckBox>(res::kDownloadSaveProject); }
  QPushButton* Button(B which) const { return sheet->ButtonWidget(which); }

  ScopedConfigHome config;
  TempDir cache, save, site;
  std::unique_ptr<HttpTestServer> server;
  inet::TrustStore trust;
  std::unique_ptr<LibraryBackend> network;
  std::unique_ptr<CTrawlSheet> sheet;
  CStep2Pg* page = nullptr;
};

}  // namespace tk::test

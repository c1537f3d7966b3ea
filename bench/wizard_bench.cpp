// The wizard's download page running a whole crawl, headless, with the settings of
//   trawlkit-cli -q -u URL -d DIR -l 10 --server-tree --no-cache --no-confirm
// Run by bench/wizard_bench.sh beside the CLI; by hand:
//   QT_QPA_PLATFORM=offscreen wizard_bench URL SAVE_DIR [CANCEL_AFTER_MS]
// The page is the real one in a sheet over plain stand-ins, entered as the wizard enters it, with
// the event loop running as it does for a user. Prints one line of key=value figures:
//   seconds      from entering the page until Finish is offered (the display fully caught up)
//   stall_ms     the longest time the GUI thread did not serve a 10 ms timer, less the 10 ms
//   lines        lines in the log box, and log_same=1 when the box holds the run log exactly
//   drain_ms     one display update at the end of the run, the box full: 200 more log lines
//                appended in one batch, as one drain brings them at the fastest pace of a run
// With CANCEL_AFTER_MS the run is cancelled that long after it starts, as a user does it (Cancel,
// then OK in the question), and it prints instead:
//   cancel_ms    from OK to the worker's end; closed_ms from OK to the window closing.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "monitor/progress_display.h"
#include "monitor/step2_page.h"
#include "resources/dialog_template.h"
#include "settings/project.h"
#include "shell/plain_page.h"
#include "shell/trawl_sheet.h"

using namespace tk;

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::unique_ptr<CTrawlSheet> MakeSheet(CStep2Pg*& page) {
  SheetPages pages;
  pages[kIntroPage] = std::make_unique<CPlainPage>(res::kDlgIntro, 0, kWizNext);
  pages[kStartPage] = std::make_unique<CPlainPage>(res::kDlgStart, 0, kWizNext);
  pages[kOptionsPage] = std::make_unique<CPlainPage>(res::kDlgOptions, 0, kWizNext);
  auto download = std::make_unique<CStep2Pg>();
  page = download.get();
  pages[kDownloadPage] = std::move(download);
  return std::make_unique<CTrawlSheet>(std::move(pages), kStartPage);
}

void Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (argc < 3) {
    std::fprintf(stderr, "usage: wizard_bench URL SAVE_DIR [CANCEL_AFTER_MS]\n");
    return 2;
  }
  QApplication app(argc, argv);
  // The event loop of the run: QApplication::quit would close the sheet, which at the end of a
  // run means Finish and its project save.
  QEventLoop loop;
  const std::filesystem::path save = argv[2];
  const int cancelAfterMs = argc > 3 ? std::atoi(argv[3]) : 0;
  Project() = ProjectSettings{};
  Project().StartUrls = {argv[1]};
  Project().SaveDir = save.string();
  std::filesystem::create_directories(save);  // the start page offers only a folder that exists
  Project().LinkLayers = 10;
  Project().SaveFlat = 0;
  Project().UseCache = 0;
  Project().ConfirmOverwrite = 0;

  CStep2Pg* page = nullptr;
  std::unique_ptr<CTrawlSheet> sheet = MakeSheet(page);
  sheet->show();
  Settle();
  sheet->SetActivePage(kOptionsPage);
  Settle();

  // The probe: a 10 ms timer that notes the longest gap between two of its ticks.
  QElapsedTimer clock;
  qint64 lastProbe = 0, longestGap = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longestGap = std::max(longestGap, now - lastProbe);
    lastProbe = now;
  });
  qint64 endNs = 0, okNs = 0, workerEndNs = 0, closedNs = 0;
  QTimer watch;  // the end of the run as the user sees it
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (okNs && !workerEndNs && !page->IsRunning()) workerEndNs = now;
    if (!cancelAfterMs && !endNs && !page->IsRunning() && sheet->WizardButtonState() == kWizFinish) {
      endNs = now;
      loop.quit();
    }
  });
  QTimer answer;  // OK in the cancel question, as soon as it is up
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!okNs && box && box->isVisible()) {
      okNs = clock.nsecsElapsed();
      answer.stop();
      box->button(QMessageBox::Ok)->click();
    }
  });
  if (cancelAfterMs) {
    QTimer::singleShot(cancelAfterMs, [&] {
      if (!page->IsRunning()) {  // Cancel would read Close now, and offer the project save
        std::fprintf(stderr, "the run ended before %d ms; cancel earlier\n", cancelAfterMs);
        std::exit(1);
      }
      answer.start(1);
      sheet->ButtonWidget(CTrawlSheet::Button::Cancel)->click();  // returns once the sheet closed
      closedNs = clock.nsecsElapsed();
      if (!workerEndNs) workerEndNs = closedNs;
      loop.quit();
    });
  }

  QTimer::singleShot(600'000, [] {  // bounded: a run that never ends is a failure, not a wait
    std::fprintf(stderr, "the run did not end within 10 minutes\n");
    std::exit(1);
  });
  clock.start();
  probe.start(10);
  watch.start(5);
  sheet->SetActivePage(kDownloadPage);  // the run starts
  loop.exec();
  probe.stop();
  watch.stop();

  const double stallMs = std::max<qint64>(0, longestGap - 10'000'000) / 1e6;
  if (cancelAfterMs) {
    std::printf("cancel_ms=%.1f closed_ms=%.1f stall_ms=%.1f\n", (workerEndNs - okNs) / 1e6, (closedNs - okNs) / 1e6,
                stallMs);
    return page->IsRunning() ? 1 : 0;
  }
  QString expected = QString::fromStdString(ReadAll(save / "Trawlkit.txt"));
  expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const auto* log = page->Get<QPlainTextEdit>(ProgressDisplay::kLogBox);
  const bool same = log && log->toPlainText() == expected;
  const int lines = log ? log->blockCount() : 0;
  // What one drain costs once the box holds the whole run: a batch of lines like the run's own.
  std::string batch;
  for (int i = 0; i < 200; ++i) batch += Project().StartUrls.front() + "(OK:Saved as[index.html])\r\n";
  ProgressDisplay display(*page, SystemClock());
  QElapsedTimer drainTime;
  drainTime.start();
  display.AppendLog(batch);
  Settle();  // and its repaint
  const double drainMs = drainTime.nsecsElapsed() / 1e6;
  std::printf("seconds=%.3f stall_ms=%.1f drain_ms=%.1f lines=%d log_same=%d\n", endNs / 1e9, stallMs, drainMs,
              lines, same ? 1 : 0);
  return same ? 0 : 1;
}

// The wizard's download page running a whole crawl, headless, with the settings of
//   trawlkit-cli -q -u URL -d DIR -l 10 --server-tree --no-cache --no-confirm
// Run by bench/wizard_bench.sh beside the CLI; by hand:
//   QT_QPA_PLATFORM=offscreen wizard_bench URL SAVE_DIR [CANCEL_AFTER_MS]
// The page is the real one in a sheet over plain stand-ins, entered as the wizard enters it, with
// the event loop running as it does for a user. Prints one line of key=value figures:
//   seconds      from entering the page until Finish is offered (the display fully caught up)
//   gui_cpu_s    the CPU time the GUI thread spent meanwhile
//   stall_ms     the longest time the GUI thread did not serve a 10 ms timer, less the 10 ms,
//                stall_at_ms, when that gap began, and stall_cpu_ms, the GUI thread's own CPU time
//                in it: near the gap, the thread was busy; near 0, the machine gave it no core
//   lines        lines in the log box, and log_same=1 when the box holds the run log exactly, followed
//                by the one line that tells what the run did to the copy
//   drain_ms     one display update at the end of the run, the box full: 200 more log lines
//                appended in one batch, as one drain brings them at the fastest pace of a run,
//                and the page repainted; append_ms, the append alone (fastest of three)
// With CANCEL_AFTER_MS the run is cancelled that long after it starts, as a user does it (Cancel,
// then OK in the question), and it prints instead:
//   cancel_ms    from OK to the worker's end; closed_ms from OK to the window closing.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "monitor/progress_display.h"
#include "monitor/step2_pg.h"
#include "resources/control_ids.h"
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

// The CPU time of the calling thread: what the GUI thread itself spent, whatever the load.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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
  qint64 lastProbe = 0, longestGap = 0, longestGapAt = 0;
  double lastProbeCpu = 0, longestGapCpu = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    const double cpu = ThreadCpuSeconds();
    if (now - lastProbe > longestGap) {
      longestGap = now - lastProbe;
      longestGapAt = lastProbe;
      longestGapCpu = cpu - lastProbeCpu;
    }
    lastProbe = now;
    lastProbeCpu = cpu;
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
      // A confirmed cancel ends as Finish does, with the project's save dialog when the box asks
      // for it; the stop is what is timed here, not a dialog nobody answers.
      if (auto* save = page->Get<QCheckBox>(res::kDownloadSaveProject)) save->setChecked(false);
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
  const double cpuStart = ThreadCpuSeconds();
  lastProbeCpu = cpuStart;
  clock.start();
  probe.start(10);
  watch.start(5);
  sheet->SetActivePage(kDownloadPage);  // the run starts
  loop.exec();
  probe.stop();
  watch.stop();

  const double guiCpu = ThreadCpuSeconds() - cpuStart;
  const double stallMs = std::max<qint64>(0, longestGap - 10'000'000) / 1e6;
  const double stallAtMs = longestGapAt / 1e6;
  const double stallCpuMs = longestGapCpu * 1e3;
  if (cancelAfterMs) {
    std::printf("cancel_ms=%.1f closed_ms=%.1f stall_ms=%.1f stall_at_ms=%.0f stall_cpu_ms=%.1f\n",
                (workerEndNs - okNs) / 1e6, (closedNs - okNs) / 1e6, stallMs, stallAtMs, stallCpuMs);
    return page->IsRunning() ? 1 : 0;
  }
  QString expected = QString::fromStdString(ReadAll(save / "Trawlkit.txt"));
  expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const auto* log = page->Get<QPlainTextEdit>(res::kDownloadLog);
  // The box closes with what the run did to the copy ("12001 files: 12001 new, ..."), which
  // the run log does not hold.
  static const QRegularExpression kChanges(
      QStringLiteral("^\\d+ files?: \\d+ new, \\d+ changed, \\d+ unchanged, \\d+ failed\\n?$"));
  const QString shown = log ? log->toPlainText() : QString();
  const bool same = log && shown.startsWith(expected) && kChanges.match(shown.mid(expected.size())).hasMatch();
  const int lines = log ? log->blockCount() : 0;
  // What one drain costs once the box holds the whole run: a batch of lines like the run's own.
  std::string batch;
  for (int i = 0; i < 200; ++i) batch += Project().StartUrls.front() + "(OK:Saved as[index.html])\r\n";
  ProgressDisplay display(*page, SystemClock());
  Settle();  // whatever the end of the run left to paint is not the drain's
  double appendMs = 1e9, drainMs = 1e9;  // the fastest of three: the machine is shared
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer drainTime;
    drainTime.start();
    display.AppendLog(batch);
    appendMs = std::min(appendMs, drainTime.nsecsElapsed() / 1e6);
    page->repaint();  // and its paint
    drainMs = std::min(drainMs, drainTime.nsecsElapsed() / 1e6);
  }
  std::printf("seconds=%.3f gui_cpu_s=%.3f stall_ms=%.1f stall_at_ms=%.0f stall_cpu_ms=%.1f drain_ms=%.1f "
              "append_ms=%.1f lines=%d log_same=%d\n",
              endNs / 1e9, guiCpu, stallMs, stallAtMs, stallCpuMs, drainMs, appendMs, lines, same ? 1 : 0);
  return same ? 0 : 1;
}

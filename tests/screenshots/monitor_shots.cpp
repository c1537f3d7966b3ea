// The download page during and after a run, and the dialogs a run shows, for the screenshot
// program. The run is a real one with no start page, held at its session for the first picture.
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "engine/inet_backend.h"
#include "monitor/cancel_wait_dlg.h"
#include "monitor/overwrite_dlg.h"
#include "monitor/password_dlg.h"
#include "monitor/progress_display.h"
#include "monitor/step2_pg.h"
#include "resources/dialog_template.h"
#include "settings/project.h"
#include "shell/plain_page.h"
#include "shell/trawl_sheet.h"

namespace {

void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void Grab(QWidget* widget, const QDir& dir, const QString& name) {
  widget->show();
  Pump(50);
  widget->grab().save(dir.filePath(name + QStringLiteral(".png")));
  widget->hide();
}

// The real internet layer, except that opening the session waits until the picture is taken.
class HeldBackend : public tk::InetBackend {
 public:
  void Release() {
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_signal.notify_all();
  }
  std::unique_ptr<tk::inet::Session> OpenSession(std::string_view agent, tk::inet::Error& err) override {
    std::unique_lock lock(m_mutex);
    m_signal.wait(lock, [this] { return m_released; });
    return tk::DefaultInetBackend().OpenSession(agent, err);
  }
  std::unique_ptr<tk::inet::HttpConnection> ConnectHttp(tk::inet::Session& s, std::string_view host, int port,
                                                        tk::inet::Error& err) override {
    return tk::DefaultInetBackend().ConnectHttp(s, host, port, err);
  }
  std::unique_ptr<tk::inet::FtpConnection> ConnectFtp(tk::inet::Session& s, std::string_view host, int port,
                                                      tk::inet::Error& err) override {
    return tk::DefaultInetBackend().ConnectFtp(s, host, port, err);
  }
  std::optional<std::uint32_t> QueryConnectionState() override { return std::nullopt; }
  bool HangUp() override { return false; }

 private:
  std::mutex m_mutex;
  std::condition_variable m_signal;
  bool m_released = false;
};

class FixedTick : public tk::RunClock {
 public:
  std::uint32_t TickMs() override { return tick; }
  std::tm LocalTime() override { return {}; }
  std::uint32_t tick = 0;
};

// What a run in progress shows, written straight into the page's controls.
void FillRunningDisplay(const QWidget& page) {
  FixedTick clock;
  tk::ProgressDisplay display(page, clock);
  display.AppendLog(
      "http://www.example.com/(OK:Saved as[index.html])\r\n"
      "http://www.example.com/style.css(OK:Saved as[style.css])\r\n"
      "http://www.example.com/img/logo.png(OK:Saved as[logo.png])\r\n"
      "http://www.example.com/old/(NG:Bad Status(404))\r\n");
  tk::RunCounters counts;
  counts.FilesDownloaded = 4;
  counts.Errors = 1;
  counts.BytesDownloaded = 48213;
  display.ShowCounts(counts);
  display.BeginFile("http://www.example.com/files/manual.pdf", "manual.pdf", "2097152");
  clock.tick = 4000;
  display.AddBytes(786432);
}

void DownloadPageShots(const QDir& dir) {
  QTemporaryDir save;
  const tk::ProjectSettings kept = tk::Project();
  tk::Project().SaveDir = save.path().toStdString();
  tk::Project().StartUrls.clear();
  HeldBackend backend;
  tk::CStep2Pg* page = nullptr;
  {
    tk::SheetPages pages;
    pages[tk::kIntroPage] = std::make_unique<tk::CPlainPage>(tk::res::kDlgIntro, 0, tk::kWizNext);
    pages[tk::kStartPage] = std::make_unique<tk::CPlainPage>(tk::res::kDlgStart, 0, tk::kWizNext);
    pages[tk::kOptionsPage] = std::make_unique<tk::CPlainPage>(tk::res::kDlgOptions, 0, tk::kWizNext);
    auto download = std::make_unique<tk::CStep2Pg>();
    page = download.get();
    page->SetBackend(backend);
    pages[tk::kDownloadPage] = std::move(download);
    tk::CTrawlSheet sheet(std::move(pages), tk::kDownloadPage);
    sheet.show();
    Pump(50);
    FillRunningDisplay(*page);
    Pump(900);  // the truck half-way
    Grab(&sheet, dir, QStringLiteral("page_download_running"));
    sheet.show();
    backend.Release();
    for (int i = 0; i < 600 && (page->IsRunning() || sheet.WizardButtonState() != tk::kWizFinish); ++i) Pump(10);
    Grab(&sheet, dir, QStringLiteral("page_download_ended"));
  }
  tk::Project() = kept;
}

void RunDialogShots(const QDir& dir) {
  tk::COverwriteDlg overwrite("www.example.com/docs/index.html");
  Grab(&overwrite, dir, QStringLiteral("dialog_overwrite"));
  tk::CPasswordDlg password("http://www.example.com/private/report.html", "www.example.com");
  Grab(&password, dir, QStringLiteral("dialog_password"));
  tk::CCancelWaitDlg wait([] { return true; });
  Grab(&wait, dir, QStringLiteral("dialog_cancel_wait"));
}

}  // namespace

void MonitorShots(const QDir& dir) {
  DownloadPageShots(dir);
  RunDialogShots(dir);
}

#include "monitor/step2_pg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "monitor/cancel_wait_dlg.h"
#include "monitor/column_label.h"
#include "monitor/marshalling_host.h"
#include "monitor/page_run_host.h"
#include "monitor/progress_display.h"
#include "pages/step1_pg.h"
#include "resources/control_ids.h"
#include "resources/dialog_template.h"
#include "resources/images.h"
#include "resources/string_table.h"
#include "resources/utf8_text.h"
#include "settings/project.h"
#include "shell/trawl_sheet.h"

namespace tk {
namespace {

constexpr int kIdsSaveBoxTip = 120;
constexpr int kIconPixels = 32;

QString CancelQuestion() {
  return QStringLiteral(
      "ダウンロードをキャンセルしますか？\nキャンセルしても、次回「キャッシュ使用」を選択すれば、継続できます。");
}

std::string AgentName() {
  const std::string name = QCoreApplication::applicationName().toStdString();
  return name.empty() ? std::string("trawlkit") : name;
}

}  // namespace

CStep2Pg::CStep2Pg()
    : CWizardPage(res::kDlgDownload),
      m_backend(&DefaultInetBackend()),
      m_clock(&SystemClock()),
      m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_savePrompt(AskProjectSavePath) {
  m_animation.setObjectName(QStringLiteral("timer%1").arg(kAnimationTimerId));
  m_animation.setInterval(kAnimationPeriodMs);
  connect(&m_animation, &QTimer::timeout, this, &CStep2Pg::AnimationFrame);
  m_drain.setInterval(kDrainPeriodMs);
  connect(&m_drain, &QTimer::timeout, this, [this] { DrainDisplay(false); });
}

CStep2Pg::~CStep2Pg() {
  m_animation.stop();
  m_drain.stop();
  if (m_worker.IsRunning()) {
    m_cancel.store(true);
    if (m_crawler) m_crawler->Interrupt();
    // The worker's questions and start-page reads wait on this thread, so it must go on serving
    // them until the worker is out; the cancelled run ends within moments of the session's close.
    while (m_worker.IsRunning()) {
      QEventLoop loop;
      QTimer::singleShot(CCancelWaitDlg::kPollPeriodMs / 10, &loop, &QEventLoop::quit);
      loop.exec();
    }
  }
  TakeRunSettings();
}

void CStep2Pg::TakeRunSettings() {
  if (m_settingsTaken || !m_crawler || m_worker.IsRunning()) return;
  m_crawler->HandBackSettings(Project());
  m_settingsTaken = true;
}

QCheckBox* CStep2Pg::SaveBox() const { return Get<QCheckBox>(res::kDownloadSaveProject); }
QPushButton* CStep2Pg::OpenCopyButton() const { return Get<QPushButton>(res::kDownloadOpenCopy); }

// The button is there only while there is a finished copy to open.
void CStep2Pg::ShowOpenCopy(const QUrl& url) {
  m_startPageUrl = url;
  if (QPushButton* button = OpenCopyButton()) {
    button->setVisible(!url.isEmpty());
    button->setEnabled(!url.isEmpty());
    button->setToolTip(url.isEmpty() ? QString() : url.toLocalFile());
  }
}

// The counters and their heading: each number stands under its heading whatever its width.
res::ControlFactory CStep2Pg::Factory() {
  return [](const res::ControlRow& row, QWidget* host) -> QWidget* {
    if (row.id != res::kDownloadCounters && row.id != res::kDownloadCountersHeading) return nullptr;
    auto* label = new CColumnLabel(host);
    label->setTextFormat(Qt::PlainText);
    label->setText(FromUtf8(row.text));
    return label;
  };
}

void CStep2Pg::OnCreate() {
  if (auto* counters = Get<CColumnLabel>(res::kDownloadCounters))
    counters->AlignUnder(Get<CColumnLabel>(res::kDownloadCountersHeading));
  // A run's log can grow far beyond one screen; the box keeps every line.
  if (auto* log = Get<QPlainTextEdit>(res::kDownloadLog)) log->setMaximumBlockCount(0);
  const QWidget* globe = Control(res::kDownloadGlobe);
  const QWidget* computer = Control(res::kDownloadComputer);
  if (globe && computer) {
    m_path.y = globe->y();
    m_path.startX = globe->x() - 47;
    m_path.endX = computer->x() + computer->width() + 7;
  }
  for (int i = 0; i < 3; ++i) m_truckFrames[static_cast<size_t>(i)] = res::LoadBitmap(res::kBitmapTruckFirst + i);
  m_truck = new QLabel(this);
  m_truck->setObjectName(QStringLiteral("truck"));
  m_truck->setFixedSize(kTruckWidth, kTruckHeight);
  m_truck->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_truck->hide();
  if (QCheckBox* box = SaveBox()) {
    box->setChecked(true);
    box->setToolTip(FromUtf8(res::LoadString(kIdsSaveBoxTip)));
  }
  if (QPushButton* button = OpenCopyButton()) {
    connect(button, &QPushButton::clicked, this, [this] {
      if (!m_startPageUrl.isEmpty() && m_opener) m_opener(m_startPageUrl);
    });
  }
  ShowOpenCopy({});
}

void CStep2Pg::ShowIcon(int control, int icon) {
  if (auto* label = Get<QLabel>(control)) label->setPixmap(res::LoadIcon(icon).pixmap(kIconPixels, kIconPixels));
}

void CStep2Pg::OnSetActive() {
  CTrawlSheet* sheet = Sheet();
  if (sheet) {
    sheet->SetCaption(FromUtf8(MakeCaption(res::LoadString(res::kIdsDownloadWord))));
    sheet->SetWizardButtons(kWizBack | kWizNext);
  }
  // Saved on the options page already: nothing left to offer at Finish.
  const QWidget* options = sheet ? sheet->Page(kOptionsPage) : nullptr;
  if (QCheckBox* box = SaveBox(); box && CStep1Pg::SavesBeforeRun(options)) {
    box->setChecked(false);
    box->hide();
    box->setEnabled(false);
  }
  ShowIcon(res::kDownloadComputer, res::kIconBlank);
  ShowIcon(res::kDownloadGlobe, res::kIconBlank);
  if (sheet) {
    sheet->SetFinishText(QStringLiteral("完了"));
    // Posted after the request above, so this one holds while the run goes on.
    sheet->SetWizardButtons(kWizDisabledFinish);
  }
  // One run per entry; an entry while a run is still going (which the wizard never makes)
  // must not start a second worker on the same page.
  if (!m_worker.IsRunning()) StartRun();
  m_frame = 0;
  m_animation.start();
  AnimationFrame();
}

void CStep2Pg::StartRun() {
  m_worker.Reap();
  m_cancel.store(false);
  m_endShown = false;
  ShowOpenCopy({});
  const QWidget* startPage = Sheet() ? Sheet()->Page(kStartPage) : nullptr;
  TakeRunSettings();
  m_crawler.reset();
  m_pageHost = std::make_unique<PageRunHost>(*this, *m_clock, StartUrlsOf(startPage), m_cancel);
  m_workerHost = std::make_unique<MarshallingHost>(*m_pageHost, m_pageHost->Feed(), *m_clock, this, m_cancel);
  m_crawler = std::make_unique<Crawler>(Project(), *m_workerHost, *m_backend, *m_clock, AgentName());
  m_settingsTaken = false;
  m_worker.Start([crawler = m_crawler.get()] { crawler->RunDownload(); });
  m_drain.start();
}

void CStep2Pg::DrainDisplay(bool all) {
  if (m_pageHost) m_pageHost->Drain(all);
}

void CStep2Pg::AnimationFrame() {
  const TruckFrame frame = TruckFrameAt(m_frame, m_path);
  if (frame.globeIcon) ShowIcon(res::kDownloadGlobe, frame.globeIcon);
  if (m_truck) {
    // The sprite is a widget of its own: moving it wipes its old place, so the frame's
    // clearing needs no paint of its own.
    m_truck->setPixmap(m_truckFrames[static_cast<size_t>(frame.sprite - res::kBitmapTruckFirst)]);
    m_truck->move(frame.x, m_path.y);
    m_truck->raise();
    m_truck->show();
  }
  if (frame.computerIcon) ShowIcon(res::kDownloadComputer, frame.computerIcon);
  if (!m_worker.IsRunning()) EndRunDisplay();
  ++m_frame;
}

void CStep2Pg::EndRunDisplay() {
  m_animation.stop();
  if (m_endShown) return;
  m_endShown = true;
  // The worker has ended: the rest of its log and its last counters are shown now.
  m_drain.stop();
  DrainDisplay(true);
  // What the run did to the copy, which its log lines do not tell apart; the run log keeps its
  // lines as they are.
  if (m_crawler && m_pageHost) m_pageHost->AppendLog(CopyChangesText(m_crawler->State()) + "\r\n");
  if (m_truck) m_truck->hide();
  ShowIcon(res::kDownloadComputer, res::kIconComputer);
  m_worker.Reap();
  TakeRunSettings();
  const std::filesystem::path start = m_crawler ? m_crawler->StartPageCopy() : std::filesystem::path();
  ShowOpenCopy(start.empty() ? QUrl() : QUrl::fromLocalFile(FromUtf8(start.string())));
  if (CTrawlSheet* sheet = Sheet()) {
    sheet->CancelToClose();
    sheet->SetWizardButtons(kWizFinish);
  }
}

int CStep2Pg::OnWizardNext() {
  if (Sheet()) Sheet()->SetWizardButtons(0);
  return kStay;
}

bool CStep2Pg::OnWizardFinish() {
  QCheckBox* box = SaveBox();
  if (!box || !box->isChecked()) return true;
  return SaveProjectAtFinish();
}

// A project that could not be written must not close the wizard as if it had been: the settings
// would be lost with it. The dialog opens in the project's own folder (its own when the project
// has no file yet).
bool CStep2Pg::SaveProjectAtFinish() { return SaveProjectAs(this, m_savePrompt, {}, Project().ProjectPath); }

bool CStep2Pg::OnQueryCancel() {
  if (m_worker.IsRunning()) {
    const auto answer = QMessageBox::question(this, QStringLiteral("キャンセル確認"), CancelQuestion(),
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer != QMessageBox::Ok) return false;
    m_cancel.store(true);
    // The question promises that the job can go on next time: once the worker is out, the page
    // does what Finish does, the project saved when the box asks for it. A save dialog that is
    // cancelled keeps the wizard open on the ended run.
    WaitForWorker(true);
    EndRunDisplay();
    QCheckBox* box = SaveBox();
    return !box || !box->isChecked() || SaveProjectAtFinish();
  }
  // After the run, Close finishes: the project save at Finish is offered here too.
  if (Sheet()) Sheet()->PressFinish();
  return false;
}

void CStep2Pg::WaitForWorker(bool show) {
  // The engine serialises this close with its own at the end of the run.
  if (m_crawler) m_crawler->Interrupt();
  if (show || m_worker.IsRunning()) {
    CCancelWaitDlg wait([this] { return m_worker.IsRunning(); }, window());
    wait.exec();
  }
  m_worker.Reap();
  TakeRunSettings();
}

void CStep2Pg::OnCancel() {
  WaitForWorker(false);
  m_drain.stop();
  DrainDisplay(true);
}

}  // namespace tk

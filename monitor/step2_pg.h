#pragma once
// The download page: entering it starts the run on a worker thread; the page shows the log, the
// current transfer and the counters while a truck drives from the globe to the computer, finds
// the worker's end by polling, and then offers Finish, with the project saved first if asked.
// Cancelling asks, raises the run's cancel flag, closes its internet session and waits behind a
// small dialog until the worker has ended.
#include <QPixmap>
#include <QTimer>
#include <QUrl>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "engine/crawler.h"
#include "monitor/truck_animation.h"
#include "monitor/worker_thread.h"
#include "pages/save_project.h"
#include "shell/wizard_page.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tk {

class MarshallingHost;
class PageRunHost;

class CStep2Pg : public CWizardPage {
  Q_OBJECT
 public:
  static constexpr int kAnimationTimerId = 20000;
  static constexpr int kAnimationPeriodMs = 20;
  // How often the display catches up with the worker: the window lags the run by at most this.
  static constexpr int kDrainPeriodMs = 40;

  CStep2Pg();
  // A page that goes while its worker runs (the application quitting around it) stops the run
  // and keeps serving the worker's calls until it has ended.
  ~CStep2Pg() override;

  // Test seams: the network and the clock of the next run (the defaults are the real ones).
  void SetBackend(InetBackend& backend) { m_backend = &backend; }
  void SetClock(RunClock& clock) { m_clock = &clock; }
  // Hands a file URL to the desktop's browser (QDesktopServices::openUrl unless replaced).
  void SetOpener(std::function<bool(const QUrl&)> opener) { m_opener = std::move(opener); }
  // The save dialog of the project save at Finish (AskProjectSavePath unless replaced).
  void SetSavePrompt(SavePrompt prompt) { m_savePrompt = std::move(prompt); }
  // The file URL of the first start page's copy once the run is over; empty before that, and
  // when no start page was saved.
  QUrl StartPageUrl() const { return m_startPageUrl; }

  bool IsRunning() const { return m_worker.IsRunning(); }
  bool CancelFlag() const { return m_cancel.load(); }
  const Crawler* RunCrawler() const { return m_crawler.get(); }
  const TruckPath& Path() const { return m_path; }
  unsigned FrameCount() const { return m_frame; }
  const QLabel* Truck() const { return m_truck; }
  const QTimer& AnimationTimer() const { return m_animation; }
  const QTimer& DrainTimer() const { return m_drain; }

  void OnSetActive() override;
  int OnWizardNext() override;
  bool OnWizardFinish() override;
  bool OnQueryCancel() override;
  void OnCancel() override;

 protected:
  void OnCreate() override;
  res::ControlFactory Factory() override;

 private:
  void StartRun();
  void AnimationFrame();
  void DrainDisplay(bool all);
  void EndRunDisplay();
  // After a confirmed cancel: the session closed, a small dialog up until the worker has ended
  // (`show`: up for a moment also when it has ended already).
  void WaitForWorker(bool show);
  // Once the worker has ended: the run's changes to the settings go into the project, once.
  void TakeRunSettings();
  void ShowIcon(int control, int icon);
  bool SaveProjectAtFinish();
  QCheckBox* SaveBox() const;
  QPushButton* OpenCopyButton() const;
  void ShowOpenCopy(const QUrl& url);

  InetBackend* m_backend;
  RunClock* m_clock;
  std::function<bool(const QUrl&)> m_opener;
  SavePrompt m_savePrompt;
  QUrl m_startPageUrl;
  std::atomic<bool> m_cancel{false};
  QTimer m_animation;
  QTimer m_drain;
  unsigned m_frame = 0;
  TruckPath m_path;
  QLabel* m_truck = nullptr;
  std::array<QPixmap, 3> m_truckFrames;
  // The run: the page's side of the host, the worker's side, the engine, then the thread, so
  // the thread is gone before anything it uses.
  std::unique_ptr<PageRunHost> m_pageHost;
  std::unique_ptr<MarshallingHost> m_workerHost;
  std::unique_ptr<Crawler> m_crawler;
  bool m_settingsTaken = true;  // m_crawler's changes to the settings are in the project
  bool m_endShown = false;      // the run's end is on the page
  WorkerThread m_worker;
};

}  // namespace tk

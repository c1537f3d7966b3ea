#pragma once
// Helpers of the download monitor's widget tests: a settable clock, bounded waits that keep the
// GUI thread's event loop running (the worker's display calls need it), and a queue of answers
// for the modal dialogs a run opens.
#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/run_clock.h"
#include "support/temp_dir.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tk::test {

// Ticks are set by the test; the wall clock is fixed. Safe to read from the worker.
class SettableClock : public RunClock {
 public:
  std::atomic<std::uint32_t> tick{0};
  std::uint32_t TickMs() override { return tick.load(); }
  std::tm LocalTime() override {
    std::tm t{};
    t.tm_hour = 12;
    t.tm_min = 34;
    t.tm_sec = 56;
    return t;
  }
};

// Runs the event loop until `done` holds or `limit` has passed; true when `done` held.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const QDeadlineTimer deadline(limit);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Answers modal dialogs one after another as they come up: each answer is tried on the
// current modal widget every 10 ms and is used up when it returns true. Lives as long as the
// test's scope; whatever it did not use is left in `pending`.
class ModalAnswers {
 public:
  using Answer = std::function<bool(QWidget* modal)>;

  ModalAnswers() {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start();
  }
  void Add(Answer answer) { pending.push_back(std::move(answer)); }

  std::deque<Answer> pending;
  std::vector<std::string> seen;  // class names of the modal widgets answered, in order

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || pending.empty()) return;
    if (!pending.front()(modal)) return;
    seen.emplace_back(modal->metaObject()->className());
    pending.pop_front();
  }

  QTimer m_timer;
};

// Clicks the child button whose control id is `id` (layout-built dialogs) when `modal` is of
// class `T`.
template <class T>
ModalAnswers::Answer ClickControl(int id) {
  return [id](QWidget* modal) {
    if (!qobject_cast<T*>(modal)) return false;
    auto* button = modal->findChild<QAbstractButton*>(QStringLiteral("ctl%1").arg(id));
    if (!button) return false;
    button->click();
    return true;
  };
}

// Points XDG_CACHE_HOME at a fresh folder, so no run reads another test's cache.
class ScopedCacheHome {
 public:
  ScopedCacheHome() {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) m_old = old;
    setenv("XDG_CACHE_HOME", m_dir.Path().c_str(), 1);
  }
  ~ScopedCacheHome() {
    if (m_old.empty())
      unsetenv("XDG_CACHE_HOME");
    else
      setenv("XDG_CACHE_HOME", m_old.c_str(), 1);
  }

 private:
  TempDir m_dir;
  std::string m_old;
};

}  // namespace tk::test

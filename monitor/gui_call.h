#pragma once
// Running a piece of work on the GUI thread from the worker, synchronously.
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

namespace tk {

// Runs `work` on the thread of `context` and returns its result; the calling thread waits.
// Three things make this safe to call from anywhere:
//  - on the context's own thread the work runs directly: a blocking queued call to oneself
//    never returns;
//  - only the caller waits: the GUI thread keeps its event loop, and each nested loop (message
//    boxes, modal dialogs) serves the calls as well;
//  - when the context is destroyed before the queued call runs, Qt releases the caller as if
//    the call had run; the flag set inside the call tells the two apart, and the caller then
//    gets `fallback`.
template <class Result, class Work>
Result CallOnGui(QObject* context, Result fallback, Work&& work) {
  if (QThread::currentThread() == context->thread()) return std::forward<Work>(work)();
  bool ran = false;
  Result result = fallback;
  QMetaObject::invokeMethod(
      context,
      [&] {
        result = work();
        ran = true;
      },
      Qt::BlockingQueuedConnection);
  return ran ? result : fallback;
}

// The same for work without a result.
template <class Work>
void CallOnGui(QObject* context, Work&& work) {
  CallOnGui<bool>(context, false, [&] {
    work();
    return true;
  });
}

}  // namespace tk

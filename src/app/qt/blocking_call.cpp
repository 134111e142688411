#include "app/qt/blocking_call.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace stdlookup {

// A queued call and a wait of our own rather than Qt's blocking queued call: the hand-over both
// ways then goes through std::mutex, which ThreadSanitizer sees (Qt's own wait is a futex inside
// uninstrumented Qt). The GUI side first waits until the call is posted, so that whatever the
// caller built for the call is handed over too.
void call_blocking(QObject* target, const std::function<void()>& work) {
  if (QThread::currentThread() == target->thread()) {
    work();
    return;
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool posted = false;
  bool done = false;
  QMetaObject::invokeMethod(
      target,
      [&] {
        {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return posted; });
        }
        work();
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex);
  posted = true;
  changed.notify_all();
  changed.wait(lock, [&] { return done; });
}

}  // namespace stdlookup

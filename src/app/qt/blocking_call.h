// Running work on another object's thread and waiting for it: the one hand-over from the batch
// thread to the GUI thread.
#pragma once

#include <QObject>
#include <functional>

namespace stdlookup {

// Runs `work` on `target`'s thread through a blocking queued call (directly when already there)
// and returns once it ran.
void call_blocking(QObject* target, const std::function<void()>& work);

}  // namespace stdlookup

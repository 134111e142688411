// The process-wide cancel switch every transport watches.
#include "web/transport.h"

#include <atomic>

namespace stdlookup {
namespace {

// Lock-free, so storing to it is safe in a signal handler.
std::atomic<bool> cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void cancel_requests() noexcept {
  cancelled.store(true);
}

void allow_requests() noexcept {
  cancelled.store(false);
}

bool requests_cancelled() noexcept {
  return cancelled.load();
}

}  // namespace stdlookup

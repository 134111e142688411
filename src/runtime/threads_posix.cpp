// Worker threads on POSIX: a detached pthread with the default stack size.
#include <pthread.h>

#include <memory>

#include "runtime/system_platform.h"

namespace stdlookup {
namespace {

void* run_procedure(void* argument) {
  std::unique_ptr<std::function<void()>> procedure(static_cast<std::function<void()>*>(argument));
  (*procedure)();
  return nullptr;
}

}  // namespace

bool create_detached_thread(std::function<void()> procedure) {
  auto owned = std::make_unique<std::function<void()>>(std::move(procedure));
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  int result = pthread_create(&thread, &attributes, run_procedure, owned.get());
  pthread_attr_destroy(&attributes);
  if (result != 0) return false;
  owned.release();  // the thread owns it now
  return true;
}

}  // namespace stdlookup

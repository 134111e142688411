// Worker threads on POSIX: a detached pthread with the default stack size.
#include <pthread.h>

#include <memory>
#include <mutex>

#include "runtime/system.h"

namespace stdlookup {
namespace {

void* run_procedure(void* argument) {
  std::unique_ptr<std::function<void()>> procedure(static_cast<std::function<void()>*>(argument));
  (*procedure)();
  return nullptr;
}

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

std::mutex starter_mutex;
std::function<bool(std::function<void()>)> custom_starter;

}  // namespace

bool start_thread(std::function<void()> procedure) {
  std::function<bool(std::function<void()>)> starter;
  {
    std::lock_guard lock(starter_mutex);
    starter = custom_starter;
  }
  return starter ? starter(std::move(procedure)) : create_detached_thread(std::move(procedure));
}

void set_thread_starter(std::function<bool(std::function<void()>)> starter) {
  std::lock_guard lock(starter_mutex);
  custom_starter = std::move(starter);
}

}  // namespace stdlookup

// Worker threads on Windows: CreateThread, bound by name, with the default stack size; the
// handle is closed at once, so the thread runs detached.
#include <windows.h>

#include <memory>
#include <mutex>

#include "runtime/binding.h"
#include "runtime/system.h"

namespace stdlookup {
namespace {

DWORD WINAPI run_procedure(LPVOID argument) {
  std::unique_ptr<std::function<void()>> procedure(static_cast<std::function<void()>*>(argument));
  (*procedure)();
  return 0;
}

bool create_detached_thread(std::function<void()> procedure) {
  using CreateThreadFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T,
                                               LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
  auto create_thread = bound_function<CreateThreadFunction>(kBoundCreateThread);
  auto owned = std::make_unique<std::function<void()>>(std::move(procedure));
  DWORD id = 0;
  HANDLE thread = create_thread(nullptr, 0, run_procedure, owned.get(), 0, &id);
  if (thread == nullptr) return false;
  owned.release();  // the thread owns it now
  CloseHandle(thread);
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

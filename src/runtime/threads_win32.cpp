// Worker threads on Windows: CreateThread, bound by name, with the default stack size; the
// handle is closed at once, so the thread runs detached.
#include <windows.h>

#include <memory>

#include "runtime/binding_win32.h"
#include "runtime/system_platform.h"

namespace stdlookup {
namespace {

DWORD WINAPI run_procedure(LPVOID argument) {
  std::unique_ptr<std::function<void()>> procedure(static_cast<std::function<void()>*>(argument));
  (*procedure)();
  return 0;
}

}  // namespace

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

}  // namespace stdlookup

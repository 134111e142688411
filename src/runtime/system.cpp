#include "runtime/system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "runtime/system_platform.h"

namespace stdlookup {

std::filesystem::path native_path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

void end_process(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

void pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds));
}

namespace {

// Tests replace the thread starter; the real one is the platform's.
std::mutex starter_mutex;
std::function<bool(std::function<void()>)> custom_starter;

}  // namespace

bool start_thread(std::function<void()> procedure) {
  auto starter = [] {
    std::lock_guard lock(starter_mutex);
    return custom_starter;
  }();
  return starter ? starter(std::move(procedure)) : create_detached_thread(std::move(procedure));
}

void set_thread_starter(std::function<bool(std::function<void()>)> starter) {
  std::lock_guard lock(starter_mutex);
  custom_starter = std::move(starter);
}

}  // namespace stdlookup

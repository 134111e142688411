// The desktop opener on POSIX: xdg-open, spawned without a shell and reaped in the background.
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>

#include "runtime/gbk.h"
#include "runtime/system.h"

extern char** environ;

namespace stdlookup {
namespace {

bool spawn_xdg_open(std::string argument) {
  if (argument.empty()) return false;
  char program[] = "xdg-open";
  char* argv[] = {program, argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

std::mutex opener_mutex;
std::function<bool(const Text&)> custom_opener;

std::function<bool(const Text&)> current_opener() {
  std::lock_guard lock(opener_mutex);
  return custom_opener;
}

}  // namespace

bool shell_open(const Text& target) {
  auto opener = current_opener();
  return opener ? opener(target) : spawn_xdg_open(gbk_to_utf8(target));
}

bool shell_open_path(const std::string& native_path) {
  auto opener = current_opener();
  return opener ? opener(native_path) : spawn_xdg_open(native_path);
}

void set_shell_opener(std::function<bool(const Text&)> opener) {
  std::lock_guard lock(opener_mutex);
  custom_opener = std::move(opener);
}

}  // namespace stdlookup

// The desktop opener on POSIX: xdg-open, spawned without a shell and reaped in the background.
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

#include "runtime/gbk.h"
#include "runtime/system_platform.h"

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

}  // namespace

bool desktop_open(const std::string& target, bool native_path) {
  return spawn_xdg_open(native_path ? target : gbk_to_utf8(target));
}

}  // namespace stdlookup

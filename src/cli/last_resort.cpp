// The command line's last resort: whatever goes wrong that no part of it handled ends the
// program with the usage-error status and a reason on stderr, never with an abort or the
// window's runtime error text.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "cli.h"
#include "i18n.h"
#include "runtime/runtime_error.h"

namespace stdlookup::cli {
namespace {

[[noreturn]] void stop(const char* reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "stdlookup-cli: stopped: %s\n", reason);
  std::_Exit(kUsageError);
}

// Called with nothing to spare: formats on the stack.
[[noreturn]] void out_of_memory(std::size_t byte_count) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "out of memory (%zu bytes more were needed)", byte_count);
  stop(reason);
}

// An exception that left a thread, or one thrown where none may be.
[[noreturn]] void on_terminate() {
  try {
    if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& e) {
    stop(e.what());
  } catch (...) {
  }
  stop("an internal error");
}

}  // namespace

int run_to_the_end(int argc, char** argv) {
  set_allocation_failure_handler(out_of_memory);
  std::set_terminate(on_terminate);
  start_translations();
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    stop(e.what());
  } catch (...) {
    stop("an internal error");
  }
}

}  // namespace stdlookup::cli

// The command line's last resort: whatever goes wrong that no part of it handled ends the
// program with the usage-error status and a reason on stderr, never with an abort or the
// window's runtime error text.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "cli.h"
#include "runtime/i18n.h"
#include "runtime/runtime_error.h"

namespace stdlookup::cli {
namespace {

[[noreturn]] void stop_with(const char* line) {
  std::fflush(stdout);
  std::fprintf(stderr, "stdlookup-cli: %s\n", line);
  std::_Exit(kUsageError);
}

// `reason` nullptr for an internal error. The English words when there is no memory to
// translate them.
[[noreturn]] void stop(const char* reason) {
  constexpr const char* kInternal = tr_noop("an internal error");
  try {
    const std::string why = reason ? std::string(reason) : tr(kInternal);
    stop_with(tr("stopped: {1}", {why}).c_str());
  } catch (...) {
    std::fflush(stdout);
    std::fprintf(stderr, "stdlookup-cli: stopped: %s\n", reason ? reason : kInternal);
    std::_Exit(kUsageError);
  }
}

// Called with nothing to spare: formats on the stack.
[[noreturn]] void out_of_memory(std::size_t byte_count) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "stopped: out of memory (%zu bytes more were needed)",
                byte_count);
  stop_with(reason);
}

// An exception that left a thread, or one thrown where none may be.
[[noreturn]] void on_terminate() {
  try {
    if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& e) {
    stop(e.what());
  } catch (...) {
  }
  stop(nullptr);
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
    stop(nullptr);
  }
}

}  // namespace stdlookup::cli

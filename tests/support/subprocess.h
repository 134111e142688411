// Runs a program for a test: feeds its standard input, collects stdout and stderr, and returns
// its exit code (128 + signal number when a signal ended it).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace stdlookup::test {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
  long peak_resident_kib = -1;  // the child's peak resident memory, where the system tells
};

using ProcessId = std::int64_t;

// `on_running` is called once with the child's id after it started (e.g. to interrupt it).
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input = "",
                          const std::function<void(ProcessId)>& on_running = {});

// Sends the child what Ctrl-C in its terminal would.
void interrupt_process(ProcessId process);
// Ends the child at once, with no chance to write anything more.
void kill_process(ProcessId process);

}  // namespace stdlookup::test

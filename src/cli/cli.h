// stdlookup-cli: the lookups from the command line.
#pragma once

namespace stdlookup::cli {

enum ExitCode : int {
  kAllAnswered = 0,
  kSomeFailed = 1,      // a request failed, or download found no detail link
  kUsageError = 2,      // also unreadable input and an output file that could not be written
  kNewlyAbolished = 3,  // batch --compare: a standard became 作废 since the earlier list
  kInterrupted = 130,
};

// Finds the catalogues beside the program and takes the language from the environment; once,
// before the first text.
void start_translations();

int run(int argc, char** argv);
// run, with a last resort: an exception or a failed allocation ends it with kUsageError and the
// reason on stderr.
int run_to_the_end(int argc, char** argv);

}  // namespace stdlookup::cli

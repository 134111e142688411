// What the command line needs from the system beyond the runtime's operations; one file per
// platform.
#pragma once

#include <cstdio>
#include <filesystem>

namespace stdlookup::cli {

// Creates `path` for writing only when no such file exists; null (errno set) otherwise.
std::FILE* open_new_file(const std::filesystem::path& path);

// A file-size limit (ulimit -f) makes a write fail with "file too large" instead of ending the
// process, so the output's temporary file is cleaned up and the rows are kept.
void treat_file_size_limit_as_error();

// The signals that ask a batch to stop and keep what it has done (Ctrl-C, a polite kill, a closed
// terminal) go to `handler`, or back to their default.
void catch_stop_signals(void (*handler)(int));
void release_stop_signals();

// Whether stdout / stderr is a terminal: CSV for one gets its control characters escaped, and
// the progress line is drawn on one only.
bool stdout_is_terminal();
bool stderr_is_terminal();

}  // namespace stdlookup::cli

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

// The folder of the running program, from the system rather than argv[0]; empty when unknown.
std::filesystem::path program_folder();

// Where gettext looks for the catalogues of `domain` (a folder with LANG/LC_MESSAGES below).
void bind_catalogues(const char* domain, const std::filesystem::path& folder);

// Windows: the user's UI language as LANGUAGE when no variable names one; nothing elsewhere,
// where the environment is the setting.
void choose_language();

}  // namespace stdlookup::cli

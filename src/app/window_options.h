// What the window program does before its window opens: --help and --version, which print and
// end the program, and the settings the lookups use.
#pragma once

#include <optional>
#include <string>

namespace stdlookup {

// With --help (-h) or --version (-V) among the arguments: prints to stdout and gives the exit
// code. Otherwise nullopt, and the window opens (Qt takes its own options, such as -platform).
std::optional<int> window_command_line(int argc, char** argv);

// Reads the settings and hands them to the lookups. On a problem the lookups get the built-in
// settings and the problem is returned; "" when there was none.
std::string use_window_settings();

// One message box naming the problem and saying that the built-in settings are used instead.
// Nothing for "".
void report_settings_problem(const std::string& problem);

}  // namespace stdlookup

// The exit code a test sees when the program ends with exit code -1 (a runtime error): POSIX
// keeps its low 8 bits, Windows the whole value.
#pragma once

namespace stdlookup::test {

#ifdef _WIN32
inline constexpr int kRuntimeErrorExitCode = -1;
#else
inline constexpr int kRuntimeErrorExitCode = 255;
#endif

}  // namespace stdlookup::test

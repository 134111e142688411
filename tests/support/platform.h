// What tests need to know about the platform they run on.
#pragma once

namespace stdlookup::test {

#ifdef _WIN32
inline constexpr bool kWindows = true;
// A program ending with exit code -1 (a runtime error): Windows keeps the whole value,
inline constexpr int kRuntimeErrorExitCode = -1;
#else
inline constexpr bool kWindows = false;
// POSIX its low 8 bits.
inline constexpr int kRuntimeErrorExitCode = 255;
#endif

}  // namespace stdlookup::test

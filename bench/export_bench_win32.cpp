// The export bench on Windows: the peak working set; no Python to compare with.
#include <windows.h>

#include <psapi.h>  // after windows.h

#include "export_bench_platform.h"

double peak_memory_mb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

std::optional<double> openpyxl_seconds(const std::filesystem::path&, int) {
  return std::nullopt;
}

// Small helpers shared by the benchmark programs: timing and figure output.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace stdlookup::bench {

// STDLOOKUP_BENCH_SHORT=1: the whole work once on a small input, so the test suite can run every
// bench and see that it still works; its figures mean nothing then.
inline bool short_run() {
  const char* value = std::getenv("STDLOOKUP_BENCH_SHORT");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

// Runs `body` `rounds` times and returns the fastest round in seconds.
template <typename Body>
double best_of(int rounds, Body&& body) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    body();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - t0;
    if (elapsed.count() < best) best = elapsed.count();
  }
  return best;
}

// One figure per line: "name value unit".
inline void print_figure(const char* name, double value, const char* unit) {
  std::printf("%s %.3f %s\n", name, value, unit);
}

}  // namespace stdlookup::bench

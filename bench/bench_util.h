// Small helpers shared by the benchmark programs: timing and figure output.
#pragma once

#include <chrono>
#include <cstdio>

namespace stdlookup::bench {

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

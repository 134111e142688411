// One batch run, shared by the window's batch and the command line's: the cookie files cleared,
// then each line looked up in order with the pause after each request, an optional retry policy
// and a cancel flag, and each row handed over as it completes.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "lookup/lookup.h"

namespace stdlookup {

struct BatchRow {
  int index = 0;  // of its line
  LookupResult result;
  StandardRecord record;  // batch_record(result, line)
  int tries = 1;          // requests made for the page
};

struct BatchRun {
  PageFetcher fetch = fetch_page;
  int pause_ms = 500;  // after every request
  int retries = 0;     // a request worth retrying is tried again up to this often
  // The pause and the waits between tries; one that the cancel flag cuts short lets the batch
  // stop within a moment.
  std::function<void(std::chrono::milliseconds)> wait;  // empty: pause()
  // Once set, no further line starts, and a row whose request it cut short is dropped.
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(int index, const Text& line)> on_line;  // before a line is looked up
  std::function<void(const BatchRow& row)> on_row;           // after its pause
};

// Looks up `count` lines, each made by `line_at` when its turn comes (a long list is never
// copied whole). Returns how many rows were handed over: all the lines, unless cancelled.
int run_batch(int count, const std::function<Text(int index)>& line_at, const BatchRun& run);

}  // namespace stdlookup

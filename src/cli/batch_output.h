// Where a batch's rows go besides stdout: a file named by --output (.xlsx, .csv or .json), and
// the progress line on stderr.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "command.h"
#include "lists/batch_rows.h"
#include "lists/files.h"
#include "lists/list_input.h"
#include "runtime/types.h"

namespace stdlookup::cli {

// "[####----] 3/8  GB 2760  剩余 00:04" on a terminal's stderr, redrawn in place.
class Progress {
 public:
  Progress(int total, bool shown);
  void show(int done, const std::string& current);
  void finish();

 private:
  using clock = std::chrono::steady_clock;
  int total_;
  bool shown_;
  clock::time_point start_;
};

}  // namespace stdlookup::cli

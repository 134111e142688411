// The batch's lookups as both ways of keeping their rows use them: into an --output file or
// stdout, and into the user's own list (--update).
#pragma once

#include <functional>
#include <vector>

#include "command.h"
#include "lists/compare.h"
#include "lists/input.h"
#include "lists/list_input.h"
#include "lookup/batch.h"

namespace stdlookup::cli {

// Looks up the lines of `given` at the indices `todo` (in that order), each row to `on_row` as
// it completes. Ctrl-C (or a request to end) stops the run after the line in flight.
class Batch {
 public:
  Batch(const Options& options, const GivenLines& given) : options_(options), given_(given) {}
  void run(const std::vector<int>& todo, const std::function<void(int line, OutputRow)>& on_row);
  bool any_failed() const { return any_failed_; }
  // Whether the run was stopped before its last line.
  static bool interrupted();
  // What a line is looked up as: the line itself, or with --normalize its cleaned-up number.
  std::string query_of(int line) const;
  bool normalizes() const { return options_.normalize; }

 private:
  Text line_to_look_up(int line) const;
  OutputRow output_row(int line, const BatchRow& looked_up) const;

  const Options& options_;
  const GivenLines& given_;
  bool any_failed_ = false;
};

// The indices first … last - 1.
std::vector<int> line_range(int first, int last);

// Prints the change report; true when a line's standard is 作废 and was not known so before.
bool report_changes(const ChangeReport& report, const Options& options);

// The exit code of a batch that ran to its end (or was interrupted) and kept its rows.
int batch_exit_code(const Batch& batch, bool newly_abolished);

}  // namespace stdlookup::cli

// Where a batch's rows go besides stdout: a file named by --output (.xlsx, .csv or .json), and
// the progress line on stderr.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "command.h"
#include "list_input.h"
#include "runtime/types.h"

namespace stdlookup::cli {

// Why the rows could not go to --output `path`, found before the first lookup: an unknown
// extension, a missing folder, one that may not be written to, a target that is a folder. The
// message for stderr; "" when a file can be made there.
std::string output_problem(const std::string& path);

// "the list is open in …: close it first" when a spreadsheet program has `path` open, told by
// the lock file it keeps beside it (LibreOffice's ".~lock.NAME#", Excel's and WPS's "~$NAME"),
// beside a link's file too; "" when none has.
std::string open_elsewhere(const std::string& path);

// Writes the rows atomically, the format by the extension; the reason (GBK) when it could not.
// Cells cut to a workbook's limit are warned of with cut_cell_warning.
Text write_output(const std::vector<OutputRow>& rows, const std::string& path);

// The warning for the text of `query`'s row in `path` cut to a workbook cell's limit.
std::string cut_cell_warning(const std::string& path, int row, const std::string& query);

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

// The files a run writes: whether one can be written where it is asked for, whether a
// spreadsheet program holds the list open, and the warning for a cell cut to fit.
#pragma once

#include <string>

#include "workbook/result.h"

namespace stdlookup::lists {

// Why the rows could not go to --output `path`, found before the first lookup: an unknown
// extension, a missing folder, one that may not be written to, a target that is a folder; the
// message for stderr.
[[nodiscard]] workbook::Status output_problem(const std::string& path);

// "the list is open in …: close it first" when a spreadsheet program has `path` open, told by
// the lock file it keeps beside it (LibreOffice's ".~lock.NAME#", Excel's and WPS's "~$NAME"),
// beside a link's file too.
[[nodiscard]] workbook::Status open_elsewhere(const std::string& path);

// The warning for the text of `query`'s row in `path` cut to a workbook cell's limit.
std::string cut_cell_warning(const std::string& path, int row, const std::string& query);

}  // namespace stdlookup::lists

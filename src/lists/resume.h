// What an update run into OUT keeps beside it for --resume, and what it checks before the first
// lookup. Texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "lists/compare.h"
#include "lists/user_list.h"
#include "workbook/result.h"

namespace stdlookup::lists {

using workbook::Result;
using workbook::Status;

// The record of a run into `out`: made before the first lookup, removed once every line is
// looked up, so that only a run interrupted or with failed requests leaves one. `done[i]`: line i
// was looked up.
[[nodiscard]] Status write_resume_record(const std::string& out,
                                         const std::vector<UserListLine>& lines,
                                         const std::vector<bool>& done);
void remove_resume_record(const std::string& out);

// Where an interrupted run into `out` stopped: which of `lines` (the list's) it looked up and,
// from a copy, the results it holds for them.
struct Resumed {
  std::vector<bool> done;
  std::vector<std::optional<ResultValues>> results;
  std::size_t count = 0;  // lines done
  bool recorded = false;  // false: no record, the last run ran to its end
};
// `list` and `out` may be the same file; a copy is opened with `column` and `sheet` too. An
// `out` not written yet resumes nothing.
Result<Resumed> resume_update(const std::string& list, const std::string& out,
                              const std::string& column, const std::string& sheet,
                              const std::vector<UserListLine>& lines);

// Where the results go, checked before the first lookup: the folder, the file (read-only, other
// hard links), the record's folder, and no spreadsheet program holding it open.
[[nodiscard]] Status update_target_problem(const std::string& out);

// Where each line is in the list: its row, and with `label` that row's cell, read as the batch
// reads the list (the same lines in the same order).
Result<std::vector<Place>> places_of(const std::string& list, const std::string& column,
                                     const std::string& sheet, const std::string& label,
                                     const std::vector<UserListLine>& lines);

}  // namespace stdlookup::lists

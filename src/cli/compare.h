// What changed between an earlier export and this run: the report a monthly check is about.
#pragma once

#include <string>
#include <vector>

#include "list_input.h"

namespace stdlookup::cli {

struct Change {
  ListRow before;  // empty for a number added to the list
  ListRow now;     // empty for a number gone from it
};

struct ChangeReport {
  std::vector<Change> newly_abolished;  // 作废 now, something else before
  std::vector<Change> newly_current;    // 现行 now, 作废 before
  std::vector<Change> details_changed;  // same status, another name or date
  std::vector<Change> newly_failed;     // 查询失败 now, answered before
  std::vector<Change> added;
  std::vector<Change> gone;
  int unchanged = 0;
};

// Rows are matched by their normalised query (the number where the file has no query); rows
// without one cannot be matched and are left out. A number listed twice counts once.
ChangeReport compare_lists(const std::vector<ListRow>& before, const std::vector<ListRow>& now);

}  // namespace stdlookup::cli

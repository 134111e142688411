// What changed between an earlier export and this run: the report a monthly check is about.
#pragma once

#include <string>
#include <vector>

#include "lists/list_input.h"

namespace stdlookup::lists {

// Where a line is in the user's list: the sheet row, CSV record or line number (1-based; 0 when
// unknown) and, with --label, that row's cell of the label column.
struct Place {
  int row = 0;
  std::string label;
};

struct Change {
  ListRow before;  // empty for a line added to the list
  ListRow now;     // empty for a line gone from it
  Place place;     // of the line now; none for a line gone
};

struct ChangeReport {
  std::vector<Change> newly_abolished;  // 作废 now, not known as 作废 before
  std::vector<Change> added_abolished;  // a line added to the list, 作废 already
  std::vector<Change> newly_current;    // 现行 now, 作废 before
  std::vector<Change> details_changed;  // another status, name or date
  std::vector<Change> newly_failed;     // 查询失败 now, answered before
  std::vector<Change> added;
  std::vector<Change> gone;
  int unchanged = 0;

  // Whether a line's standard is 作废 and was not known so before: exit status 3.
  bool abolished() const { return !newly_abolished.empty() || !added_abolished.empty(); }
};

// The report line by line: each line of `now` (the list, in order; `places` beside it, or
// empty) is matched with a row of `before` by its number, a number listed twice with two rows.
// Numbers are compared normalised; a line without the year matches the row of that number with
// one ("GB 2760" and "GB 2760-2014"), as the service answers it.
ChangeReport compare_lists(const std::vector<ListRow>& before, const std::vector<ListRow>& now,
                           const std::vector<Place>& places);

// The report of lines already paired (what the list held and what it holds now); a change with
// an empty `before` is a line added.
ChangeReport report_of(const std::vector<Change>& changes);

}  // namespace stdlookup::lists

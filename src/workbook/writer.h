// The workbook-writer component the export drives: one application with one workbook, cells
// addressed by range texts ("a1"), a number format and a value per range, then "save as".
// It writes an Office Open XML workbook with libxlsxwriter, on Linux and on Windows alike, with
// or without a look of its own (WorkbookLook).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/types.h"
#include "workbook/cell.h"

namespace stdlookup::workbook {

// What a failed save reports: a reason for the user (GBK). ok() when there is none.
struct SaveResult {
  Text failure_reason;
  std::vector<int> cut_rows = {};  // sheet rows (1-based, ascending) with a cell cut to the limit
  bool ok() const { return failure_reason.empty(); }
};

class WorkbookWriter {
 public:
  virtual ~WorkbookWriter() = default;

  // The application: created (replacing any earlier one), quit and released.
  virtual bool create_application() = 0;
  virtual void quit_application() = 0;
  virtual void release_application() = 0;

  // The workbook of that application: false when there is no application.
  virtual bool create_workbook() = 0;
  virtual void activate() = 0;
  virtual void set_current_worksheet(int index) = 0;  // 1-based
  virtual void set_range_start(std::string_view cell) = 0;
  virtual void set_range_end(std::string_view cell) = 0;        // makes start:end the current range
  virtual void set_number_format(std::string_view format) = 0;  // GBK, of the current range
  // GBK, of the current range; a text over kCellCharacterLimit is cut to it.
  virtual void set_value(std::string_view text) = 0;
  // `path` is a native file path. The file at `path` is replaced only by a complete, checked
  // workbook; on failure it is left as it was.
  virtual SaveResult save_as(const Text& path) = 0;
  virtual void close_workbook() = 0;
  virtual void release_workbook() = 0;
};

// How a workbook looks beyond its cells' values and number formats. The window's export writes
// nothing else (plain); the command line's workbooks are for reading at a glance (readable): a
// bold, frozen header row with a filter, columns as wide as their content, and a row whose
// 是否作废 says the standard is abolished, or that it could not be looked up, in a colour.
enum class WorkbookLook { plain, readable };

// What the readable look colours: a row whose last cell is `abolished`, or one of `unanswered`
// (UTF-8).
struct RowMarks {
  std::string abolished;
  std::vector<std::string> unanswered;
};

std::unique_ptr<WorkbookWriter> make_xlsx_workbook_writer(WorkbookLook look = WorkbookLook::plain,
                                                          RowMarks marks = {});

// A row of the four text cells our workbooks hold (GBK).
using WorkbookRow = std::array<Text, 4>;

// The one row writer: `header` in sheet row 1, then `row_count` rows from `row` (0-based) in
// rows 2, 3, …, every cell a text cell, through `writer`, saved to `path` (native);
// `before_row` runs before each row (the window processes its messages there).
SaveResult write_rows(WorkbookWriter& writer, const WorkbookRow& header, int row_count,
                      const std::function<WorkbookRow(int row)>& row, const Text& path,
                      const std::function<void()>& before_row = {});

}  // namespace stdlookup::workbook

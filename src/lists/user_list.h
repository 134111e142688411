// The user's own list (a workbook or a CSV file) with the results written into it: on the
// sheet and in the rows the numbers came from, every other cell, sheet and style kept. Texts are
// UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "workbook/result.h"

namespace stdlookup::lists {

using workbook::Result;
using workbook::Status;

// The result columns, found by their header or appended after the last used column with the
// first of these headers.
struct ResultValues {
  std::string chinese_name;         // 标准中文名 / 标准名称
  std::string implementation_date;  // 实施日期
  std::string status;               // 是否作废 / 状态
  std::string lookup_date;          // 查询日期, "YYYY-MM-DD"
};

// One number of the list, in list order: the same numbers, in the same order, as the batch
// reads from that file with the same --column.
struct UserListLine {
  std::string number;
  int row = 0;          // 1-based: the sheet row, or the CSV record (the header is 1)
  ResultValues before;  // what its result columns held; "" where a column is absent
};

class UserList {
 public:
  virtual ~UserList() = default;
  virtual const std::vector<UserListLine>& lines() const = 0;
  // Writes the list with `results[i]` in the result columns of lines()[i] (a line without a
  // result keeps its cells) to `out`, which may be the list itself. The file at `out` is
  // replaced atomically, and only by a file that was read back and checked.
  // A line marked in `failed` was asked this run without an answer: its cells keep their values
  // but lose an earlier run's highlight, so that the highlight shows this run's changes only.
  virtual Status write(const std::vector<std::optional<ResultValues>>& results,
                       const std::string& out, const std::vector<bool>& failed = {}) const = 0;
};

// Cuts each text over a workbook cell's limit as the export cuts it (UTF-16 units, ending in
// "…"), so that a spreadsheet program opening the list shows what was written; whether any was.
bool cut_result_to_cell_limit(ResultValues& result);

// A list opened for updating, or why it cannot be updated faithfully.
using OpenedList = Result<std::unique_ptr<UserList>>;

// A workbook (.xlsx, .xlsm): changed result cells get a highlight fill, appended headers our
// header look; untouched package parts are copied byte for byte. `sheet` as for
// read_xlsx_table.
OpenedList open_user_workbook(const std::string& path, const std::string& column,
                              const std::string& sheet = {});
// A CSV list: quoting, encoding (UTF-8 with or without BOM, GBK, UTF-16 with BOM) and line ends
// kept.
OpenedList open_user_csv(const std::string& path, const std::string& column);
// Either, by what the file is (list_kind); a plain list of lines cannot be updated.
OpenedList open_user_list(const std::string& path, const std::string& column,
                          const std::string& sheet);

}  // namespace stdlookup::lists

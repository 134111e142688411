// Reading the user's own lists: the numbers column of a workbook (.xlsx) or a CSV file, and the
// rows of an earlier export of ours (.xlsx, .csv or .json) for comparing. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace stdlookup::cli {

// A sheet or CSV file as rows of cell texts. Shared strings, inline strings and numbers all come
// out as the text the cell shows unformatted; missing cells are empty.
struct Table {
  std::vector<std::vector<std::string>> rows;
  std::string error;  // what made the file unreadable; empty when it was read
};

Table read_xlsx_table(const std::string& path);  // the first worksheet
Table read_csv_table(std::string_view content);  // RFC 4180; a byte-order mark is dropped

// A cell reference's column ("BC12" → 54), 0-based; -1 when it starts with no capital letter.
int column_of_reference(std::string_view reference);
struct NumberList {
  std::vector<std::string> numbers;
  std::string error;
};

// The numbers of `table`'s column `column` (letters "A", "ab", or a header text; empty: the
// first column headed "标准号", else the first column). The header row is skipped, and so are
// empty cells.
NumberList numbers_of(const Table& table, std::string_view column);

// One row of a list as our exports write it.
struct ListRow {
  std::string query;  // the line that was looked up, where the file has it (JSON), else number
  std::string number;
  std::string chinese_name;
  std::string implementation_date;
  std::string status;
};

struct ListRows {
  std::vector<ListRow> rows;
  std::string error;
};

// An earlier export of ours, by its extension.
ListRows read_export(const std::string& path);

}  // namespace stdlookup::cli

// Reading the user's own lists: the numbers column of a workbook (.xlsx) or a CSV file, and the
// rows of an earlier export of ours (.xlsx, .csv or .json) for comparing. Texts are UTF-8.
//
// Every reader is bounded, whatever the file claims: files over a size limit are refused, a
// workbook's parts are inflated in chunks against a cap on their size and on their inflation
// ratio, cells lie within a sheet's 1,048,576 rows and 16,384 columns, and of the rows after the
// header only the columns asked for are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace stdlookup::cli {

inline constexpr std::size_t kSheetRows = 1'048'576;
inline constexpr std::size_t kSheetColumns = 16'384;
// What a cell keeps: a workbook cell holds at most 32,767 characters, 4 bytes each in UTF-8.
inline constexpr std::size_t kCellBytes = 32'767 * 4;
// All kept cells together (their text and what each row and cell costs besides), and all shared
// strings of a workbook.
inline constexpr std::size_t kTableBytes = 64u << 20;
inline constexpr std::size_t kSharedStrings = 2'000'000;
// Files: a workbook, a CSV list or export, a JSON export.
inline constexpr std::uint64_t kWorkbookFileBytes = 64u << 20;
inline constexpr std::uint64_t kCsvFileBytes = 512u << 20;
inline constexpr std::uint64_t kJsonFileBytes = 64u << 20;
// A workbook part inflates to at most this, and to at most kInflationRatio times the workbook's
// size (but kSmallPartBytes always).
inline constexpr std::uint64_t kPartBytes = 128u << 20;
inline constexpr std::uint64_t kSmallPartBytes = 8u << 20;
inline constexpr std::uint64_t kInflationRatio = 100;

// A sheet or CSV file: its first row whole, and of the later rows the cells of the columns
// picked from that first row, in the order picked (rows whose picked cells are all empty are
// left out). Shared strings, inline strings and numbers all come out as the text the cell shows
// unformatted; missing cells are empty.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::string error;                     // what made the file unreadable; empty when it was read
  std::vector<std::size_t> row_indices = {};  // each row's place in the sheet or file, 0-based
};

// Chooses the columns to keep from the header row; sets `error` when it cannot.
using ColumnPick = std::function<std::vector<std::size_t>(const std::vector<std::string>& header,
                                                          std::string& error)>;
// The columns `first` to `first + count - 1`.
ColumnPick columns(std::size_t first, std::size_t count);

Table read_xlsx_table(const std::string& path, const ColumnPick& pick);  // the first worksheet
Table read_xlsx_bytes(std::string_view bytes, const ColumnPick& pick);   // a workbook read already
// RFC 4180; a byte-order mark is dropped.
Table read_csv_table(std::string_view content, const ColumnPick& pick);

// The CSV grammar every reader of ours shares, leniently RFC 4180: outside a quoted stretch a
// comma ends a field and CR, LF or CRLF a record; a quote anywhere in a field opens or closes a
// stretch. From `at` on, `on_field` gets each field's raw bytes [begin, end) (quotes kept) with
// its 0-based record and column, then `on_record` the record's line end [end, next). Either
// returning false stops the scan. Text after the last line end is a record; none is no record.
void scan_csv(std::string_view text, std::size_t at,
              const std::function<bool(std::size_t record, std::size_t column, std::size_t begin,
                                       std::size_t end)>& on_field,
              const std::function<bool(std::size_t end, std::size_t next)>& on_record);
// A field's text from its raw bytes: quotes taken away, a doubled quote inside a quoted stretch
// made one. Past `limit` bytes no more are added (one more than it tells it was longer).
std::string csv_unquoted(std::string_view raw, std::size_t limit = std::string::npos);

// `text` without the blanks (space, tab, CR, LF) around it, as headers are compared.
std::string_view trim_blanks(std::string_view text);

// A cell reference's column ("BC12" → 54), 0-based; -1 when it starts with no capital letter or
// names a column past the sheet's last (XFD).
int column_of_reference(std::string_view reference);

// The numbers column of a list: letters "A", "ab", or a header text; empty: the first column
// headed "标准号", else the first column.
ColumnPick numbers_column(std::string_view column);

// numbers_column's pick, then the column `label` names (letters or a header) as the second.
ColumnPick with_label(ColumnPick numbers, std::string_view label);

struct NumberList {
  std::vector<std::string> numbers;
  std::vector<int> rows;            // each number's sheet row or CSV record, 1-based
  std::vector<std::string> labels;  // read with_label: the label column's cell on that row
  std::string error;
};

// The numbers of a table read with numbers_column (or with_label): the cells that are not blank.
NumberList numbers_of(const Table& table);

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
  // A JSON or CSV export that ends within a row, as a torn copy does: rows holds those before
  // it (a CSV file's last row too, in case no line end was ever meant to follow it).
  bool cut_short = false;
};

// ".xlsx" for "list.XLSX"; "" when there is none. Lists and exports are read by it.
std::string extension_of(const std::string& path);

// An earlier export of ours, by its extension.
ListRows read_export(const std::string& path);
// The same from content already read: a JSON or CSV export.
ListRows read_json_export(std::string_view content);
ListRows read_csv_export(std::string_view content);

}  // namespace stdlookup::cli

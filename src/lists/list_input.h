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

#include "workbook/cell.h"
#include "workbook/package.h"
#include "workbook/result.h"

namespace stdlookup::lists {

using namespace workbook;
using workbook::Result;

// All kept cells together (their text and what each row and cell costs besides).
inline constexpr std::size_t kTableBytes = 64u << 20;
// Files: a CSV list or export, a JSON export (a workbook: kWorkbookFileBytes).
inline constexpr std::uint64_t kCsvFileBytes = 512u << 20;
inline constexpr std::uint64_t kJsonFileBytes = 64u << 20;

// The header row is looked for in a list's first rows; they are kept whole until it is found.
inline constexpr std::size_t kHeaderRows = 10;
inline constexpr std::size_t kNoHeader = static_cast<std::size_t>(-1);

// Where a table's header row is (0-based; kNoHeader: none, the rows are data from the first on)
// and which columns to keep; `named`: the columns were found by their header.
struct Layout {
  std::size_t header_row = 0;
  std::vector<std::size_t> columns;
  bool named = true;
};

// A sheet or CSV file: its header row whole, and of the rows after it the cells of the columns
// picked, in the order picked (rows whose picked cells are all empty are left out). Shared
// strings, inline strings and numbers all come out as the text the cell shows unformatted;
// missing cells are empty. A sheet or file without cells has no columns picked.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::size_t header_row = 0;
  std::vector<std::size_t> columns;
  std::string sheet_part;                // of a workbook: the worksheet read
  std::vector<std::size_t> row_indices;  // each row's place in the sheet or file, 0-based
};

// Chooses the header row and the columns to keep from the first rows (at most kHeaderRows, each
// as far as it has cells); a failure when it cannot.
using ColumnPick =
    std::function<Result<Layout>(const std::vector<std::vector<std::string>>& first_rows)>;
// The columns `first` to `first + count - 1`, under a header in the first row.
ColumnPick columns(std::size_t first, std::size_t count);

// A workbook's list sheet: `sheet` names it (by name, else by its 1-based place); "" the only
// sheet whose first rows hold the column `pick` looks for (an error when none or several do).
Result<Table> read_xlsx_table(const std::string& path, const ColumnPick& pick,
                              const std::string& sheet = {});
Result<Table> read_xlsx_bytes(std::string_view bytes, const ColumnPick& pick,
                              const std::string& sheet = {});  // a workbook read already
// A workbook opened for reading its list: the archive over its bytes (which must outlive it),
// the book and the shared strings.
struct OpenedWorkbook {
  Archive archive;
  std::uint64_t limit = 0;  // what a part may inflate to
  Book book;
  SharedStrings strings;
};
Result<OpenedWorkbook> open_workbook(std::string_view bytes);
// The part of the list's sheet, chosen as read_xlsx_table chooses it.
Result<std::string> list_sheet(const OpenedWorkbook& book, const ColumnPick& pick,
                               const std::string& wanted);
// The header row and columns `pick` chooses from the first rows of a sheet held whole.
Result<Table> first_rows(std::string_view sheet, const SharedStrings& strings,
                         const ColumnPick& pick);
// RFC 4180 on UTF-8; a byte-order mark is dropped.
Result<Table> read_csv_table(std::string_view content, const ColumnPick& pick);

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

// Whether a cell reads as a standard number: a letter prefix ("GB/T", "T/CCAA") and digits.
bool looks_like_standard_number(std::string_view text);

// The numbers column of a list: letters "A", "ab", or a header text; empty: the column headed
// 标准号, 标准编号, 执行标准 or 标准代号. The header row is the first of the first rows with that
// header (with letters: any of those or of the result headers); without one, the first standard
// number found in the first rows gives the column, and the row above it that names it, if any, is
// the header. Neither: an error naming the headers seen.
ColumnPick numbers_column(std::string_view column);

// The supported encodings of a text list: UTF-16 by its byte-order mark, else UTF-8, else GBK.
enum class TextEncoding { utf8, gbk, utf16le, utf16be };
// Which of them `bytes` are in; a failure when none (NUL bytes, or valid in none of them).
Result<TextEncoding> encoding_of(std::string_view bytes);
// UTF-16 (the byte-order mark becomes U+FEFF) to UTF-8; a failure on an unpaired surrogate.
Result<std::string> utf16_to_utf8(std::string_view bytes, bool big_endian);
std::string utf8_to_utf16(std::string_view utf8, bool big_endian);
// A text list as UTF-8 (a byte-order mark kept as U+FEFF).
Result<std::string> list_text_utf8(std::string bytes);

// What a list file is, by its first bytes and then its name: a zip (or an OLE file: an .xls or a
// workbook with a password) is a workbook whatever its name.
enum class ListKind { workbook, csv, text };
ListKind list_kind(const std::string& name, std::string_view bytes);

// numbers_column's pick, then as the second column the one `label` names: by letters, or by its
// header in the header row the numbers' pick chose.
ColumnPick with_label(ColumnPick numbers, std::string_view label);

struct NumberList {
  std::vector<std::string> numbers;
  std::vector<int> rows;            // each number's sheet row or CSV record, 1-based
  std::vector<std::string> labels;  // read with_label: the label column's cell on that row
};

// The numbers of a table read with numbers_column (or with_label): the cells that are not blank.
NumberList numbers_of(const Table& table);
// The numbers of a workbook or CSV list read whole (`kind` not text), in list order.
// With `label`, each number's label too (see with_label).
Result<NumberList> read_list_numbers(std::string bytes, ListKind kind, const std::string& column,
                                     const std::string& sheet, const std::string& label = {});

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
  // A JSON or CSV export that ends within a row, as a torn copy does: rows holds those before
  // it (a CSV file's last row too, in case no line end was ever meant to follow it).
  bool cut_short = false;
};

// ".xlsx" for "list.XLSX"; "" when there is none. Lists and exports are read by it.
std::string extension_of(const std::string& path);

// An earlier export of ours, by its extension. A JSON export cut short is a failure unless
// `torn` may be (--resume goes on from one).
Result<ListRows> read_export(const std::string& path, bool torn = false);
// The same from content already read: a JSON or CSV export.
Result<ListRows> read_json_export(std::string_view content, bool torn = false);
Result<ListRows> read_csv_export(std::string_view content);

}  // namespace stdlookup::lists

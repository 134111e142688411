// Editing the XML of a workbook's parts in place: the parts are read once into maps of where
// their elements lie, and edits replace or insert bytes at those places, so that every byte not
// edited stays as it was. Texts are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/cell.h"
#include "workbook/result.h"
#include "workbook/styles.h"
#include "workbook/xml.h"

namespace stdlookup::workbook {

inline constexpr std::size_t kResultColumns = 4;  // name, date, status, lookup date
// The headers each result column is found by ("" none); a column appended gets the first.
using ResultHeaders = std::array<std::array<std::string_view, 2>, kResultColumns>;

// A replacement of the bytes [begin, end) (an insertion when they are equal).
struct Splice {
  std::size_t begin = 0, end = 0;
  std::string text;
};
// `original` with the splices applied; they must not overlap, and those at one place are applied
// in the order given.
std::string apply_splices(std::string_view original, std::vector<Splice> splices);

// `tag` (the text between "<" and ">") with attribute `name` set to `value` (added when absent).
std::string with_attribute(std::string_view tag, std::string_view name, std::string_view value);
// The value of attribute `name` in `tag` as written, references unresolved; "" when absent.
std::string tag_attribute(std::string_view tag, std::string_view name);
// The start tag of `element` in `part` between "<" and ">", without a self-closing one's "/".
std::string tag_text(std::string_view part, const XmlElement& element);

// A cell of the first worksheet in a row we may write to.
struct CellSpot {
  bool present = false;
  std::size_t begin = 0, end = 0;  // the <c> element; where it would go when absent
  std::size_t tag_end = 0;         // the end of its start tag
  int style = -1;                  // its s, -1 when none
  bool formula = false, shared_master = false;
  std::string value;  // what it shows unformatted, a date as YYYY-MM-DD
};

struct SheetRow {
  std::size_t row = 0;  // 1-based
  bool present = false;
  std::size_t tag_begin = 0, tag_end = 0;  // the <row> start tag; where it goes when absent
  bool self_closing = false;
  std::string tag;  // between "<" and ">", without a closing "/"
  int style = -1;   // the row's style when it has one (customFormat)
  std::string number;
  std::array<CellSpot, kResultColumns> results;
};

struct ColumnRange {
  std::size_t first = 0, last = 0;  // 0-based
  std::string tag;                  // between "<" and ">"
};

// Where the list sheet's parts lie, and the cells of its header row and of the rows with a
// number below it.
struct SheetMap {
  std::string prefix;  // the prefix of the sheet's elements ("x:"), usually none
  std::size_t sheet_data_begin = 0, sheet_data_end = 0;  // the <sheetData> start tag
  bool sheet_data_empty = false;                         // <sheetData/>
  bool has_dimension = false;
  std::size_t dimension_begin = 0, dimension_end = 0;
  std::string dimension_tag;
  bool dimension_self_closing = true;
  bool has_cols = false;
  std::size_t cols_begin = 0, cols_end = 0;  // <cols> … </cols>
  std::vector<ColumnRange> cols;
  std::size_t last_used_column = 0;  // 1 + the last column holding a cell or a merged area, or 0
  std::size_t header_row = 1;        // 1-based
  std::size_t number_column = 0;
  std::array<int, kResultColumns> result_column{-1, -1, -1, -1};  // found by header; -1 absent
  SheetRow header;
  std::vector<SheetRow> lines;  // rows after the header with a number, in order
  std::vector<Area> merged, array_formulas;
};

// Reads the sheet, its header in `header_row` (1-based; rows above it are left alone), its result
// columns by `headers` and its numbers in `number_column`; `strings` the shared strings.
class SharedStrings;
Result<SheetMap> map_sheet(std::string_view sheet, const SharedStrings& strings,
                           const StyleInfo& styles, const ResultHeaders& headers,
                           std::size_t header_row, std::size_t number_column);

// What to write into one result cell: `value` (empty: no value), highlighted when it changed.
// `restore`: a cell our earlier update highlighted gets its own look back unless highlighted now.
struct CellWrite {
  bool write = false;
  bool highlight = false;
  std::string value;
  bool restore = false;
};
using RowWrites = std::array<CellWrite, kResultColumns>;

// The sheet with `writes[i]` in the result cells of map.lines[i], the result columns that have no
// header appended under the first of `headers` (bold, widths to fit), <dimension> widened.
struct EditedSheet {
  std::string text;
  bool formula_replaced = false;  // a formula was written over
};
EditedSheet edit_sheet(std::string_view sheet, const SheetMap& map,
                       const std::vector<RowWrites>& writes, const ResultHeaders& headers,
                       StylesEditor& styles);
// The column a result kind is written to.
std::size_t result_column_of(const SheetMap& map, std::size_t kind);

}  // namespace stdlookup::workbook

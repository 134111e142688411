// Reading a sheet's map for the edit, through the one sheet walk: where its parts lie, the header
// row's cells and those of the rows with a number below it.
#include <algorithm>

#include "runtime/i18n.h"
#include "runtime/text.h"
#include "workbook/sheet_edit.h"
#include "workbook/sheet_walk.h"

namespace stdlookup::workbook {
namespace {

// The map as the walk reports the sheet's elements, rows and cells.
class SheetMapper final : public SheetVisitor {
 public:
  SheetMapper(std::string_view sheet, const StyleInfo& styles, const ResultHeaders& headers,
              SheetMap& map)
      : sheet_(sheet), styles_(styles), headers_(headers), map_(map) {}

  bool wants(std::size_t row, std::size_t column) override {
    return row == map_.header_row || column == map_.number_column ||
           std::find(map_.result_column.begin(), map_.result_column.end(),
                     static_cast<int>(column)) != map_.result_column.end();
  }
  void damaged(std::string why) override { fail(std::move(why)); }
  void element(const XmlElement& element, std::size_t depth) override;
  void end_element(const XmlElement& element, std::size_t depth) override;
  void row(const XmlElement& element, std::size_t number) override;
  void end_row(const XmlElement&) override;
  void cell(SheetCell& cell) override;
  void finish();

 private:
  void fail(std::string why) {
    if (error.empty()) error = std::move(why);
  }

 public:
  std::string error;  // the first reason the sheet cannot be edited faithfully

 private:
  void sheet_part(const XmlElement& element, bool self_closing);
  void place(SheetRow& row, std::size_t column, CellSpot& cell);
  void finish_header(std::size_t before);
  void check_result_cells();

  std::string_view sheet_;
  const StyleInfo& styles_;
  const ResultHeaders& headers_;
  SheetMap& map_;
  bool in_cols_ = false, in_row_ = false, header_done_ = false;
  std::size_t next_row_ = 1, next_column_ = 0;
  SheetRow row_;
  std::vector<std::pair<std::size_t, CellSpot>> header_cells_;
};

void SheetMapper::element(const XmlElement& element, std::size_t depth) {
  const std::string_view name = element.name;
  if (depth == 0) {
    if (is_strict(element.uri))
      fail(tr("saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)"));
  } else if (depth == 1) {
    sheet_part(element, sheet_[element.end - 2] == '/');
  } else if (depth == 2 && name == "col" && in_cols_) {
    const std::size_t first = number_of(element.attribute("min"), 0);
    const std::size_t last = number_of(element.attribute("max"), 0);
    if (first < 1 || last < first || last > kSheetColumns) return fail(tr(kDamaged));
    map_.cols.push_back({first - 1, last - 1, tag_text(sheet_, element)});
  } else if (depth == 2 && name == "mergeCell") {
    Area area;
    if (parse_area(element.attribute("ref"), area)) map_.merged.push_back(area);
  }
}

void SheetMapper::sheet_part(const XmlElement& element, bool self_closing) {
  if (element.name == "dimension") {
    map_.has_dimension = true;
    map_.dimension_begin = element.begin, map_.dimension_end = element.end;
    map_.dimension_tag = tag_text(sheet_, element);
    map_.dimension_self_closing = self_closing;
  } else if (element.name == "cols") {
    map_.has_cols = in_cols_ = true;
    map_.cols_begin = element.begin, map_.cols_end = element.end;
  } else if (element.name == "sheetData") {
    if (map_.sheet_data_end != 0) return fail(tr(kDamaged));  // a sheet has one
    map_.prefix = element.prefix.empty() ? "" : std::string(element.prefix) + ":";
    map_.sheet_data_begin = element.begin, map_.sheet_data_end = element.end;
    map_.sheet_data_empty = self_closing;
  }
}

void SheetMapper::end_element(const XmlElement& element, std::size_t depth) {
  if (depth != 1) return;
  if (element.name == "cols") {
    map_.cols_end = element.end;
    in_cols_ = false;
  } else if (element.name == "sheetData" && !header_done_) {
    // A missing header row goes before the first row after it, here at the end.
    finish_header(element.begin);
  }
}

void SheetMapper::row(const XmlElement& element, std::size_t number) {
  if (number > kSheetRows) return fail(tr("a row lies beyond the sheet's last"));
  if (number < next_row_) return fail(tr("the rows of the sheet are out of order"));
  next_row_ = number + 1;
  next_column_ = 0;
  if (number > map_.header_row && !header_done_) finish_header(element.begin);
  row_ = SheetRow{};
  row_.row = number;
  row_.present = true;
  row_.tag_begin = element.begin, row_.tag_end = element.end;
  row_.self_closing = sheet_[element.end - 2] == '/';
  row_.tag = tag_text(sheet_, element);
  const std::string_view custom = element.attribute("customFormat");
  if (custom == "1" || custom == "true")
    row_.style = static_cast<int>(number_of(element.attribute("s"), 0));
  for (CellSpot& spot : row_.results) spot.begin = spot.end = element.end;
  in_row_ = true;
}

void SheetMapper::end_row(const XmlElement&) {
  if (!in_row_) return;
  in_row_ = false;
  if (row_.row == map_.header_row) {
    map_.header = std::move(row_);
  } else if (row_.row > map_.header_row && !trim_blanks(row_.number).empty()) {
    map_.lines.push_back(std::move(row_));
  }
}

void SheetMapper::cell(SheetCell& cell) {
  if (!in_row_) return;
  if (cell.column >= kSheetColumns)
    return fail(tr("a cell lies beyond the sheet's last column (XFD)"));
  if (cell.column < next_column_)
    return fail(tr("the cells of row {1} are out of order", {std::to_string(row_.row)}));
  next_column_ = cell.column + 1;
  map_.last_used_column = std::max(map_.last_used_column, next_column_);
  if (cell.array_formula) map_.array_formulas.push_back(*cell.array_formula);
  CellSpot spot;
  spot.present = true;
  spot.begin = cell.begin, spot.tag_end = cell.tag_end, spot.end = cell.end;
  spot.style = cell.style;
  spot.formula = cell.formula, spot.shared_master = cell.shared_master;
  spot.value = std::move(cell.text);
  // Dates show as YYYY-MM-DD, as a spreadsheet shows them; the numbers are compared as written.
  const auto style = static_cast<std::size_t>(cell.style);
  if (cell.number && cell.style >= 0 && style < styles_.date_style.size() &&
      styles_.date_style[style] && cell.column != map_.number_column) {
    if (std::string date = date_of_serial(spot.value, styles_.date1904); !date.empty())
      spot.value = date;
  }
  if (row_.row == map_.header_row && !header_done_) {
    header_cells_.emplace_back(cell.column, std::move(spot));
    return;
  }
  place(row_, cell.column, spot);
}

// Where the cell stands to the result columns of its row.
void SheetMapper::place(SheetRow& row, std::size_t column, CellSpot& cell) {
  if (row.row != map_.header_row && column == map_.number_column) row.number = cell.value;
  for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
    const int wanted = map_.result_column[kind];
    CellSpot& spot = row.results[kind];
    if (wanted < 0 || column < static_cast<std::size_t>(wanted)) {
      spot.begin = spot.end = cell.end;
    } else if (column == static_cast<std::size_t>(wanted)) {
      spot = cell;
    }
  }
}

// The result columns from the header row's cells; `before`: where a missing header row goes.
void SheetMapper::finish_header(std::size_t before) {
  header_done_ = true;
  if (!map_.header.present) map_.header.tag_begin = before;
  for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
    for (const auto& [column, cell] : header_cells_) {
      const std::string_view text = trim_blanks(cell.value);
      if (text.empty() || (text != headers_[kind][0] && text != headers_[kind][1])) continue;
      if (column == map_.number_column)
        return fail(tr("the numbers column is headed \"{1}\", a column the results go to",
                       {std::string(text)}));
      map_.result_column[kind] = static_cast<int>(column);
      break;
    }
  }
  SheetRow& target = map_.header.present ? map_.header : row_;
  for (auto& [column, cell] : header_cells_) place(target, column, cell);
  header_cells_.clear();
}

void SheetMapper::finish() {
  if (!error.empty()) return;
  if (!header_done_) finish_header(map_.sheet_data_end);
  for (const Area& area : map_.merged)
    map_.last_used_column = std::max(map_.last_used_column, area.last_column + 1);
  std::size_t appended = 0;
  for (int column : map_.result_column) appended += column < 0;
  if (map_.last_used_column + appended > kSheetColumns)
    return fail(tr("no room for the result columns after the last column (XFD)"));
  check_result_cells();
}

// Cells we would write must be ones a value can go into alone.
void SheetMapper::check_result_cells() {
  const auto check = [&](std::size_t row, const CellSpot& spot, std::size_t kind) {
    const std::size_t column = static_cast<std::size_t>(map_.result_column[kind]);
    const std::string where = column_letters(column) + std::to_string(row);
    for (const Area& area : map_.merged) {
      if (area.contains(row, column) && (area.first_row != row || area.first_column != column ||
                                         area.last_column != column || area.last_row != row))
        return fail(tr("result cell {1} lies in merged cells", {where}));
    }
    for (const Area& area : map_.array_formulas) {
      if (area.contains(row, column))
        return fail(tr("result cell {1} lies in an array formula's range", {where}));
    }
    if (spot.shared_master) fail(tr("a shared formula starts in result cell {1}", {where}));
  };
  for (const SheetRow& line : map_.lines) {
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      if (map_.result_column[kind] >= 0) check(line.row, line.results[kind], kind);
    }
  }
}

}  // namespace

Result<SheetMap> map_sheet(std::string_view sheet, const SharedStrings& strings,
                           const StyleInfo& styles, const ResultHeaders& headers,
                           std::size_t header_row, std::size_t number_column) {
  SheetMap map;
  map.header_row = header_row;
  map.number_column = number_column;
  SheetMapper mapper(sheet, styles, headers, map);
  if (!walk_sheet(sheet, strings, mapper).ok()) return failure(tr(kDamaged));
  if (mapper.error.empty() && map.sheet_data_end == 0)
    return failure(tr("the first sheet holds no cells"));
  mapper.finish();
  if (!mapper.error.empty()) return failure(mapper.error);
  return map;
}

}  // namespace stdlookup::workbook

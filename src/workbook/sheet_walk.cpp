#include "workbook/sheet_walk.h"

#include "runtime/text.h"

namespace stdlookup::workbook {
namespace {

// A row's number from its r: the next row without one, kBeyondRow for one that is no row.
std::size_t row_number(std::string_view r, std::size_t next) {
  if (r.empty()) return next;
  const std::size_t number = number_of(r, 0);
  return number >= 1 && number <= kSheetRows ? number : kBeyondRow;
}

}  // namespace

void SheetWalk::open(const XmlElement& element) {
  const std::size_t depth = depth_++;
  if (in_cell_ && depth >= 4) return open_in_cell(element);
  if (in_row_ && depth == 3 && element.name == "c") return open_cell(element);
  if (in_data_ && depth == 2 && element.name == "row") {
    const std::size_t row = row_number(element.attribute("r"), next_row_);
    next_row_ = row + 1;
    next_column_ = 0;
    in_row_ = true;
    cell_.row = row;
    return visitor_.row(element, row);
  }
  if (depth == 1 && element.name == "sheetData") in_data_ = true;
  if (!in_data_ || depth == 1) visitor_.element(element, depth);
}

void SheetWalk::open_cell(const XmlElement& element) {
  const std::string_view r = element.attribute("r");
  const int column = column_of_reference(r);
  const std::size_t row = cell_.row;
  cell_ = SheetCell();
  cell_.row = row;
  cell_.column = r.empty()     ? next_column_
                 : column >= 0 ? static_cast<std::size_t>(column)
                               : kSheetColumns;
  next_column_ = cell_.column + 1;
  cell_.begin = element.begin, cell_.tag_end = cell_.end = element.end;
  const std::string_view style = element.attribute("s");
  cell_.style = style.empty() ? -1 : static_cast<int>(number_of(style, 0));
  type_ = element.attribute("t");
  cell_.number = type_.empty() || type_ == "n";
  wanted_ = visitor_.wants(cell_.row, cell_.column);
  value_.clear();
  inline_.clear();
  in_cell_ = true;
}

void SheetWalk::open_in_cell(const XmlElement& element) {
  if (in_inline_) return inline_.open(element.name);
  if (element.name == "v") in_value_ = true;
  if (element.name == "is") in_inline_ = true;
  if (element.name != "f") return;
  cell_.formula = true;
  const std::string_view type = element.attribute("t"), ref = element.attribute("ref");
  if (type == "shared" && !ref.empty()) cell_.shared_master = true;
  Area area;
  if ((type == "array" || type == "dataTable") && parse_area(ref, area) &&
      (area.first_row != area.last_row || area.first_column != area.last_column))
    cell_.array_formula = area;
}

void SheetWalk::close(const XmlElement& element) {
  const std::size_t depth = --depth_;
  if (in_cell_ && depth >= 4) {
    if (depth > 4 && in_inline_) inline_.close(element.name);
    if (depth == 4) in_value_ = in_inline_ = false;
  } else if (in_cell_ && depth == 3) {
    close_cell(element);
  } else if (in_row_ && depth == 2) {
    in_row_ = false;
    visitor_.end_row(element);
  } else {
    if (depth == 1 && element.name == "sheetData") in_data_ = false;
    if (!in_data_ || depth == 1) visitor_.end_element(element, depth);
  }
}

void SheetWalk::close_cell(const XmlElement& element) {
  in_cell_ = in_value_ = in_inline_ = false;
  cell_.end = element.end;
  if (wanted_) {
    if (type_ == "s")
      cell_.text = strings_.at(number_of(value_, ~std::size_t{0}));
    else
      cell_.text = type_ == "inlineStr" ? inline_.take() : std::move(value_);
    // Text that is not UTF-8 would reach the outputs (JSON refuses it) as it is.
    cut_cell(cell_.text);
    if (!is_valid_utf8(cell_.text))
      return visitor_.damaged(tr("a cell that is not UTF-8 text (damaged?)"));
  }
  visitor_.cell(cell_);
}

void SheetWalk::text(std::string_view text) {
  if (!wanted_) return;
  if (in_value_) StringItem::append_capped(value_, text);
  if (in_inline_) inline_.text(text);
}

Status walk_sheet(std::string_view sheet, const SharedStrings& strings, SheetVisitor& visitor) {
  SheetWalk walk(strings, visitor);
  XmlReader reader(walk);
  constexpr std::size_t kChunk = 1 << 16;
  for (std::size_t at = 0; at < sheet.size(); at += kChunk) {
    if (Status fed = reader.feed(sheet.substr(at, kChunk)); !fed.ok()) return fed;
  }
  return reader.finish();
}

}  // namespace stdlookup::workbook

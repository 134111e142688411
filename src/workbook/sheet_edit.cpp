#include "workbook/sheet_edit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "runtime/i18n.h"
#include "runtime/text.h"
#include "workbook/package.h"
#include "workbook/writer.h"

namespace stdlookup::workbook {
namespace {

constexpr std::array<std::array<std::string_view, 2>, kResultColumns> kHeaderNames = {{
    {"标准中文名", "标准名称"},
    {"实施日期", ""},
    {"是否作废", "状态"},
    {"查询日期", ""},
}};

std::string reference(std::size_t row, std::size_t column) {
  return column_letters(column) + std::to_string(row);
}

// Reads the sheet's map as the reader reports its elements.
class SheetMapper final : public XmlHandler {
 public:
  SheetMapper(std::string_view sheet, const SharedStrings& strings, const StyleInfo& styles,
              std::size_t header_row, std::size_t number_column, SheetMap& map)
      : sheet_(sheet), strings_(strings), styles_(styles), header_row_(header_row), map_(map) {
    map_.header_row = header_row;
    map_.number_column = number_column;
  }

  void open(const XmlElement& element) override {
    const std::string_view name = element.name;
    const std::size_t depth = stack_.size();
    stack_.emplace_back(name);
    if (depth == 0) {
      if (is_strict(element.uri))
        fail(tr("saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)"));
      return;
    }
    const std::size_t begin = element.begin, end = element.end;
    const bool self_closing = sheet_[end - 2] == '/';
    if (depth == 1) {
      if (name == "dimension") {
        map_.has_dimension = true;
        map_.dimension_begin = begin, map_.dimension_end = end;
        map_.dimension_tag = tag_text(sheet_, element);
        map_.dimension_self_closing = self_closing;
      } else if (name == "cols") {
        map_.has_cols = true;
        map_.cols_begin = begin, map_.cols_end = end;
      } else if (name == "sheetData") {
        if (map_.sheet_data_end != 0) return fail(tr(kDamaged));  // a sheet has one
        map_.prefix = element.prefix.empty() ? "" : std::string(element.prefix) + ":";
        map_.sheet_data_begin = begin, map_.sheet_data_end = end;
        map_.sheet_data_empty = self_closing;
        in_data_ = true;
      }
      return;
    }
    if (depth == 2 && name == "col" && stack_[1] == "cols") {
      const std::size_t first = number_of(element.attribute("min"), 0);
      const std::size_t last = number_of(element.attribute("max"), 0);
      if (first < 1 || last < first || last > kSheetColumns) return fail(tr(kDamaged));
      map_.cols.push_back({first - 1, last - 1, tag_text(sheet_, element)});
    } else if (depth == 2 && name == "mergeCell") {
      Area area;
      if (parse_area(element.attribute("ref"), area)) map_.merged.push_back(area);
    } else if (in_data_ && depth == 2 && name == "row") {
      open_row(element, self_closing);
    } else if (in_row_ && depth == 3 && name == "c") {
      open_cell(element);
    } else if (in_cell_ && depth == 4) {
      if (name == "f") {
        cell_.formula = true;
        const std::string_view type = element.attribute("t"), ref = element.attribute("ref");
        if (type == "shared" && !ref.empty()) cell_.shared_master = true;
        Area area;
        if ((type == "array" || type == "dataTable") && parse_area(ref, area) &&
            (area.first_row != area.last_row || area.first_column != area.last_column))
          map_.array_formulas.push_back(area);
      } else if (name == "v") {
        in_value_ = true;
      } else if (name == "is") {
        in_inline_ = true;
      }
    } else if (in_inline_) {
      inline_.open(name);
    }
  }

  void close(const XmlElement& element) override {
    const std::string_view name = element.name;
    if (!stack_.empty()) stack_.pop_back();
    const std::size_t depth = stack_.size();
    if (depth == 1 && name == "cols") {
      map_.cols_end = element.end;
    } else if (depth == 1 && name == "sheetData") {
      in_data_ = false;
      if (!header_done_ && !map_.header.present) map_.header.tag_begin = element.begin;
      if (!header_done_) finish_header();
    } else if (depth == 2 && name == "row" && in_row_) {
      close_row();
    } else if (depth == 3 && name == "c" && in_cell_) {
      close_cell(element.end);
    } else if (depth == 4 && in_cell_) {
      if (name == "v") in_value_ = false;
      if (name == "is") in_inline_ = false;
    } else if (in_inline_) {
      inline_.close(name);
    }
  }

  void text(std::string_view text) override {
    if (!capture_) return;
    if (in_value_) StringItem::append_capped(value_, text);
    if (in_inline_) inline_.text(text);
  }

  void finish() {
    if (!map_.error.empty()) return;
    if (!header_done_) finish_header();
    for (const Area& area : map_.merged)
      map_.last_used_column = std::max(map_.last_used_column, area.last_column + 1);
    std::size_t appended = 0;
    for (int column : map_.result_column) appended += column < 0;
    if (map_.last_used_column + appended > kSheetColumns)
      return fail(tr("no room for the result columns after the last column (XFD)"));
    // Cells we would write must be ones a value can go into alone.
    const auto check = [&](std::size_t row, const CellSpot& spot, std::size_t kind) {
      const std::size_t column = static_cast<std::size_t>(map_.result_column[kind]);
      const std::string where = reference(row, column);
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

 private:
  void fail(std::string why) {
    if (map_.error.empty()) map_.error = std::move(why);
  }

  void open_row(const XmlElement& element, bool self_closing) {
    const std::string_view r = element.attribute("r");
    const std::size_t number = r.empty() ? next_row_ : number_of(r, 0);
    if (number < 1 || number > kSheetRows) return fail(tr("a row lies beyond the sheet's last"));
    if (number < next_row_) return fail(tr("the rows of the sheet are out of order"));
    next_row_ = number + 1;
    next_column_ = 0;
    if (number > header_row_ && !header_done_) {
      // A missing header row goes before the first row after it.
      if (!map_.header.present) map_.header.tag_begin = element.begin;
      finish_header();
    }
    row_ = SheetRow{};
    row_.row = number;
    row_.present = true;
    row_.tag_begin = element.begin, row_.tag_end = element.end;
    row_.self_closing = self_closing;
    row_.tag = tag_text(sheet_, element);
    const std::string_view custom = element.attribute("customFormat");
    if (custom == "1" || custom == "true") {
      row_.style = static_cast<int>(number_of(element.attribute("s"), 0));
    }
    for (CellSpot& spot : row_.results) spot.begin = spot.end = element.end;
    in_row_ = true;
  }

  void close_row() {
    in_row_ = false;
    if (row_.row == header_row_) {
      map_.header = std::move(row_);
    } else if (row_.row > header_row_ && !trim_blanks(row_.number).empty()) {
      map_.lines.push_back(std::move(row_));
    }
  }

  void open_cell(const XmlElement& element) {
    const std::string_view r = element.attribute("r");
    const int column = r.empty() ? static_cast<int>(next_column_) : column_of_reference(r);
    if (column < 0 || static_cast<std::size_t>(column) >= kSheetColumns)
      return fail(tr("a cell lies beyond the sheet's last column (XFD)"));
    if (static_cast<std::size_t>(column) < next_column_)
      return fail(tr("the cells of row {1} are out of order", {std::to_string(row_.row)}));
    next_column_ = static_cast<std::size_t>(column) + 1;
    map_.last_used_column = std::max(map_.last_used_column, next_column_);
    cell_ = CellSpot{};
    cell_.present = true;
    cell_.begin = element.begin, cell_.end = cell_.tag_end = element.end;
    const std::string_view style = element.attribute("s");
    cell_.style = style.empty() ? -1 : static_cast<int>(number_of(style, 0));
    column_index_ = static_cast<std::size_t>(column);
    type_ = element.attribute("t");
    capture_ = row_.row == header_row_ || column_index_ == map_.number_column ||
               std::find(map_.result_column.begin(), map_.result_column.end(), column) !=
                   map_.result_column.end();
    value_.clear();
    inline_.clear();
    in_cell_ = true;
  }

  void close_cell(std::size_t end) {
    in_cell_ = in_value_ = in_inline_ = false;
    cell_.end = end;
    if (capture_) {
      std::string text;
      if (type_ == "s") {
        text = strings_.at(number_of(value_, ~std::size_t{0}));
      } else if (type_ == "inlineStr") {
        text = inline_.take();
      } else {
        text = std::move(value_);
      }
      cut_cell(text);
      if (!is_valid_utf8(text)) return fail(tr("a cell that is not UTF-8 text (damaged?)"));
      if ((type_.empty() || type_ == "n") && cell_.style >= 0 &&
          static_cast<std::size_t>(cell_.style) < styles_.date_style.size() &&
          styles_.date_style[static_cast<std::size_t>(cell_.style)] &&
          column_index_ != map_.number_column) {
        if (std::string date = date_of_serial(text, styles_.date1904); !date.empty()) text = date;
      }
      cell_.value = std::move(text);
    }
    if (row_.row == header_row_ && !header_done_) {
      header_cells_.emplace_back(column_index_, cell_);
      return;
    }
    place(row_, column_index_, cell_);
  }

  // Where the cell stands to the result columns of its row.
  void place(SheetRow& row, std::size_t column, CellSpot& cell) {
    if (row.row != header_row_ && column == map_.number_column) row.number = cell.value;
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

  void finish_header() {
    header_done_ = true;
    std::vector<std::string> header;
    for (const auto& [column, cell] : header_cells_) {
      if (header.size() <= column) header.resize(column + 1);
      header[column] = cell.value;
    }
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      for (std::size_t column = 0; column < header.size(); ++column) {
        const std::string_view text = trim_blanks(header[column]);
        if (text.empty() || (text != kHeaderNames[kind][0] && text != kHeaderNames[kind][1]))
          continue;
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

  std::string_view sheet_;
  const SharedStrings& strings_;
  const StyleInfo& styles_;
  std::size_t header_row_;  // 1-based
  SheetMap& map_;
  std::vector<std::string> stack_;
  bool in_data_ = false, in_row_ = false, in_cell_ = false, in_value_ = false, in_inline_ = false;
  bool header_done_ = false, capture_ = false;
  std::size_t next_row_ = 1, next_column_ = 0, column_index_ = 0;
  SheetRow row_;
  CellSpot cell_;
  std::string type_, value_;
  StringItem inline_;
  std::vector<std::pair<std::size_t, CellSpot>> header_cells_;
};

std::size_t width_of(std::string_view utf8) {
  return static_cast<std::size_t>(display_width(utf8));
}

std::string cell_xml(const std::string& prefix, std::size_t row, std::size_t column, int style,
                     const std::string& value) {
  std::string xml = "<" + prefix + "c r=\"" + reference(row, column) + "\"";
  if (style > 0) xml += " s=\"" + std::to_string(style) + "\"";
  if (value.empty()) return xml + "/>";
  const bool keep_space = value.find_first_of(" \t\r\n") == 0 ||
                          std::string_view(" \t\r\n").find(value.back()) != std::string::npos;
  xml += " t=\"inlineStr\"><" + prefix + "is><" + prefix + "t";
  if (keep_space) xml += " xml:space=\"preserve\"";
  return xml + ">" + escape_xml(value) + "</" + prefix + "t></" + prefix + "is></" + prefix + "c>";
}

// The style a new cell of `row` and `column` takes: the row's, else the column's.
int new_cell_style(const SheetMap& map, const SheetRow& row, std::size_t column) {
  if (row.style >= 0) return row.style;
  for (const ColumnRange& range : map.cols) {
    if (column >= range.first && column <= range.last) {
      return static_cast<int>(number_of(tag_attribute(range.tag, "style"), 0));
    }
  }
  return 0;
}

}  // namespace

std::string tag_text(std::string_view part, const XmlElement& element) {
  std::string_view tag = part.substr(element.begin + 1, element.end - element.begin - 2);
  if (tag.ends_with('/')) tag.remove_suffix(1);
  return std::string(tag);
}

std::string apply_splices(std::string_view original, std::vector<Splice> splices) {
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
  std::string out;
  std::size_t extra = 0;
  for (const Splice& splice : splices) extra += splice.text.size();
  out.reserve(original.size() + extra);
  std::size_t at = 0;
  for (const Splice& splice : splices) {
    out.append(original.substr(at, splice.begin - at));
    out += splice.text;
    at = splice.end;
  }
  out.append(original.substr(at));
  return out;
}

namespace {

// Where ` name="…"` (blanks allowed around "=") lies in `tag` outside quoted values: the blank
// before the name and the quotes; npos when absent.
struct AttributeAt {
  std::size_t blank = std::string_view::npos, open = 0, close = 0;
};
AttributeAt find_attribute(std::string_view tag, std::string_view name) {
  char quote = 0;
  for (std::size_t i = 0; i < tag.size(); ++i) {
    const char c = tag[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    const bool starts =
        (c == ' ' || c == '\t' || c == '\r' || c == '\n') && tag.substr(i + 1).starts_with(name);
    if (!starts) continue;
    std::size_t j = i + 1 + name.size();
    while (j < tag.size() && (tag[j] == ' ' || tag[j] == '\t' || tag[j] == '\r' || tag[j] == '\n'))
      ++j;
    if (j >= tag.size() || tag[j] != '=') continue;
    ++j;
    while (j < tag.size() && tag[j] != '"' && tag[j] != '\'') ++j;
    const std::size_t close = j < tag.size() ? tag.find(tag[j], j + 1) : std::string_view::npos;
    if (close == std::string_view::npos) break;
    return {i, j, close};
  }
  return {};
}

}  // namespace

std::string tag_attribute(std::string_view tag, std::string_view name) {
  const AttributeAt at = find_attribute(tag, name);
  if (at.blank == std::string_view::npos) return {};
  return std::string(tag.substr(at.open + 1, at.close - at.open - 1));
}

std::string with_attribute(std::string_view tag, std::string_view name, std::string_view value) {
  const std::string quoted = "\"" + escape_xml(value) + "\"";
  if (const AttributeAt at = find_attribute(tag, name); at.blank != std::string_view::npos) {
    return std::string(tag.substr(0, at.blank + 1)) + std::string(name) + "=" + quoted +
           std::string(tag.substr(at.close + 1));
  }
  std::string_view head = tag;
  const bool closing = head.ends_with('/');
  if (closing) head.remove_suffix(1);
  while (!head.empty() &&
         (head.back() == ' ' || head.back() == '\n' || head.back() == '\t' || head.back() == '\r'))
    head.remove_suffix(1);
  return std::string(head) + " " + std::string(name) + "=" + quoted + (closing ? "/" : "");
}

SheetMap map_sheet(std::string_view sheet, const SharedStrings& strings, const StyleInfo& styles,
                   std::size_t header_row, std::size_t number_column) {
  SheetMap map;
  SheetMapper mapper(sheet, strings, styles, header_row, number_column, map);
  XmlReader reader(mapper);
  if (!reader.feed(sheet).ok() || !reader.finish().ok()) map.error = tr(kDamaged);
  if (map.error.empty() && map.sheet_data_end == 0)
    map.error = tr("the first sheet holds no cells");
  mapper.finish();
  return map;
}

std::size_t result_column_of(const SheetMap& map, std::size_t kind) {
  if (map.result_column[kind] >= 0) return static_cast<std::size_t>(map.result_column[kind]);
  std::size_t column = map.last_used_column;
  for (std::size_t k = 0; k < kind; ++k) column += map.result_column[k] < 0;
  return column;
}

namespace {

// The edit of one sheet, gathered as splices of its text.
class SheetEdit {
 public:
  SheetEdit(std::string_view sheet, const SheetMap& map,
            const std::array<std::string, kResultColumns>& headers, StylesEditor& styles,
            bool* formula_replaced)
      : sheet_(sheet),
        map_(map),
        p_(map.prefix),
        headers_(headers),
        styles_(styles),
        formula_replaced_(formula_replaced) {
    // Result kinds in the order of their columns, so that cells stay in column order.
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
      return result_column_of(map_, a) < result_column_of(map_, b);
    });
  }

  std::string edit(const std::vector<RowWrites>& writes) {
    edit_header();
    for (std::size_t i = 0; i < map_.lines.size() && i < writes.size(); ++i)
      edit_row(map_.lines[i], writes[i]);
    if (map_.sheet_data_empty && !splices_.empty()) {
      // <sheetData/> becomes an element that holds the rows.
      std::string rows;
      for (Splice& splice : splices_) rows += splice.text;
      splices_.clear();
      std::string open(sheet_.substr(map_.sheet_data_begin + 1,
                                     map_.sheet_data_end - map_.sheet_data_begin - 3));
      splices_.push_back({map_.sheet_data_begin, map_.sheet_data_end,
                          "<" + open + ">" + rows + "</" + p_ + "sheetData>"});
    }
    widen_dimension();
    if (any_appended_) set_appended_widths();
    return apply_splices(sheet_, std::move(splices_));
  }

 private:
  void edit_header() {
    RowWrites header_writes;
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      if (map_.result_column[kind] >= 0) continue;
      header_writes[kind] = {true, false, headers_[kind]};
    }
    SheetRow header = map_.header;
    header.row = map_.header_row;
    if (!header.present) {
      for (CellSpot& spot : header.results) spot = CellSpot{};
    }
    edit_row(header, header_writes);
  }

  // One row's writes: cells replaced or inserted in column order, the row tag widened.
  void edit_row(const SheetRow& row, const RowWrites& cells) {
    std::vector<Splice> inserted;
    bool grew = false;
    std::size_t low = kSheetColumns, high = 0;
    for (std::size_t kind : order_) {
      const CellWrite& cell = cells[kind];
      const CellSpot& spot = row.results[kind];
      if (!cell.write) {
        if (cell.restore && spot.present) restore_look(spot);
        continue;
      }
      const std::size_t column = result_column_of(map_, kind);
      low = std::min(low, column), high = std::max(high, column);
      Splice splice{spot.begin, spot.end,
                    cell_xml(p_, row.row, column, cell_style(row, spot, cell, column), cell.value)};
      if (map_.result_column[kind] < 0) {
        widths_[kind] = std::max(widths_[kind], width_of(cell.value));
        any_appended_ = true;
      }
      if (spot.formula && formula_replaced_ != nullptr) *formula_replaced_ = true;
      if (!spot.present) grew = true;
      if (row.present && !row.self_closing) {
        splices_.push_back(std::move(splice));
      } else {
        inserted.push_back(std::move(splice));
      }
    }
    if (inserted.empty() && !grew) return;
    if (!row.present) {
      std::string text = "<" + p_ + "row r=\"" + std::to_string(row.row) + "\">";
      for (const Splice& cell : inserted) text += cell.text;
      splices_.push_back({row.tag_begin, row.tag_begin, text + "</" + p_ + "row>"});
      return;
    }
    const std::string tag = grew ? widened_spans(row.tag, low, high) : row.tag;
    if (row.self_closing) {
      std::string text = "<" + tag + ">";
      for (const Splice& cell : inserted) text += cell.text;
      splices_.push_back({row.tag_begin, row.tag_end, text + "</" + p_ + "row>"});
    } else if (tag != row.tag) {
      splices_.push_back({row.tag_begin, row.tag_end, "<" + tag + ">"});
    }
  }

  // The cell kept, its style our highlight's no more.
  void restore_look(const CellSpot& spot) {
    const int style = std::max(spot.style, 0), own = styles_.unhighlighted(style);
    if (own == style) return;
    const std::string_view tag = sheet_.substr(spot.begin + 1, spot.tag_end - spot.begin - 2);
    splices_.push_back(
        {spot.begin, spot.tag_end, "<" + with_attribute(tag, "s", std::to_string(own)) + ">"});
  }

  int cell_style(const SheetRow& row, const CellSpot& spot, const CellWrite& cell,
                 std::size_t column) {
    int style = spot.present ? std::max(spot.style, 0) : new_cell_style(map_, row, column);
    if (cell.restore) style = styles_.unhighlighted(style);
    if (row.row == map_.header_row) style = styles_.bold(style), header_written_ = true;
    if (cell.highlight) style = styles_.highlighted(style);
    last_column_ = std::max(last_column_, column);
    return style;
  }

  // A row's hint of the columns it uses ("1:5", or several ranges), widened to the cells added.
  static std::string widened_spans(const std::string& tag, std::size_t low, std::size_t high) {
    const std::string spans = tag_attribute(tag, "spans");
    if (spans.empty()) return tag;
    std::size_t first = low + 1, last = high + 1;
    for (std::size_t at = 0; at < spans.size();) {
      const std::size_t end = std::min(spans.find_first_of(": ", at), spans.size());
      const std::size_t n = number_of(std::string_view(spans).substr(at, end - at), first);
      first = std::min(first, n), last = std::max(last, n);
      at = end + 1;
    }
    return with_attribute(tag, "spans", std::to_string(first) + ":" + std::to_string(last));
  }

  void widen_dimension() {
    if (!map_.has_dimension) return;
    Area area;
    const std::string ref = tag_attribute(map_.dimension_tag, "ref");
    if (!parse_area(ref, area) ||
        (last_column_ <= area.last_column && !(header_written_ && area.first_row > 1)))
      return;
    const std::string widened = reference(header_written_ ? 1 : area.first_row, area.first_column) +
                                ":" +
                                reference(area.last_row, std::max(area.last_column, last_column_));
    splices_.push_back({map_.dimension_begin, map_.dimension_end,
                        "<" + with_attribute(map_.dimension_tag, "ref", widened) +
                            (map_.dimension_self_closing ? "/>" : ">")});
  }

  // Widths for the appended columns; a range of <col> over them is split around them.
  void set_appended_widths() {
    const std::size_t first = map_.last_used_column;
    std::size_t last = first;
    for (std::size_t kind = 0; kind < kResultColumns; ++kind)
      if (map_.result_column[kind] < 0) last = std::max(last, result_column_of(map_, kind));
    std::vector<std::string> cols;
    std::string style;
    bool placed = false;
    const auto place_ours = [&] {
      if (!placed) appended_cols(style, cols);
      placed = true;
    };
    const auto col = [](const std::string& tag, std::size_t min, std::size_t max) {
      return "<" +
             with_attribute(with_attribute(tag, "min", std::to_string(min)), "max",
                            std::to_string(max)) +
             "/>";
    };
    for (const ColumnRange& range : map_.cols) {
      if (range.last < first || range.first > last) {
        if (range.first > last) place_ours();
        cols.push_back("<" + range.tag + "/>");
        continue;
      }
      style = tag_attribute(range.tag, "style");
      if (range.first < first) cols.push_back(col(range.tag, range.first + 1, first));
      place_ours();
      if (range.last > last) cols.push_back(col(range.tag, last + 2, range.last + 1));
    }
    place_ours();
    std::string text = "<" + p_ + "cols>";
    for (const std::string& c : cols) text += c;
    text += "</" + p_ + "cols>";
    if (map_.has_cols) {
      splices_.push_back({map_.cols_begin, map_.cols_end, text});
    } else {
      splices_.push_back({map_.sheet_data_begin, map_.sheet_data_begin, text});
    }
  }

  void appended_cols(const std::string& style, std::vector<std::string>& cols) const {
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      if (map_.result_column[kind] >= 0) continue;
      const std::size_t column = result_column_of(map_, kind) + 1;
      const std::size_t width =
          std::clamp<std::size_t>(std::max(widths_[kind], width_of(headers_[kind])) + 2, 10, 60);
      std::string tag = p_ + "col min=\"" + std::to_string(column) + "\" max=\"" +
                        std::to_string(column) + "\" width=\"" + std::to_string(width) +
                        "\" customWidth=\"1\"";
      if (!style.empty()) tag += " style=\"" + style + "\"";
      cols.push_back("<" + tag + "/>");
    }
  }

  std::string_view sheet_;
  const SheetMap& map_;
  const std::string& p_;
  const std::array<std::string, kResultColumns>& headers_;
  StylesEditor& styles_;
  bool* formula_replaced_;
  std::array<std::size_t, kResultColumns> order_{0, 1, 2, 3};
  std::vector<Splice> splices_;
  std::array<std::size_t, kResultColumns> widths_{};
  std::size_t last_column_ = 0;
  bool any_appended_ = false;
  bool header_written_ = false;
};

}  // namespace

std::string edit_sheet(std::string_view sheet, const SheetMap& map,
                       const std::vector<RowWrites>& writes,
                       const std::array<std::string, kResultColumns>& headers, StylesEditor& styles,
                       bool* formula_replaced) {
  return SheetEdit(sheet, map, headers, styles, formula_replaced).edit(writes);
}

}  // namespace stdlookup::workbook

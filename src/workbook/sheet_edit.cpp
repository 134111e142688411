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

std::string reference(std::size_t row, std::size_t column) {
  return column_letters(column) + std::to_string(row);
}

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
  SheetEdit(std::string_view sheet, const SheetMap& map, const ResultHeaders& headers,
            StylesEditor& styles)
      : sheet_(sheet), map_(map), p_(map.prefix), headers_(headers), styles_(styles) {
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
      header_writes[kind] = {true, false, std::string(headers_[kind][0])};
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
      if (spot.formula) formula_replaced = true;
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
          std::clamp<std::size_t>(std::max(widths_[kind], width_of(headers_[kind][0])) + 2, 10, 60);
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
  const ResultHeaders& headers_;
  StylesEditor& styles_;

 public:
  bool formula_replaced = false;

 private:
  std::array<std::size_t, kResultColumns> order_{0, 1, 2, 3};
  std::vector<Splice> splices_;
  std::array<std::size_t, kResultColumns> widths_{};
  std::size_t last_column_ = 0;
  bool any_appended_ = false;
  bool header_written_ = false;
};

}  // namespace

EditedSheet edit_sheet(std::string_view sheet, const SheetMap& map,
                       const std::vector<RowWrites>& writes, const ResultHeaders& headers,
                       StylesEditor& styles) {
  SheetEdit edit(sheet, map, headers, styles);
  std::string text = edit.edit(writes);
  return {std::move(text), edit.formula_replaced};
}

}  // namespace stdlookup::workbook

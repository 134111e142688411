// Collects a table cell by cell, as the CSV and workbook readers find them, within the limits of
// list_input.h: the first row whole, of the later rows only the picked columns.
#pragma once

#include <algorithm>
#include <utility>

#include "list_input.h"

namespace stdlookup::cli {

// Cuts `text` to at most kCellBytes where a UTF-8 character starts, so that none is split.
inline void cut_cell(std::string& text) {
  if (text.size() <= kCellBytes) return;
  std::size_t end = kCellBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

class TableBuilder {
 public:
  explicit TableBuilder(const ColumnPick& pick) : pick_(pick) {}

  // Whether the cell at 0-based `row` and `column` is kept; false also once a limit is passed
  // (error() then says which). Readers ask before they make a cell's text.
  bool wants(std::size_t row, std::size_t column) {
    if (!table_.error.empty()) return false;
    if (row >= kSheetRows || column >= kSheetColumns)
      return fail("a cell lies beyond the sheet's last row or column (XFD1048576)");
    if (row == 0) return true;
    if (!picked_ && !pick()) return false;
    return std::find(columns_.begin(), columns_.end(), column) != columns_.end();
  }

  // Adds a cell that wants() asked for; false (and error() set) once a limit is passed.
  bool add(std::size_t row, std::size_t column, std::string text) {
    if (!wants(row, column)) return table_.error.empty();
    if (text.empty()) return true;
    cut_cell(text);
    if (row == 0) {
      if (table_.header.size() <= column) table_.header.resize(column + 1);
      return keep(table_.header[column], std::move(text));
    }
    const auto at = std::find(columns_.begin(), columns_.end(), column);
    if (rows_.empty() || rows_.back().first != row) {
      // A row costs its cells' strings and its own bookkeeping besides their text.
      bytes_ += sizeof(rows_.front()) + columns_.size() * sizeof(std::string);
      if (bytes_ > kTableBytes) return fail(kTooMuch);
      in_order_ = in_order_ && (rows_.empty() || rows_.back().first < row);
      rows_.emplace_back(row, std::vector<std::string>(columns_.size()));
    }
    return keep(rows_.back().second[static_cast<std::size_t>(at - columns_.begin())],
                std::move(text));
  }

  bool fail(std::string why) {
    if (table_.error.empty()) table_.error = std::move(why);
    return false;
  }
  const std::string& error() const { return table_.error; }

  Table finish() {
    if (table_.error.empty() && !picked_) pick();
    if (!table_.error.empty()) return Table{{}, {}, table_.error};
    // Rows come in order in any workbook a program wrote; a hand-made one may differ.
    if (!in_order_) {
      std::stable_sort(rows_.begin(), rows_.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    table_.rows.reserve(rows_.size());
    for (auto& [index, cells] : rows_) {
      table_.rows.push_back(std::move(cells));
      table_.row_indices.push_back(index);
    }
    return std::move(table_);
  }

 private:
  bool pick() {
    picked_ = true;
    columns_ = pick_(table_.header, table_.error);
    return table_.error.empty();
  }

  bool keep(std::string& cell, std::string text) {
    bytes_ += text.size() - std::min(text.size(), cell.size());
    if (bytes_ > kTableBytes) return fail(kTooMuch);
    cell = std::move(text);
    return true;
  }

  static constexpr const char* kTooMuch = "more than a list of ours can hold (64 MiB)";
  const ColumnPick& pick_;
  bool picked_ = false;
  std::vector<std::size_t> columns_;
  std::vector<std::pair<std::size_t, std::vector<std::string>>> rows_;
  bool in_order_ = true;
  std::size_t bytes_ = 0;
  Table table_;
};

}  // namespace stdlookup::cli

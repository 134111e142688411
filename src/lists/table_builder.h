// Collects a table cell by cell, as the CSV and workbook readers find them, within the limits of
// list_input.h: the first rows whole until the header row is chosen from them, of the rows after
// it only the picked columns.
#pragma once

#include <algorithm>
#include <utility>

#include "lists/list_input.h"
#include "runtime/i18n.h"
#include "runtime/text.h"

namespace stdlookup::lists {

class TableBuilder {
 public:
  explicit TableBuilder(const ColumnPick& pick) : pick_(pick) {}

  // Whether the cell at 0-based `row` and `column` is kept; false also once a limit is passed
  // (error() then says which). Readers ask before they make a cell's text.
  bool wants(std::size_t row, std::size_t column) {
    if (!error_.empty()) return false;
    if (row >= kSheetRows || column >= kSheetColumns)
      return fail(tr("a cell lies beyond the sheet's last row or column (XFD1048576)"));
    if (!picked_ && row < kHeaderRows) return true;
    if (!picked_ && !pick()) return false;
    if (layout_.header_row != kNoHeader && row <= layout_.header_row) return false;
    return std::find(layout_.columns.begin(), layout_.columns.end(), column) !=
           layout_.columns.end();
  }

  // Adds a cell that wants() asked for; false (and error() set) once a limit is passed.
  bool add(std::size_t row, std::size_t column, std::string text) {
    if (!wants(row, column)) return error_.empty();
    if (text.empty()) return true;
    cut_cell(text);
    if (!picked_) {
      if (first_.size() <= row) first_.resize(row + 1);
      if (first_[row].size() <= column) first_[row].resize(column + 1);
      return keep(first_[row][column], std::move(text));
    }
    return add_picked(row, column, std::move(text));
  }

  // Whether the header row and the columns are chosen (the first rows are all read).
  bool picked() const { return picked_; }
  // Whether the columns were found by their header.
  bool named() const { return layout_.named; }

  bool fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }
  const std::string& error() const { return error_; }

  Result<Table> finish() {
    // A sheet or file without cells has nothing to pick from, and nothing to read.
    const bool empty = std::all_of(first_.begin(), first_.end(), [](const auto& cells) {
      return std::all_of(cells.begin(), cells.end(), [](const auto& cell) { return cell.empty(); });
    });
    if (error_.empty() && !picked_ && !empty) pick();
    if (!error_.empty()) return failure(error_);
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
    table_.header_row = layout_.header_row;
    table_.columns = layout_.columns;
    return std::move(table_);
  }

 private:
  bool pick() {
    picked_ = true;
    auto layout = pick_(first_);
    if (!layout.ok()) return fail(layout.error());
    layout_ = std::move(*layout);
    const std::size_t header = layout_.header_row;
    if (header != kNoHeader && header < first_.size()) table_.header = std::move(first_[header]);
    // The first rows after the header are rows of the table like any later one.
    for (std::size_t row = header == kNoHeader ? 0 : header + 1; row < first_.size(); ++row) {
      for (std::size_t column = 0; column < first_[row].size(); ++column) {
        std::string& text = first_[row][column];
        if (text.empty() || std::find(layout_.columns.begin(), layout_.columns.end(), column) ==
                                layout_.columns.end())
          continue;
        bytes_ -= text.size();  // counted again where it goes
        if (!add_picked(row, column, std::move(text))) return false;
      }
    }
    std::vector<std::vector<std::string>>().swap(first_);
    return true;
  }

  bool add_picked(std::size_t row, std::size_t column, std::string text) {
    const auto& columns = layout_.columns;
    const auto at = std::find(columns.begin(), columns.end(), column);
    if (rows_.empty() || rows_.back().first != row) {
      // A row costs its cells' strings and its own bookkeeping besides their text.
      bytes_ += sizeof(rows_.front()) + columns.size() * sizeof(std::string);
      if (bytes_ > kTableBytes) return fail(tr(kTooMuch));
      in_order_ = in_order_ && (rows_.empty() || rows_.back().first < row);
      rows_.emplace_back(row, std::vector<std::string>(columns.size()));
    }
    return keep(rows_.back().second[static_cast<std::size_t>(at - columns.begin())],
                std::move(text));
  }

  bool keep(std::string& cell, std::string text) {
    bytes_ += text.size() - std::min(text.size(), cell.size());
    if (bytes_ > kTableBytes) return fail(tr(kTooMuch));
    cell = std::move(text);
    return true;
  }

  static constexpr const char* kTooMuch = tr_noop("more than a list of ours can hold (64 MiB)");
  const ColumnPick& pick_;
  bool picked_ = false;
  Layout layout_;
  std::vector<std::vector<std::string>> first_;  // until picked
  std::vector<std::pair<std::size_t, std::vector<std::string>>> rows_;
  bool in_order_ = true;
  std::size_t bytes_ = 0;
  Table table_;
  std::string error_;
};

}  // namespace stdlookup::lists

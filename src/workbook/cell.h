// What a worksheet cell is, the same for every reader and writer of ours: where it may lie (A1
// references within XFD1048576), what it may hold (32,767 UTF-16 units of XML-safe text) and how
// a date serial reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stdlookup::workbook {

inline constexpr std::size_t kSheetRows = 1'048'576;
inline constexpr std::size_t kSheetColumns = 16'384;
// The most characters a cell holds, counted as spreadsheet programs count them (UTF-16 units).
inline constexpr int kCellCharacterLimit = 32767;
// What a reader keeps of a cell: that many characters, 4 bytes each in UTF-8.
inline constexpr std::size_t kCellBytes = 32'767 * 4;

// A reference's column ("BC12" → 54), 0-based; -1 when it starts with no capital letter or names
// a column past the sheet's last (XFD).
int column_of_reference(std::string_view reference);
// 0-based column → "A", "AB", …
std::string column_letters(std::size_t column);
// "a1", "D17" → 0-based row and column; false when it is not a cell within the sheet.
bool parse_cell_address(std::string_view cell, int& row, int& column);

// A rectangle of cells: 0-based columns and 1-based rows.
struct Area {
  std::size_t first_row = 0, first_column = 0, last_row = 0, last_column = 0;
  bool contains(std::size_t row, std::size_t column) const {
    return row >= first_row && row <= last_row && column >= first_column && column <= last_column;
  }
};
bool parse_area(std::string_view ref, Area& area);  // "B2:D9" or "B2"

// Cuts `text` to at most kCellBytes where a UTF-8 character starts, so that none is split.
void cut_cell(std::string& text);
// Cuts `utf8` to kCellCharacterLimit at a character boundary, the last character "…";
// false (and `utf8` untouched) when it fits.
bool cut_to_cell_limit(std::string& utf8);
// Text a cell can hold: characters XML 1.0 forbids become U+FFFD, cut as cut_to_cell_limit cuts.
std::string cell_text(std::string_view text);
// Text and attribute values escaped for XML.
std::string escape_xml(std::string_view text);

// A whole unsigned number, or `otherwise`.
std::size_t number_of(std::string_view text, std::size_t otherwise);
// A date serial of the 1900 or 1904 system as YYYY-MM-DD; "" when it is none.
std::string date_of_serial(std::string_view text, bool date1904);

}  // namespace stdlookup::workbook

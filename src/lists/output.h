// The command line's output formats: text for people, JSON and CSV for scripts. Every text
// given here is UTF-8.
#pragma once

#include <string>
#include <vector>

#include "runtime/text.h"

namespace stdlookup::lists {

using Row = std::vector<std::string>;

// RFC 4180 quoting: a field with a comma, a quote, CR or LF is quoted, quotes doubled.
std::string csv_field(const std::string& field);
// The fields as cells: one that a spreadsheet would run as a formula (starting with "=", "+",
// "-", "@", tab or CR) gets a leading apostrophe, so it stays text; then quoted as above.
std::string csv_line(const Row& fields);  // ends with "\r\n"
// For a terminal: each field first made harmless as table_cell makes it, so that a server's text
// cannot drive the terminal. A pipe or a file gets the fields unchanged.
std::string csv_line(const Row& fields, bool terminal);
std::string csv_text_cell(const std::string& field);
// A cell's value as we wrote it: the apostrophe csv_text_cell put before it taken away.
std::string csv_cell_value(std::string cell);

// A field for the text table, on one line and harmless to a terminal: CR, LF and tab become
// blanks, other control characters (C0, DEL, C1) are shown escaped as \xHH or \uHHHH.
std::string table_cell(const std::string& utf8);

// Columns padded to their widest cell (display_width), East Asian wide characters two columns.
std::string aligned_table(const std::vector<Row>& rows);

}  // namespace stdlookup::lists

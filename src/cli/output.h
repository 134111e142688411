// The command line's output formats: text for people, JSON and CSV for scripts. Every text
// given here is UTF-8.
#pragma once

#include <string>
#include <vector>

namespace stdlookup::cli {

using Row = std::vector<std::string>;

// RFC 4180 quoting: a field with a comma, a quote, CR or LF is quoted, quotes doubled.
std::string csv_field(const std::string& field);
std::string csv_line(const Row& fields);  // ends with "\r\n"

// Columns padded to their widest cell, counting East Asian wide characters as two columns.
std::string aligned_table(const std::vector<Row>& rows);
int display_width(const std::string& utf8);

}  // namespace stdlookup::cli

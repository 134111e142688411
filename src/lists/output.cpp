#include "lists/output.h"

#include <algorithm>
#include <cwchar>
#include <string_view>

namespace stdlookup::lists {

std::string csv_field(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string csv_text_cell(const std::string& field) {
  if (field.empty() || std::string_view("=+-@\t\r").find(field[0]) == std::string_view::npos) {
    return field;
  }
  return "'" + field;
}

std::string csv_cell_value(std::string cell) {
  if (cell.size() > 1 && cell[0] == '\'' && csv_text_cell(cell.substr(1)) == cell) cell.erase(0, 1);
  return cell;
}

std::string csv_line(const Row& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += csv_field(csv_text_cell(fields[i]));
  }
  return line + "\r\n";
}

std::string csv_line(const Row& fields, bool terminal) {
  if (!terminal) return csv_line(fields);
  Row shown;
  shown.reserve(fields.size());
  for (const std::string& field : fields) shown.push_back(table_cell(field));
  return csv_line(shown);
}

std::string table_cell(const std::string& utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b == '\r' || b == '\n' || b == '\t') {
      out += ' ';
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else if (b == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      const auto c = static_cast<unsigned char>(utf8[++i]);  // U+0080 to U+009F
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

std::string aligned_table(const std::vector<Row>& rows) {
  std::vector<int> widths;
  for (const Row& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], display_width(row[c]));
  }
  std::string out;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size())
        line.append(static_cast<std::size_t>(widths[c] - display_width(row[c]) + 2), ' ');
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace stdlookup::lists

#include "workbook/cell.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace stdlookup::workbook {

int column_of_reference(std::string_view reference) {
  int column = 0;
  std::size_t i = 0;
  for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
    column = column * 26 + (reference[i] - 'A' + 1);
    if (column > static_cast<int>(kSheetColumns)) return -1;  // past XFD; no overflow either
  }
  return i == 0 ? -1 : column - 1;
}

std::string column_letters(std::size_t column) {
  std::string letters;
  for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

namespace {

// "B2" → row 2, column 1; letters in either case when `any_case`.
bool parse_corner(std::string_view text, bool any_case, std::size_t& row, std::size_t& column) {
  std::string letters;
  std::size_t i = 0;
  for (; i < text.size() && i <= 3; ++i) {
    const char c = any_case && text[i] >= 'a' && text[i] <= 'z' ? char(text[i] - 32) : text[i];
    if (c < 'A' || c > 'Z') break;
    letters += c;
  }
  const int c = column_of_reference(letters);
  row = number_of(text.substr(i), 0);
  column = static_cast<std::size_t>(std::max(c, 0));
  return c >= 0 && row >= 1 && row <= kSheetRows;
}

}  // namespace

bool parse_cell_address(std::string_view cell, int& row, int& column) {
  std::size_t r = 0, c = 0;
  if (!parse_corner(cell, true, r, c)) return false;
  row = static_cast<int>(r - 1);
  column = static_cast<int>(c);
  return true;
}

bool parse_area(std::string_view ref, Area& area) {
  const std::size_t colon = ref.find(':');
  if (!parse_corner(ref.substr(0, colon), false, area.first_row, area.first_column)) return false;
  if (colon == std::string_view::npos) {
    area.last_row = area.first_row, area.last_column = area.first_column;
    return true;
  }
  return parse_corner(ref.substr(colon + 1), false, area.last_row, area.last_column) &&
         area.last_row >= area.first_row && area.last_column >= area.first_column;
}

void cut_cell(std::string& text) {
  if (text.size() <= kCellBytes) return;
  std::size_t end = kCellBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

bool cut_to_cell_limit(std::string& utf8) {
  constexpr auto kLimit = static_cast<std::size_t>(kCellCharacterLimit);
  if (utf8.size() <= kLimit) return false;  // fewer bytes than the limit: fewer units too
  std::size_t units = 0;                    // of utf8[0, i)
  std::size_t cut = 0;                      // the longest prefix that leaves room for "…"
  for (std::size_t i = 0; i < utf8.size() && units <= kLimit; ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if ((b & 0xC0) == 0x80) continue;  // inside a character
    if (units <= kLimit - 1) cut = i;
    units += b >= 0xF0 ? 2 : 1;  // beyond the BMP: a surrogate pair
  }
  if (units <= kLimit) return false;
  utf8.resize(cut);
  utf8 += "\xE2\x80\xA6";  // "…"
  return true;
}

std::string cell_text(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    length = std::min(length, text.size() - i);
    const std::string_view character = text.substr(i, length);
    // XML 1.0 has no C0 control but tab and line ends, and neither U+FFFE nor U+FFFF.
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || character == "\xEF\xBF\xBE" ||
        character == "\xEF\xBF\xBF") {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(character);
    }
    i += length;
  }
  cut_to_cell_limit(out);
  return out;
}

std::string escape_xml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;  // a raw CR would be read as a line end
      default:
        out += c;
    }
  }
  return out;
}

std::size_t number_of(std::string_view text, std::size_t otherwise) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : otherwise;
}

std::string date_of_serial(std::string_view text, bool date1904) {
  double serial = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), serial);
  if (error != std::errc() || end != text.data() + text.size() || serial < 1 || serial >= 2958466)
    return {};
  const auto days = static_cast<int>(std::floor(serial));
  if (!date1904 && days == 60) return "1900-02-29";  // the day the 1900 system counts wrongly
  using namespace std::chrono;
  // The 1900 system counts from 1899-12-31 and, after its false leap day, from 1899-12-30.
  const sys_days epoch = date1904    ? sys_days(1904y / January / 1)
                         : days < 60 ? sys_days(1899y / December / 31)
                                     : sys_days(1899y / December / 30);
  const year_month_day date(epoch + std::chrono::days(days));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                unsigned(date.day()));
  return buffer;
}

}  // namespace stdlookup::workbook

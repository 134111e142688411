// The editor of a user's workbook on any sheet it maps and any results: the written sheet maps
// again to the same lines, every cell but the result cells keeps its bytes, and the values written
// read back as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "lists/columns.h"
#include "workbook/cell.h"
#include "workbook/package.h"
#include "workbook/sheet_edit.h"

using namespace stdlookup::workbook;

namespace {

constexpr const char* kStyles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"2\"><font><sz val=\"11\"/></font><font><b/><sz val=\"11\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills><cellXfs count=\"5\">"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\"/><xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\"/><xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\"/>"
    "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
    "</styleSheet>";

// One character of a value as UTF-8: controls, XML's specials, CJK, beyond the BMP.
std::string character(std::uint8_t b) {
  char32_t c = b;
  if (b >= 0x80 && b < 0xC0) c = U'\u4E00' + (b - 0x80) * 97u;
  if (b >= 0xC0 && b < 0xE0) c = U'\U0001F600' + (b - 0xC0) * 1031u;
  if (b >= 0xE0) c = U"\u00A0\u0085\u2028\u3000\uFEFF\uFFFD\uFFFE\uFFFF"[b % 8];
  std::string out;
  if (c < 0x80) return out += static_cast<char>(c);
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>("\xC0\xE0\xF0"[extra - 1] | (c >> (6 * extra)));
  for (int i = extra - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
  return out;
}

// A result value as the caller makes it: through cell_text, sometimes about the cell limit long.
std::string value(FuzzedDataProvider& in, bool long_value) {
  std::string text;
  std::size_t units = 0;  // UTF-16 units
  for (char b : in.ConsumeRandomLengthString(48)) {
    text += character(static_cast<std::uint8_t>(b));
    units += static_cast<std::uint8_t>(b) >= 0xC0 && static_cast<std::uint8_t>(b) < 0xE0 ? 2 : 1;
  }
  if (long_value) {
    const std::string unit = text.empty() ? "x" : text;
    const std::size_t unit_units = std::max<std::size_t>(units, 1);
    const auto wanted =
        static_cast<std::size_t>(kCellCharacterLimit - 4 + in.ConsumeIntegralInRange(0, 8));
    for (units = 0; units + unit_units <= wanted; units += unit_units) text += unit;
    while (units++ < wanted) text += "y";
  }
  return cell_text(text);
}

// Every <c> of <sheetData>'s rows, with its row and column, by a walk of its own over the markup.
struct Cell {
  std::size_t row, column;
  std::string_view bytes;
  bool operator==(const Cell&) const = default;
};

// An attribute's value as written, "" when absent or when the attributes before it are broken.
std::string_view attribute(std::string_view tag, std::string_view name) {
  constexpr std::string_view blanks = " \t\r\n";
  const auto skip = [&](std::size_t at) {
    return std::min(tag.find_first_not_of(blanks, std::min(at, tag.size())), tag.size());
  };
  for (std::size_t i = skip(tag.find_first_of(blanks)); i < tag.size();) {
    const std::size_t key_end = std::min(tag.find_first_of(" \t\r\n=", i), tag.size());
    const std::size_t equals = skip(key_end);
    const std::size_t open =
        equals < tag.size() && tag[equals] == '=' ? skip(equals + 1) : tag.size();
    if (open == tag.size() || (tag[open] != '"' && tag[open] != '\'')) return "";
    const std::size_t close = tag.find(tag[open], open + 1);
    if (close == std::string_view::npos) return "";
    if (tag.substr(i, key_end - i) == name) return tag.substr(open + 1, close - open - 1);
    i = skip(close + 1);
  }
  return "";
}

std::vector<Cell> cells_of(std::string_view xml) {
  std::vector<Cell> cells;
  std::vector<std::string_view> open;  // local names
  std::size_t row = 0, column = 0, next_column = 0, cell_begin = 0;
  for (std::size_t at = xml.find('<'); at < xml.size(); at = xml.find('<', at)) {
    std::size_t end = at + 1;  // the tag's ">"; comments, CDATA and instructions are skipped
    for (const auto& [start, stop] : {std::pair{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}})
      if (xml.substr(at).starts_with(start)) end = xml.find(stop, at) + std::strlen(stop) - 1;
    if (end != at + 1) {
      at = std::max(end, at + 1);
      continue;
    }
    for (char quote = 0; end < xml.size() && (quote != 0 || xml[end] != '>'); ++end) {
      if (quote == 0 && (xml[end] == '"' || xml[end] == '\'')) {
        quote = xml[end];
      } else if (xml[end] == quote) {
        quote = 0;
      }
    }
    const std::string_view tag = xml.substr(at + 1, end - at - 1);
    const bool closing = tag.starts_with('/');
    std::string_view name = tag.substr(closing);
    name = name.substr(0, name.find_first_of(" \t\r\n/"));
    name = name.substr(name.rfind(':') + 1);
    const std::size_t depth = open.size();
    if (!closing && depth == 2 && name == "row" && open[1] == "sheetData") {
      const std::string_view r = attribute(tag, "r");
      row = r.empty() ? row + 1 : number_of(r, 0), next_column = 0;
    } else if (!closing && depth == 3 && name == "c" && open[2] == "row") {
      const std::string_view r = attribute(tag, "r");
      column = r.empty() ? next_column : static_cast<std::size_t>(column_of_reference(r));
      next_column = column + 1, cell_begin = at;
    }
    if (!closing) open.push_back(name);
    if ((closing || tag.ends_with('/')) && !open.empty()) {
      if (open.size() == 4 && name == "c" && open[2] == "row")
        cells.push_back({row, column, xml.substr(cell_begin, end + 1 - cell_begin)});
      open.pop_back();
    }
    at = end;
  }
  return cells;
}

// The cells that are not result cells of the header or a line.
std::vector<Cell> kept_cells(std::string_view xml, const SheetMap& map) {
  std::vector<Cell> cells = cells_of(xml);
  std::erase_if(cells, [&](const Cell& cell) {
    bool result_row = cell.row == map.header_row;
    for (const SheetRow& line : map.lines) result_row = result_row || line.row == cell.row;
    for (std::size_t kind = 0; kind < kResultColumns; ++kind)
      if (result_row && cell.column == result_column_of(map, kind)) return true;
    return false;
  });
  return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const auto header_row = in.ConsumeIntegralInRange<std::size_t>(1, 3);
  const auto number_column = in.ConsumeIntegralInRange<std::size_t>(0, 3);
  const std::string sheet = in.ConsumeRandomLengthString(1 << 16);
  StylesEditor styles;
  FUZZ_CHECK(styles.load(kStyles).ok());
  const auto mapped = map_sheet(sheet, SharedStrings(), styles.info(false),
                                stdlookup::lists::kResultHeaders, header_row, number_column);
  // The caller's numbers column is one the sheet has cells in.
  if (!mapped.ok() || mapped->last_used_column <= number_column) return 0;
  const SheetMap& map = *mapped;

  std::vector<RowWrites> writes(map.lines.size());
  int long_values = 0;
  for (RowWrites& row : writes) {
    for (CellWrite& cell : row) {
      const auto flags = in.ConsumeIntegral<std::uint8_t>();
      const bool long_value = (flags & 0x38) == 0x38 && ++long_values <= 3;
      cell = {(flags & 1) != 0, (flags & 2) != 0, value(in, long_value), (flags & 4) != 0};
    }
  }
  const std::string written =
      edit_sheet(sheet, map, writes, stdlookup::lists::kResultHeaders, styles).text;

  StylesEditor edited;
  FUZZ_CHECK(edited.load(styles.result()).ok());
  const auto read_again = map_sheet(written, SharedStrings(), edited.info(false),
                                    stdlookup::lists::kResultHeaders, header_row, number_column);
  FUZZ_CHECK(read_again.ok());
  const SheetMap& again = *read_again;
  FUZZ_CHECK(again.lines.size() == map.lines.size());
  for (std::size_t kind = 0; kind < kResultColumns; ++kind)
    FUZZ_CHECK(again.result_column[kind] == static_cast<int>(result_column_of(map, kind)));
  for (std::size_t i = 0; i < map.lines.size(); ++i) {
    FUZZ_CHECK(again.lines[i].row == map.lines[i].row);
    FUZZ_CHECK(again.lines[i].number == map.lines[i].number);
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      if (writes[i][kind].write)
        FUZZ_CHECK(again.lines[i].results[kind].value == writes[i][kind].value);
    }
  }
  FUZZ_CHECK(kept_cells(sheet, map) == kept_cells(written, again));
  return 0;
}

#include "lists/list_input.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "lists/columns.h"
#include "lists/input.h"
#include "lists/output.h"
#include "lists/table_builder.h"
#include "lookup/number_cleanup.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::lists {

using namespace workbook;
using workbook::failure;

std::string extension_of(const std::string& path) {
  const std::u8string extension = native_path(path).extension().u8string();
  return to_lower(std::string(extension.begin(), extension.end()));
}

ColumnPick columns(std::size_t first, std::size_t count) {
  return [first, count](const std::vector<std::vector<std::string>>&) -> Result<Layout> {
    Layout layout;
    for (std::size_t i = 0; i < count; ++i) layout.columns.push_back(first + i);
    return layout;
  };
}

namespace {

// Our exports' four columns, as rows of a list.
Result<ListRows> rows_of(Result<Table> table) {
  if (!table.ok()) return table.failed();
  ListRows result;
  result.rows.reserve(table->rows.size());
  for (auto& cells : table->rows) {
    result.rows.push_back({cells[0], std::move(cells[0]), std::move(cells[1]), std::move(cells[2]),
                           std::move(cells[3])});
    std::vector<std::string>().swap(cells);
  }
  return result;
}

// The rows of a JSON export, read as the parser goes: only the text members of the objects in
// the top-level list are kept, so that no shape of JSON makes the reader hold more than them.
class ExportRowsReader final : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit ExportRowsReader(std::size_t size) : size_(size) {}
  ListRows result;
  std::string error;

  bool null() override { return value(); }
  bool boolean(bool) override { return value(); }
  bool number_integer(number_integer_t) override { return value(); }
  bool number_unsigned(number_unsigned_t) override { return value(); }
  bool number_float(number_float_t, const string_t&) override { return value(); }
  bool binary(binary_t&) override { return value(); }
  bool string(string_t& text) override {
    if (depth_ == 2 && field_ != nullptr) {
      cut_cell(text);
      bytes_ += text.size();
      if (bytes_ > kTableBytes) return fail(kTooMuch);
      *field_ = std::move(text);
    }
    return value();
  }
  bool key(string_t& name) override {
    field_ = nullptr;
    if (depth_ != 2) return true;
    if (name == "query") field_ = &row_.query;
    if (name == "number") field_ = &row_.number;
    if (name == "chinese_name") field_ = &row_.chinese_name;
    if (name == "implementation_date") field_ = &row_.implementation_date;
    if (name == "status") field_ = &row_.status;
    return true;
  }
  bool start_object(std::size_t) override {
    if (depth_ == 0) return fail(tr_noop("not a JSON list of rows"));
    if (++depth_ == 2) row_ = {};
    return true;
  }
  bool end_object() override {
    if (depth_-- != 2) return true;
    if (row_.query.empty()) row_.query = row_.number;
    if (row_.query.empty()) return true;  // a row without a number cannot be compared
    bytes_ += sizeof(ListRow);
    if (result.rows.size() == kSheetRows || bytes_ > kTableBytes) return fail(kTooMuch);
    result.rows.push_back(std::move(row_));
    return true;
  }
  bool start_array(std::size_t) override {
    ++depth_;
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    result.cut_short = position > size_;  // the parser read past the end
    return fail(tr_noop("not a JSON list of rows"));
  }

 private:
  bool value() {
    field_ = nullptr;
    return depth_ > 0 || fail(tr_noop("not a JSON list of rows"));
  }
  bool fail(const char* why) {
    if (error.empty()) error = tr(why);
    return false;
  }

  static constexpr const char* kTooMuch = tr_noop("more than a list of ours can hold (64 MiB)");
  std::size_t size_;
  int depth_ = 0;
  ListRow row_;
  std::string* field_ = nullptr;
  std::size_t bytes_ = 0;
};

}  // namespace

void scan_csv(std::string_view text, std::size_t at,
              const std::function<bool(std::size_t record, std::size_t column, std::size_t begin,
                                       std::size_t end)>& on_field,
              const std::function<bool(std::size_t end, std::size_t next)>& on_record) {
  std::size_t record = 0, column = 0, field = at, record_begin = at;
  bool quoted = false;
  for (std::size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;  // a doubled quote inside a quoted stretch closes and reopens it
    } else if (quoted) {
      continue;
    } else if (c == ',') {
      if (!on_field(record, column++, field, i)) return;
      field = i + 1;
    } else if (c == '\r' || c == '\n') {
      const std::size_t end = i;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!on_field(record, column, field, end) || !on_record(end, i + 1)) return;
      ++record;
      column = 0;
      field = record_begin = i + 1;
    }
  }
  if (record_begin < text.size() && on_field(record, column, field, text.size()))
    on_record(text.size(), text.size());
}

std::string csv_unquoted(std::string_view raw, std::size_t limit) {
  std::string text;
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size() && text.size() <= limit; ++i) {
    if (raw[i] != '"') {
      text += raw[i];
    } else if (quoted && i + 1 < raw.size() && raw[i + 1] == '"') {
      text += '"';
      ++i;
    } else {
      quoted = !quoted;
    }
  }
  return text;
}

Result<Table> read_csv_table(std::string_view content, const ColumnPick& pick) {
  TableBuilder table(pick);
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  scan_csv(
      content, 0,
      [&](std::size_t row, std::size_t column, std::size_t begin, std::size_t end) {
        // Only the cells kept are made into text.
        if (!table.wants(row, column)) return table.error().empty();
        return table.add(row, column, csv_unquoted(content.substr(begin, end - begin), kCellBytes));
      },
      [](std::size_t, std::size_t) { return true; });
  return table.finish();
}

bool looks_like_standard_number(std::string_view text) {
  const std::string number = normalize_number(text);
  std::size_t i = 0, letters = 0;
  for (; i < number.size() && ((number[i] >= 'A' && number[i] <= 'Z') || number[i] == '/'); ++i)
    letters += number[i] != '/';
  if (letters < 2 || i > 16) return false;
  if (i < number.size() && number[i] == ' ') ++i;
  if (i == number.size() || number[i] < '0' || number[i] > '9') return false;
  // The rest is the number's parts and year: "2760-2014", "1234.1-2011", "317/XG1-2020".
  return std::all_of(number.begin() + static_cast<std::ptrdiff_t>(i), number.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '/' ||
           c == ' ';
  });
}

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Any header of a result column: a header row of a list --update wrote into.
constexpr auto kAnyResultHeader = [] {
  std::array<std::string_view, 2 * kResultColumns> all{};
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = kResultHeaders[i / 2][i % 2];
  return all;
}();

std::string_view cell_of(const Rows& rows, std::size_t row, std::size_t column) {
  return column < rows[row].size() ? trim_blanks(rows[row][column]) : std::string_view();
}

// The column of the first cell in `row` that one of `names` heads, by the names' order.
std::size_t column_named(const Rows& rows, std::size_t row, const auto& names) {
  for (const auto& name : names) {
    if (std::string_view(name).empty()) continue;  // a column with one header only
    for (std::size_t c = 0; c < rows[row].size(); ++c)
      if (cell_of(rows, row, c) == name) return c;
  }
  return kNoHeader;
}

// The texts of the fullest of the first rows, for saying what headers the list has.
std::string headers_seen(const Rows& rows) {
  const std::vector<std::string>* fullest = nullptr;
  std::size_t most = 0;
  for (const auto& cells : rows) {
    const auto filled = static_cast<std::size_t>(std::count_if(
        cells.begin(), cells.end(), [](const std::string& c) { return !trim_blanks(c).empty(); }));
    if (filled > most) most = filled, fullest = &cells;
  }
  if (fullest == nullptr)
    return trn("its first row is empty", "its first {1} rows are empty", kHeaderRows);
  std::string seen;
  std::size_t shown = 0;
  for (const std::string& cell : *fullest) {
    std::string text(trim_blanks(cell));
    if (text.empty()) continue;
    if (shown++ == 8) return tr("its headers are {1}, …", {seen});
    if (text.size() > 40) {
      std::size_t end = 40;
      while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
      text.resize(end);
      text += "…";
    }
    seen += (seen.empty() ? "\"" : ", \"") + text + "\"";
  }
  return tr("its headers are {1}", {seen});
}

}  // namespace

ColumnPick numbers_column(std::string_view column) {
  return [wanted = std::string(column)](const Rows& rows) -> Result<Layout> {
    const bool letters = !wanted.empty() && wanted.size() <= 3 &&
                         std::all_of(wanted.begin(), wanted.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                         });
    std::size_t named = kNoHeader;  // with letters: the column they name
    if (letters) {
      std::string upper = wanted;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const int index = column_of_reference(upper);
      if (index < 0) return failure(tr("no column {1} (the last is XFD)", {upper}));
      named = static_cast<std::size_t>(index);
    }
    // A header by its name, in the first rows: a title may stand above it.
    std::size_t results_row = kNoHeader;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const std::size_t found = letters          ? column_named(rows, r, kNumberHeaders)
                                : wanted.empty() ? column_named(rows, r, kNumberHeaders)
                                                 : column_named(rows, r, std::array{wanted});
      if (found != kNoHeader) return Layout{r, {letters ? named : found}, true};
      if (results_row == kNoHeader && column_named(rows, r, kAnyResultHeader) != kNoHeader)
        results_row = r;
    }
    if (letters && results_row != kNoHeader) return Layout{results_row, {named}, true};
    if (!wanted.empty() && !letters) {
      return failure(trn("no column headed \"{2}\" in its first row ({3})",
                         "no column headed \"{2}\" in its first {1} rows ({3})", kHeaderRows,
                         {wanted, headers_seen(rows)}));
    }
    // Else the first standard number gives the column; the nearest cell above it that is not
    // empty is its header, and without one the numbers start in the first row.
    for (std::size_t r = results_row == kNoHeader ? 0 : results_row + 1; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size(); ++c) {
        if ((letters && c != named) || !looks_like_standard_number(cell_of(rows, r, c))) continue;
        std::size_t header = results_row;
        for (std::size_t above = r; above-- > 0 && header == kNoHeader;)
          if (!cell_of(rows, above, c).empty()) header = above;
        return Layout{header, {c}, false};
      }
    }
    if (letters) return Layout{0, {named}, false};  // the column named, under the first row
    return failure(trn(
        "no column of standard numbers: none headed 标准号, 标准编号, 执行标准 or 标准代号 in its "
        "first row, and none holds standard numbers ({2}); name the column with --column",
        "no column of standard numbers: none headed 标准号, 标准编号, 执行标准 or 标准代号 in its "
        "first {1} rows, and none holds standard numbers ({2}); name the column with --column",
        kHeaderRows, {headers_seen(rows)}));
  };
}

ColumnPick with_label(ColumnPick numbers, std::string_view label) {
  return [numbers = std::move(numbers),
          wanted = std::string(label)](const Rows& rows) -> Result<Layout> {
    auto numbers_layout = numbers(rows);
    if (!numbers_layout.ok() || numbers_layout->columns.empty()) return numbers_layout;
    Layout layout = std::move(*numbers_layout);
    const bool letters = !wanted.empty() && wanted.size() <= 3 &&
                         std::all_of(wanted.begin(), wanted.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                         });
    int column = -1;
    if (letters) {
      std::string upper = wanted;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      column = column_of_reference(upper);
    } else if (layout.header_row != kNoHeader) {
      const std::size_t found = column_named(rows, layout.header_row, std::array{wanted});
      if (found != kNoHeader) column = static_cast<int>(found);
    }
    if (column < 0) {
      const std::string row = std::to_string(layout.header_row + 1);
      if (layout.header_row == kNoHeader)
        return failure(letters ? tr("--label: no column {1}", {wanted})
                               : tr("--label: no column headed \"{1}\"", {wanted}));
      if (letters)
        return failure(tr("--label: no column {1} in the header row (row {2})", {wanted, row}));
      return failure(
          tr("--label: no column headed \"{1}\" in the header row (row {2})", {wanted, row}));
    }
    layout.columns.push_back(static_cast<std::size_t>(column));
    return layout;
  };
}

NumberList numbers_of(const Table& table) {
  NumberList list;
  for (std::size_t i = 0; i < table.rows.size(); ++i) {
    const auto& cells = table.rows[i];
    if (cells.empty() || trim_blanks(cells[0]).empty()) continue;
    list.numbers.push_back(cells[0]);
    list.rows.push_back(i < table.row_indices.size() ? static_cast<int>(table.row_indices[i]) + 1
                                                     : 0);
    if (cells.size() > 1) list.labels.push_back(cells[1]);
  }
  return list;
}

namespace {

// An export's four columns found as the batch finds a list's: ours, or a list of the user's own
// that --update wrote into (title rows above the header, the numbers in any column). The results
// go by the headers --update writes; a list whose numbers have no header row, or none that looks
// like a standard's, holds them in our order. A result column the list lacks repeats the numbers'
// one, which leaves its cells empty.
ColumnPick export_columns() {
  return [numbers = numbers_column("")](const Rows& rows) -> Result<Layout> {
    auto numbers_layout = numbers(rows);
    // No numbers to find them by: our four columns under the first row.
    if (!numbers_layout.ok() || numbers_layout->columns.empty())
      return Layout{0, {0, 1, 2, 3}, false};
    Layout layout = std::move(*numbers_layout);
    const std::size_t number = layout.columns.front();
    if (layout.header_row == kNoHeader ||
        column_named(rows, layout.header_row, kAnyResultHeader) == kNoHeader) {
      layout.columns = {number, number + 1, number + 2, number + 3};
      return layout;
    }
    for (const auto& names : {kResultHeaders[0], kResultHeaders[1], kResultHeaders[2]}) {
      const std::size_t found = column_named(rows, layout.header_row, names);
      layout.columns.push_back(found == kNoHeader ? number : found);
    }
    if (layout.columns.back() == number) {
      return failure(tr("no column headed 是否作废 or 状态 in row {1}",
                        {std::to_string(layout.header_row + 1)}));
    }
    return layout;
  };
}

}  // namespace

Result<ListRows> read_json_export(std::string_view content, bool torn) {
  ExportRowsReader reader(content.size());
  nlohmann::json::sax_parse(content, &reader);
  if (!reader.error.empty() && !(torn && reader.result.cut_short)) return failure(reader.error);
  return std::move(reader.result);
}

Result<ListRows> read_csv_export(std::string_view content) {
  auto rows = rows_of(read_csv_table(content, export_columns()));
  if (!rows.ok()) return rows;
  rows->cut_short = !content.empty() && content.back() != '\n' && content.back() != '\r';
  // The apostrophe our CSV puts before a cell a spreadsheet would run ("'=x") is not the value.
  for (ListRow& row : rows->rows) {
    for (std::string* cell :
         {&row.query, &row.number, &row.chinese_name, &row.implementation_date, &row.status})
      *cell = csv_cell_value(std::move(*cell));
  }
  return rows;
}

namespace {

// An export by its name and, for a workbook saved under another, its bytes.
Result<ListRows> read_export_file(const std::string& path, bool torn) {
  if (extension_of(path) == ".xlsx") return rows_of(read_xlsx_table(path, export_columns()));
  const bool json = extension_of(path) == ".json";
  std::string content;
  if (std::string why =
          read_bounded_file(native_path(path), json ? kJsonFileBytes : kCsvFileBytes, content);
      !why.empty())
    return failure(why);
  if (json) return read_json_export(content, torn);
  // A CSV file is read as lists are; a workbook by another name (an .xlsm the user saved, say)
  // as a workbook.
  if (list_kind(path, content) == ListKind::workbook) {
    if (content.size() > kWorkbookFileBytes) return failure(too_large_message(kWorkbookFileBytes));
    return rows_of(read_xlsx_bytes(content, export_columns()));
  }
  auto text = list_text_utf8(std::move(content));
  if (!text.ok()) return text.failed();
  return read_csv_export(*text);
}

}  // namespace

Result<ListRows> read_export(const std::string& path, bool torn) {
  auto rows = read_export_file(path, torn);
  if (!rows.ok()) return failure(tr("cannot read {1}: {2}", {path, rows.error()}));
  return rows;
}

bool is_valid_gbk(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) continue;
    if (lead == 0x80 || lead == 0xFF || i + 1 == bytes.size()) return false;
    const auto trail = static_cast<unsigned char>(bytes[++i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}

Result<TextEncoding> encoding_of(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    if (bytes.size() % 2 != 0) return failure(tr("UTF-16 cut short (an odd number of bytes)"));
    return bytes[0] == '\xFF' ? TextEncoding::utf16le : TextEncoding::utf16be;
  }
  // UTF-16 without a byte-order mark, or not text at all.
  if (bytes.find('\0') != std::string_view::npos)
    return failure(tr("it holds NUL bytes: not a text list (UTF-16 without a byte-order mark?)"));
  if (is_valid_utf8(bytes)) return TextEncoding::utf8;
  if (!is_valid_gbk(bytes))
    return failure(tr("its text is neither UTF-8, GBK nor UTF-16 with a byte-order mark"));
  return TextEncoding::gbk;
}

Result<std::string> utf16_to_utf8(std::string_view bytes, bool big_endian) {
  bool valid = bytes.size() % 2 == 0;
  std::string utf8;
  utf8.reserve(bytes.size() * 3 / 2);
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]),
               b = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      valid = false;
      c = 0xFFFD;
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | c >> 12);
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | c >> 18);
      utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  if (!valid) return failure(tr("its UTF-16 text is malformed (a lone surrogate)"));
  return utf8;
}

std::string utf8_to_utf16(std::string_view utf8, bool big_endian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  const auto put = [&](char32_t unit) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
      c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

Result<std::string> list_text_utf8(std::string bytes) {
  const auto encoding = encoding_of(bytes);
  if (!encoding.ok()) return encoding.failed();
  if (*encoding == TextEncoding::gbk) return gbk_to_utf8(bytes);
  if (*encoding == TextEncoding::utf8) return bytes;
  return utf16_to_utf8(bytes, *encoding == TextEncoding::utf16be);
}

ListKind list_kind(const std::string& name, std::string_view bytes) {
  if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06") ||
      bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
    return ListKind::workbook;
  const std::string extension = name.empty() || name == "-" ? "" : extension_of(name);
  if (extension == ".xlsx" || extension == ".xlsm") return ListKind::workbook;
  return extension == ".csv" ? ListKind::csv : ListKind::text;
}

Result<NumberList> read_list_numbers(std::string bytes, ListKind kind, const std::string& column,
                                     const std::string& sheet, const std::string& label) {
  const ColumnPick pick =
      label.empty() ? numbers_column(column) : with_label(numbers_column(column), label);
  Result<Table> table = failure({});
  if (kind == ListKind::workbook) {
    if (bytes.size() > kWorkbookFileBytes) return failure(too_large_message(kWorkbookFileBytes));
    table = read_xlsx_bytes(bytes, pick, sheet);
  } else {
    if (!sheet.empty()) return failure(tr("--sheet goes with a workbook list"));
    auto text = list_text_utf8(std::move(bytes));
    if (!text.ok()) return text.failed();
    table = read_csv_table(*text, pick);
  }
  if (!table.ok()) return table.failed();
  return numbers_of(*table);
}

}  // namespace stdlookup::lists

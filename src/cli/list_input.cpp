#include "list_input.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "input.h"
#include "output.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "table_builder.h"

namespace stdlookup::cli {

int column_of_reference(std::string_view reference) {
  int column = 0;
  std::size_t i = 0;
  for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
    column = column * 26 + (reference[i] - 'A' + 1);
    if (column > static_cast<int>(kSheetColumns)) return -1;  // past XFD; no overflow either
  }
  return i == 0 ? -1 : column - 1;
}

std::string extension_of(const std::string& path) {
  const std::u8string extension = native_path(path).extension().u8string();
  return to_lower(std::string(extension.begin(), extension.end()));
}

ColumnPick columns(std::size_t first, std::size_t count) {
  return [first, count](const std::vector<std::string>&, std::string&) {
    std::vector<std::size_t> picked(count);
    for (std::size_t i = 0; i < count; ++i) picked[i] = first + i;
    return picked;
  };
}

namespace {

// Our exports' four columns, as rows of a list.
ListRows rows_of(Table table) {
  ListRows result;
  result.error = std::move(table.error);
  result.rows.reserve(table.rows.size());
  for (auto& cells : table.rows) {
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
    if (depth_ == 0) return fail("not a JSON list of rows");
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
    return fail("not a JSON list of rows");
  }

 private:
  bool value() {
    field_ = nullptr;
    return depth_ > 0 || fail("not a JSON list of rows");
  }
  bool fail(const char* why) {
    if (result.error.empty()) result.error = why;
    return false;
  }

  static constexpr const char* kTooMuch = "more than a list of ours can hold (64 MiB)";
  std::size_t size_;
  int depth_ = 0;
  ListRow row_;
  std::string* field_ = nullptr;
  std::size_t bytes_ = 0;
};

}  // namespace

std::string_view trim_blanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

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

Table read_csv_table(std::string_view content, const ColumnPick& pick) {
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

ColumnPick numbers_column(std::string_view column) {
  return [wanted = std::string(column)](const std::vector<std::string>& header,
                                        std::string& error) -> std::vector<std::size_t> {
    const bool letters = !wanted.empty() && wanted.size() <= 3 &&
                         std::all_of(wanted.begin(), wanted.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                         });
    if (letters) {
      std::string upper = wanted;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const int index = column_of_reference(upper);
      if (index < 0) error = "no column " + upper + " (the last is XFD)";
      return {static_cast<std::size_t>(std::max(index, 0))};
    }
    const std::string title = wanted.empty() ? "标准号" : wanted;
    auto found = std::find_if(header.begin(), header.end(),
                              [&](const std::string& h) { return trim_blanks(h) == title; });
    if (found != header.end()) return {static_cast<std::size_t>(found - header.begin())};
    if (!wanted.empty()) error = "no column headed \"" + title + "\"";
    return {0};
  };
}

ColumnPick with_label(ColumnPick numbers, std::string_view label) {
  return
      [numbers = std::move(numbers), label_column = numbers_column(label)](
          const std::vector<std::string>& header, std::string& error) -> std::vector<std::size_t> {
        std::vector<std::size_t> picked = numbers(header, error);
        if (!error.empty()) return picked;
        const std::size_t column = label_column(header, error).front();
        if (!error.empty()) error = "--label: " + error;
        picked.push_back(column);
        return picked;
      };
}

NumberList numbers_of(const Table& table) {
  NumberList list;
  list.error = table.error;
  if (!list.error.empty()) return list;
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

ListRows read_json_export(std::string_view content) {
  ExportRowsReader reader(content.size());
  nlohmann::json::sax_parse(content, &reader);
  return std::move(reader.result);
}

ListRows read_csv_export(std::string_view content) {
  ListRows rows = rows_of(read_csv_table(content, columns(0, 4)));
  rows.cut_short = !content.empty() && content.back() != '\n' && content.back() != '\r';
  // The apostrophe our CSV puts before a cell a spreadsheet would run ("'=x") is not the value.
  for (ListRow& row : rows.rows) {
    for (std::string* cell :
         {&row.query, &row.number, &row.chinese_name, &row.implementation_date, &row.status})
      *cell = csv_cell_value(std::move(*cell));
  }
  return rows;
}

ListRows read_export(const std::string& path) {
  ListRows rows;
  if (extension_of(path) == ".xlsx") {
    rows = rows_of(read_xlsx_table(path, columns(0, 4)));
  } else {
    const bool json = extension_of(path) == ".json";
    std::string content;
    rows.error =
        read_bounded_file(native_path(path), json ? kJsonFileBytes : kCsvFileBytes, content);
    // A CSV file that is not UTF-8 is GBK, as for lists; JSON is UTF-8 by definition.
    if (rows.error.empty() && !json && !is_valid_utf8(content)) content = gbk_to_utf8(content);
    if (rows.error.empty()) rows = json ? read_json_export(content) : read_csv_export(content);
  }
  if (!rows.error.empty()) rows.error = "cannot read " + path + ": " + rows.error;
  return rows;
}

}  // namespace stdlookup::cli

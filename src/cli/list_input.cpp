#include "list_input.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "runtime/system.h"

namespace stdlookup::cli {

int column_of_reference(std::string_view reference) {
  int column = 0;
  std::size_t i = 0;
  for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i)
    column = column * 26 + (reference[i] - 'A' + 1);
  return i == 0 ? -1 : column - 1;
}

namespace {

bool has_extension(const std::string& path, std::string_view extension) {
  const std::u8string own = native_path(path).extension().u8string();
  std::string lower(own.begin(), own.end());
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == extension;
}

bool read_file(const std::string& path, std::string& content) {
  std::ifstream in(native_path(path), std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

std::string trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

Table read_csv_table(std::string_view content) {
  Table table;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    any = true;
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < content.size() && content[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(cell));
      cell.clear();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
      row.push_back(std::move(cell));
      cell.clear();
      table.rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      cell += c;
    }
  }
  if (any) {
    row.push_back(std::move(cell));
    table.rows.push_back(std::move(row));
  }
  return table;
}

NumberList numbers_of(const Table& table, std::string_view column) {
  NumberList list;
  if (!table.error.empty()) {
    list.error = table.error;
    return list;
  }
  const std::vector<std::string> none;
  const auto& header = table.rows.empty() ? none : table.rows.front();
  std::size_t index = 0;
  const bool letters = !column.empty() && column.size() <= 3 &&
                       std::all_of(column.begin(), column.end(), [](char c) {
                         return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                       });
  if (letters) {
    std::string upper(column);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    index = static_cast<std::size_t>(column_of_reference(upper));
  } else {
    const std::string wanted = column.empty() ? "标准号" : std::string(column);
    auto found = std::find_if(header.begin(), header.end(),
                              [&](const std::string& h) { return trimmed(h) == wanted; });
    if (found != header.end()) {
      index = static_cast<std::size_t>(found - header.begin());
    } else if (!column.empty()) {
      list.error = "no column headed \"" + wanted + "\"";
      return list;
    }
  }
  for (std::size_t r = 1; r < table.rows.size(); ++r) {
    const auto& cells = table.rows[r];
    if (index < cells.size() && !trimmed(cells[index]).empty())
      list.numbers.push_back(cells[index]);
  }
  return list;
}

ListRows read_export(const std::string& path) {
  ListRows result;
  const auto from_table = [&](const Table& table) {
    if (!table.error.empty()) {
      result.error = table.error;
      return;
    }
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
      std::vector<std::string> cells = table.rows[r];
      cells.resize(4);
      if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); }))
        continue;
      result.rows.push_back({cells[0], cells[0], cells[1], cells[2], cells[3]});
    }
  };
  if (has_extension(path, ".xlsx")) {
    from_table(read_xlsx_table(path));
    return result;
  }
  std::string content;
  if (!read_file(path, content)) {
    result.error = "cannot read " + path;
    return result;
  }
  if (has_extension(path, ".json")) {
    nlohmann::json rows = nlohmann::json::parse(content, nullptr, false);
    if (!rows.is_array()) {
      result.error = path + ": not a JSON list of rows";
      return result;
    }
    for (const auto& row : rows) {
      if (!row.is_object()) continue;
      const auto text = [&](const char* key) {
        auto it = row.find(key);
        return it != row.end() && it->is_string() ? it->get<std::string>() : std::string();
      };
      ListRow item{text("query"), text("number"), text("chinese_name"), text("implementation_date"),
                   text("status")};
      if (item.query.empty()) item.query = item.number;
      result.rows.push_back(std::move(item));
    }
    return result;
  }
  from_table(read_csv_table(content));
  return result;
}

}  // namespace stdlookup::cli

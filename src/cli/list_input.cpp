#include "list_input.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

// One entry's bytes; false when it is missing or damaged.
bool read_entry(zip_t* archive, const std::string& name, std::string& content) {
  zip_stat_t stat;
  if (zip_stat(archive, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return false;
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen(archive, name.c_str(), 0),
                                                          &zip_fclose);
  if (!file) return false;
  content.resize(static_cast<std::size_t>(stat.size));
  zip_int64_t n = content.empty() ? 0 : zip_fread(file.get(), content.data(), content.size());
  return n == static_cast<zip_int64_t>(content.size());
}

// A cell reference's column ("BC12" → 54), 0-based; -1 when there is none.
int column_of_reference(std::string_view reference) {
  int column = 0;
  std::size_t i = 0;
  for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i)
    column = column * 26 + (reference[i] - 'A' + 1);
  return i == 0 ? -1 : column - 1;
}

// All text of a string item (<si> or <is>), rich-text runs joined, phonetic runs left out.
std::string string_item(const pugi::xml_node& item) {
  std::string text;
  for (pugi::xml_node node : item.children()) {
    if (std::string_view(node.name()) == "t") text += node.text().get();
    if (std::string_view(node.name()) == "r") text += node.child("t").text().get();
  }
  return text;
}

// The first worksheet's part name, through the workbook's relationships.
std::string first_sheet_part(zip_t* archive) {
  std::string workbook, relations;
  pugi::xml_document book, rels;
  if (!read_entry(archive, "xl/workbook.xml", workbook) ||
      !book.load_buffer(workbook.data(), workbook.size()))
    return {};
  const char* id = book.child("workbook").child("sheets").child("sheet").attribute("r:id").value();
  if (read_entry(archive, "xl/_rels/workbook.xml.rels", relations) &&
      rels.load_buffer(relations.data(), relations.size())) {
    for (pugi::xml_node rel : rels.child("Relationships").children("Relationship")) {
      if (std::string_view(rel.attribute("Id").value()) != id) continue;
      std::string target = rel.attribute("Target").value();
      if (target.starts_with('/')) return target.substr(1);
      return "xl/" + target;
    }
  }
  return "xl/worksheets/sheet1.xml";
}

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

Table read_xlsx_table(const std::string& path) {
  Table table;
  std::string head;
  if (std::ifstream in(native_path(path), std::ios::binary); in) {
    head.resize(8);
    in.read(head.data(), 8);
    head.resize(static_cast<std::size_t>(in.gcount()));
  } else {
    table.error = "cannot read " + path;
    return table;
  }
  // Encrypted workbooks are OLE compound files, not zip archives.
  if (head.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    table.error = path + ": protected by a password (or an old .xls): save it as .xlsx without one";
    return table;
  }
  int code = 0;
  Archive archive(zip_open(native_path(path).string().c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code),
                  &zip_discard);
  const std::string sheet_part = archive ? first_sheet_part(archive.get()) : std::string();
  std::string sheet_xml, strings_xml;
  pugi::xml_document sheet, strings;
  if (!archive || sheet_part.empty() || !read_entry(archive.get(), sheet_part, sheet_xml) ||
      !sheet.load_buffer(sheet_xml.data(), sheet_xml.size())) {
    table.error = path + ": not a readable workbook (damaged?)";
    return table;
  }
  std::vector<std::string> shared;
  if (read_entry(archive.get(), "xl/sharedStrings.xml", strings_xml) &&
      strings.load_buffer(strings_xml.data(), strings_xml.size())) {
    for (pugi::xml_node item : strings.child("sst").children("si"))
      shared.push_back(string_item(item));
  }
  for (pugi::xml_node row : sheet.child("worksheet").child("sheetData").children("row")) {
    // Rows and cells may skip empty ones; their references say where they go.
    std::size_t index = table.rows.size();
    if (int r = row.attribute("r").as_int(0); r > 0) index = static_cast<std::size_t>(r - 1);
    if (index >= table.rows.size()) table.rows.resize(index + 1);
    auto& cells = table.rows[index];
    for (pugi::xml_node cell : row.children("c")) {
      int column = column_of_reference(cell.attribute("r").value());
      if (column < 0) column = static_cast<int>(cells.size());
      const std::string_view type = cell.attribute("t").value();
      std::string text;
      if (type == "s") {
        const std::size_t at = static_cast<std::size_t>(cell.child("v").text().as_ullong(~0ull));
        if (at < shared.size()) text = shared[at];
      } else if (type == "inlineStr") {
        text = string_item(cell.child("is"));
      } else {
        text = cell.child("v").text().get();
      }
      if (cells.size() <= static_cast<std::size_t>(column))
        cells.resize(static_cast<std::size_t>(column) + 1);
      cells[static_cast<std::size_t>(column)] = std::move(text);
    }
  }
  return table;
}

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

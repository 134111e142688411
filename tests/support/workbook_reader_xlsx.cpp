// Our own reader of the workbooks the writer produces (libzip and pugixml), for where no Python
// runs. It answers as read_workbook.py does through openpyxl: the first sheet's cells from A1 to
// the last row and column that hold a cell, missing ones as empty "General" cells.
#include <zip.h>

#include <map>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string_view>
#include <vector>

#include "support/workbook_reader.h"

namespace stdlookup::test {
namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

// An entry's bytes; false when it is missing or damaged (a CRC error shows on the last read).
bool read_entry(zip_t* archive, const std::string& name, std::string& content) {
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen(archive, name.c_str(), 0),
                                                          &zip_fclose);
  if (!file) return false;
  content.clear();
  char buffer[65536];
  zip_int64_t n;
  while ((n = zip_fread(file.get(), buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return n == 0;
}

bool load(zip_t* archive, const std::string& name, pugi::xml_document& document) {
  std::string content;
  return read_entry(archive, name, content) && document.load_buffer(content.data(), content.size());
}

// Text of a string item: its <t>, or its rich-text runs joined (phonetic runs left out).
std::string item_text(const pugi::xml_node& item) {
  std::string text = item.child("t").text().get();
  for (pugi::xml_node run : item.children("r")) text += run.child("t").text().get();
  return text;
}

// The formats of the built-in ids that a writer may use without declaring them.
std::string builtin_format(int id) {
  static const std::map<int, std::string> formats = {
      {0, "General"},   {1, "0"},         {2, "0.00"},         {3, "#,##0"},
      {4, "#,##0.00"},  {9, "0%"},        {10, "0.00%"},       {11, "0.00E+00"},
      {14, "mm-dd-yy"}, {15, "d-mmm-yy"}, {16, "d-mmm"},       {17, "mmm-yy"},
      {20, "h:mm"},     {21, "h:mm:ss"},  {22, "m/d/yy h:mm"}, {49, "@"}};
  auto found = formats.find(id);
  return found == formats.end() ? "General" : found->second;
}

// Number format of each cell style (the s attribute indexes cellXfs).
std::vector<std::string> style_formats(zip_t* archive) {
  pugi::xml_document styles;
  std::vector<std::string> result;
  if (!load(archive, "xl/styles.xml", styles)) return result;
  pugi::xml_node sheet = styles.child("styleSheet");
  std::map<int, std::string> custom;
  for (pugi::xml_node format : sheet.child("numFmts").children("numFmt")) {
    custom[format.attribute("numFmtId").as_int()] = format.attribute("formatCode").value();
  }
  for (pugi::xml_node xf : sheet.child("cellXfs").children("xf")) {
    int id = xf.attribute("numFmtId").as_int();
    result.push_back(custom.count(id) ? custom[id] : builtin_format(id));
  }
  return result;
}

// "B12" → row 12, column 2; false when it is not a cell reference.
bool parse_reference(std::string_view ref, int& row, int& column) {
  std::size_t i = 0;
  column = 0;
  for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
    column = column * 26 + ref[i] - 'A' + 1;
  row = 0;
  for (std::size_t j = i; j < ref.size(); ++j) {
    if (ref[j] < '0' || ref[j] > '9') return false;
    row = row * 10 + ref[j] - '0';
  }
  return i > 0 && i < ref.size() && row > 0;
}

std::string reference(int row, int column) {
  std::string letters;
  for (; column > 0; column = (column - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
  }
  return letters + std::to_string(row);
}

nlohmann::json number(const std::string& text) {
  if (text.find_first_of(".eE") == std::string::npos) return std::stoll(text);
  return std::stod(text);
}

nlohmann::json error(const std::string& what) {
  return {{"error", what}};
}

}  // namespace

nlohmann::json read_workbook_xml(const std::string& path) {
  int code = 0;
  Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code), &zip_discard);
  if (!archive) return error("not a zip archive: " + path);
  pugi::xml_document book, relations, sheet;
  if (!load(archive.get(), "xl/workbook.xml", book)) return error("no xl/workbook.xml");
  pugi::xml_node sheets = book.child("workbook").child("sheets");
  const std::string first_id = sheets.child("sheet").attribute("r:id").value();
  std::string part;
  if (load(archive.get(), "xl/_rels/workbook.xml.rels", relations)) {
    for (pugi::xml_node rel : relations.child("Relationships").children("Relationship")) {
      if (rel.attribute("Id").value() != first_id) continue;
      std::string target = rel.attribute("Target").value();
      part = target.rfind('/', 0) == 0 ? target.substr(1) : "xl/" + target;
    }
  }
  if (part.empty() || !load(archive.get(), part, sheet)) return error("no first worksheet");

  std::vector<std::string> shared;
  pugi::xml_document strings;
  if (load(archive.get(), "xl/sharedStrings.xml", strings)) {
    for (pugi::xml_node item : strings.child("sst").children("si")) {
      shared.push_back(item_text(item));
    }
  }
  const std::vector<std::string> formats = style_formats(archive.get());

  std::map<std::pair<int, int>, nlohmann::json> found;
  int max_row = 1, max_column = 1;
  for (pugi::xml_node row_node : sheet.child("worksheet").child("sheetData").children("row")) {
    int row = row_node.attribute("r").as_int(), column = 0;
    for (pugi::xml_node c : row_node.children("c")) {
      if (!parse_reference(c.attribute("r").value(), row, column)) ++column;  // r may be left out
      const std::string type = c.attribute("t").as_string("n");
      const std::string v = c.child_value("v");
      nlohmann::json cell = {{"value", nullptr}, {"type", "n"}, {"format", "General"}};
      std::size_t style = c.attribute("s").as_uint();
      if (style < formats.size()) cell["format"] = formats[style];
      if (c.child("f")) {
        cell = {{"value", std::string("=") + c.child_value("f")},
                {"type", "f"},
                {"format", cell["format"]}};
      } else if (type == "s" && !v.empty()) {
        std::size_t index = std::stoul(v);
        if (index >= shared.size()) return error("shared string " + v + " is missing");
        cell["value"] = shared[index];
        cell["type"] = "s";
      } else if (type == "inlineStr" || type == "str") {
        cell["value"] = type == "str" ? v : item_text(c.child("is"));
        cell["type"] = "s";
      } else if (type == "b" && !v.empty()) {
        cell["value"] = v == "1";
        cell["type"] = "b";
      } else if (type == "e") {
        cell["value"] = v;
        cell["type"] = "e";
      } else if (!v.empty()) {
        cell["value"] = number(v);
      }
      found[{row, column}] = cell;
      max_row = std::max(max_row, row);
      max_column = std::max(max_column, column);
    }
  }

  nlohmann::json cells = nlohmann::json::object();
  if (!found.empty()) {
    const nlohmann::json empty = {{"value", nullptr}, {"type", "n"}, {"format", "General"}};
    for (int row = 1; row <= max_row; ++row) {
      for (int column = 1; column <= max_column; ++column) {
        auto cell = found.find({row, column});
        cells[reference(row, column)] = cell == found.end() ? empty : cell->second;
      }
    }
  }
  return {
      {"sheets", std::distance(sheets.children("sheet").begin(), sheets.children("sheet").end())},
      {"max_row", max_row},
      {"max_column", max_column},
      {"cells", cells}};
}

std::map<std::string, std::string> read_package(const std::string& path) {
  std::map<std::string, std::string> parts;
  int code = 0;
  Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code), &zip_discard);
  if (!archive) return parts;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
    const std::string name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
    if (!read_entry(archive.get(), name, parts[name])) return {};
  }
  return parts;
}

std::map<std::string, std::string> cell_elements(const std::string& sheet_xml) {
  std::map<std::string, std::string> cells;
  pugi::xml_document sheet;
  sheet.load_buffer(sheet_xml.data(), sheet_xml.size());
  for (pugi::xml_node row : sheet.child("worksheet").child("sheetData").children("row")) {
    for (pugi::xml_node c : row.children("c")) {
      std::ostringstream printed;
      c.print(printed, "", pugi::format_raw);
      cells[c.attribute("r").value()] = printed.str();
    }
  }
  return cells;
}

std::string cell_fill(const std::string& path, const std::string& reference) {
  int code = 0;
  Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code), &zip_discard);
  pugi::xml_document styles, sheet;
  if (!archive || !load(archive.get(), "xl/styles.xml", styles) ||
      !load(archive.get(), "xl/worksheets/sheet1.xml", sheet))
    return {};
  int style = 0;
  for (pugi::xml_node row : sheet.child("worksheet").child("sheetData").children("row")) {
    for (pugi::xml_node c : row.children("c")) {
      if (reference == c.attribute("r").value()) style = c.attribute("s").as_int();
    }
  }
  const pugi::xml_node root = styles.child("styleSheet");
  auto xf = root.child("cellXfs").children("xf").begin();
  for (int i = 0; i < style && xf != root.child("cellXfs").children("xf").end(); ++i) ++xf;
  auto fill = root.child("fills").children("fill").begin();
  for (int i = 0; i < xf->attribute("fillId").as_int(); ++i) ++fill;
  return fill->child("patternFill").child("fgColor").attribute("rgb").value();
}

}  // namespace stdlookup::test

// Workbooks through libzip and pugixml.
#include <zip.h>

#include <fstream>
#include <memory>
#include <pugixml.hpp>

#include "list_input.h"
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

}  // namespace stdlookup::cli

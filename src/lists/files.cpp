#include "lists/files.h"

#include <filesystem>

#include "lists/list_input.h"
#include "lists/output.h"
#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "workbook/cell.h"

namespace stdlookup::lists {

using namespace workbook;

std::string cut_cell_warning(const std::string& path, int row, const std::string& query) {
  // TRANSLATORS: {1} the file, {2} the sheet row, {3} the standard number, {4} the limit.
  return tr("{1}: row {2} ({3}): a cell over {4} characters was cut to fit, ending in \"…\"",
            {table_cell(path), std::to_string(row), table_cell(query),
             std::to_string(kCellCharacterLimit)});
}

workbook::Status output_problem(const std::string& path) {
  const std::string extension = extension_of(path);
  if (extension != ".xlsx" && extension != ".csv" && extension != ".json") {
    return workbook::failure(
        tr("--output {1}: unknown extension; use .xlsx, .csv or .json, or - for stdout",
           {table_cell(path)}));
  }
  // Said in words of our own: the system's error numbers differ between platforms.
  if (Text problem = replacement_problem(path); !problem.empty())
    return workbook::failure(tr("cannot write {1}: {2}", {table_cell(path), gbk_to_utf8(problem)}));
  return {};
}

workbook::Status open_elsewhere(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const std::string& file : {path, linked_file(path)}) {
    const fs::path native = native_path(file);
    const std::u8string name = native.filename().u8string();
    const auto lock = [&](std::u8string_view before, std::u8string_view after) {
      return fs::exists(
          native.parent_path() / (std::u8string(before) + name + std::u8string(after)), error);
    };
    if (lock(u8".~lock.", u8"#"))
      return workbook::failure(tr("the list is open in LibreOffice: close it first"));
    if (lock(u8"~$", u8""))
      return workbook::failure(tr("the list is open in Excel or WPS: close it first"));
  }
  return {};
}

}  // namespace stdlookup::lists

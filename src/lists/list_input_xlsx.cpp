// The list sheet of a workbook read into a table.
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <memory>

#include "lists/input.h"
#include "lists/list_input.h"
#include "lists/table_builder.h"
#include "runtime/bounded_file.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "workbook/package.h"

namespace stdlookup::lists {

using namespace workbook;

namespace {

// The cells of a worksheet into a table. Rows and cells may skip empty ones; their references say
// where they go, and a missing reference means the next.
class SheetCells final : public XmlHandler {
 public:
  SheetCells(TableBuilder& table, const SharedStrings& shared) : table_(table), shared_(shared) {}

  void open(const XmlElement& element) override {
    const std::string_view name = element.name;
    if (name == "row") {
      const std::string_view r = element.attribute("r");
      std::uint64_t number = 0;
      const auto [end, error] = std::from_chars(r.data(), r.data() + r.size(), number);
      if (error == std::errc::result_out_of_range) number = ~std::uint64_t{0};
      row_ = number > 0 && end == r.data() + r.size() ? number - 1 : next_row_;
      next_row_ = row_ + 1;
      next_column_ = 0;
    } else if (name == "c") {
      const std::string_view r = element.attribute("r");
      const int column = column_of_reference(r);
      // A reference past XFD is no column; it is past the sheet's limits.
      column_ = column >= 0                                ? static_cast<std::uint64_t>(column)
                : !r.empty() && r[0] >= 'A' && r[0] <= 'Z' ? kSheetColumns
                                                           : next_column_;
      next_column_ = column_ + 1;
      in_cell_ = table_.wants(row_, column_);
      type_ = in_cell_ ? element.attribute("t") : std::string_view();
      value_.clear();
      inline_.clear();
    } else if (in_cell_ && name == "v") {
      in_value_ = true;
    } else if (in_cell_ && name == "is") {
      in_inline_ = true;
    } else if (in_inline_) {
      inline_.open(name);
    }
  }
  void close(const XmlElement& element) override {
    const std::string_view name = element.name;
    if (name == "v") {
      in_value_ = false;
    } else if (name == "is") {
      in_inline_ = false;
    } else if (in_inline_) {
      inline_.close(name);
    } else if (name == "c" && in_cell_) {
      in_cell_ = false;
      std::string text;
      if (type_ == "s") {
        std::size_t index = ~std::size_t{0};
        std::from_chars(value_.data(), value_.data() + value_.size(), index);
        text = shared_.at(index);
      } else if (type_ == "inlineStr") {
        text = inline_.take();
      } else {
        text = std::move(value_);
      }
      // Text that is not UTF-8 would reach the outputs (JSON refuses it) as it is.
      cut_cell(text);
      if (!is_valid_utf8(text)) table_.fail(tr("a cell that is not UTF-8 text (damaged?)"));
      table_.add(row_, column_, std::move(text));
    }
  }
  void text(std::string_view text) override {
    if (in_value_) StringItem::append_capped(value_, text);
    if (in_inline_) inline_.text(text);
  }

 private:
  TableBuilder& table_;
  const SharedStrings& shared_;
  std::uint64_t row_ = 0, next_row_ = 0, column_ = 0, next_column_ = 0;
  bool in_cell_ = false, in_value_ = false, in_inline_ = false;
  std::string type_, value_;
  StringItem inline_;
};

}  // namespace

namespace {

// The cells of the sheet in `part` into `table`; with `first_rows_only`, only until the header
// row is chosen. `*inflated` (when given) counts the bytes inflated, and stops the reading past
// `limit`.
std::string read_sheet(zip_t* archive, const std::string& part, std::uint64_t limit,
                       const SharedStrings& shared, TableBuilder& table, bool first_rows_only,
                       std::uint64_t* inflated = nullptr) {
  SheetCells cells(table, shared);
  XmlReader reader(cells);
  const std::string failure = inflate_part(archive, part, limit, [&](std::string_view chunk) {
    if (inflated != nullptr && (*inflated += chunk.size()) > limit) return false;
    return reader.feed(chunk).ok() && !(first_rows_only && table.picked());
  });
  if (first_rows_only && table.picked()) return {};
  return !failure.empty() ? failure : reader.finish().error();
}

std::string names_of(const std::vector<const SheetEntry*>& sheets) {
  std::string names;
  for (const SheetEntry* sheet : sheets)
    names += (names.empty() ? "\"" : ", \"") + sheet->name + "\"";
  return names;
}

// The list's sheet: the one `wanted` names, else the only one whose first rows hold the column
// `pick` looks for (found by its header rather than by its numbers, where some are); "" or why
// there is none.
std::string choose_sheet(zip_t* archive, std::uint64_t limit, const SharedStrings& shared,
                         const ColumnPick& pick, const std::string& wanted, std::string& part) {
  const std::vector<SheetEntry> sheets = sheets_of(archive, limit);
  if (sheets.empty()) return tr(kDamaged);
  std::vector<const SheetEntry*> all;
  for (const SheetEntry& sheet : sheets) all.push_back(&sheet);
  if (!wanted.empty()) {
    for (const SheetEntry& sheet : sheets) {
      if (sheet.name == wanted) return part = sheet.part, "";
    }
    std::size_t place = 0;
    const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), place);
    if (error != std::errc() || end != wanted.data() + wanted.size()) place = 0;
    if (place >= 1 && place <= sheets.size()) return part = sheets[place - 1].part, "";
    return tr("--sheet {1}: no such sheet (it has {2})", {wanted, names_of(all)});
  }
  if (sheets.size() == 1) return part = sheets.front().part, "";
  std::vector<const SheetEntry*> named, numbered;
  // All the sheets' first rows together are read within what one part may inflate to.
  std::uint64_t inflated = 0;
  for (const SheetEntry& sheet : sheets) {
    TableBuilder probe(pick);
    const std::string failure =
        read_sheet(archive, sheet.part, limit, shared, probe, true, &inflated);
    if (inflated > limit) {
      return tr("its sheets inflate to more than {1} MiB (a zip bomb?)",
                {std::to_string(limit >> 20)});
    }
    if (!failure.empty()) continue;
    const auto first = probe.finish();
    if (!first.ok() || first->columns.empty()) continue;
    (first->header_row != kNoHeader && probe.named() ? named : numbered).push_back(&sheet);
  }
  const auto& found = named.empty() ? numbered : named;
  if (found.size() == 1) return part = found.front()->part, "";
  if (found.empty())
    return tr(
        "none of its sheets ({1}) has a column of standard numbers in its first rows: choose "
        "the sheet with --sheet NAME or --sheet N",
        {names_of(all)});
  return tr(
      "its sheets {1} all have a column of standard numbers: choose one with --sheet NAME or "
      "--sheet N",
      {names_of(found)});
}

}  // namespace

Result<Table> read_xlsx_bytes(std::string_view bytes, const ColumnPick& pick,
                              const std::string& sheet) {
  std::string opening;
  Archive archive = open_archive(bytes, opening);
  if (!archive) return failure(opening);
  const std::uint64_t limit = part_limit(bytes.size());

  SharedStrings shared;
  XmlReader strings_reader(shared);
  bool no_strings = false;
  std::string failure =
      scan_part(archive.get(), "xl/sharedStrings.xml", limit, strings_reader, &no_strings);
  if (no_strings) failure.clear();
  if (failure.empty()) failure = shared.error;
  if (!failure.empty()) return workbook::failure(failure);

  std::string part;
  if (failure = choose_sheet(archive.get(), limit, shared, pick, sheet, part); !failure.empty())
    return workbook::failure(failure);
  TableBuilder table(pick);
  failure = read_sheet(archive.get(), part, limit, shared, table, false);
  if (!failure.empty() && table.error().empty()) table.fail(failure);
  auto read = table.finish();
  if (read.ok()) read->sheet_part = part;
  return read;
}

Result<Table> read_xlsx_table(const std::string& path, const ColumnPick& pick,
                              const std::string& sheet) {
  std::string bytes;
  if (std::string failure = read_bounded_file(native_path(path), kWorkbookFileBytes, bytes);
      !failure.empty()) {
    return workbook::failure(failure);
  }
  return read_xlsx_bytes(bytes, pick, sheet);
}

}  // namespace stdlookup::lists

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
#include "workbook/sheet_walk.h"

namespace stdlookup::lists {

using namespace workbook;

namespace {

// The walk's cells into a table (rows 0-based there).
class TableCells final : public SheetVisitor {
 public:
  explicit TableCells(TableBuilder& table) : table_(table) {}
  bool wants(std::size_t row, std::size_t column) override { return table_.wants(row - 1, column); }
  void cell(SheetCell& cell) override {
    table_.add(cell.row - 1, cell.column, std::move(cell.text));
  }
  void damaged(std::string why) override { table_.fail(std::move(why)); }

 private:
  TableBuilder& table_;
};

// The cells of the sheet in `part` into `table`; with `first_rows_only`, only until the header
// row is chosen. `*inflated` (when given) counts the bytes inflated, and stops the reading past
// `limit`.
Status read_sheet(const OpenedWorkbook& book, const std::string& part, TableBuilder& table,
                  bool first_rows_only, std::uint64_t* inflated = nullptr) {
  TableCells cells(table);
  SheetWalk walk(book.strings, cells);
  XmlReader reader(walk);
  Status fed;
  const Status read =
      inflate_part(book.archive.get(), part, book.limit, [&](std::string_view chunk) {
        if (inflated != nullptr && (*inflated += chunk.size()) > book.limit) return false;
        fed = reader.feed(chunk);
        return fed.ok() && !(first_rows_only && table.picked());
      });
  if (first_rows_only && table.picked()) return {};
  if (!fed.ok()) return fed;
  return read.ok() ? reader.finish() : read;
}

std::string names_of(const std::vector<const SheetEntry*>& sheets) {
  std::string names;
  for (const SheetEntry* sheet : sheets)
    names += (names.empty() ? "\"" : ", \"") + sheet->name + "\"";
  return names;
}

// The sheet `wanted` names, by its name or its 1-based place.
Result<std::string> named_sheet(const std::vector<SheetEntry>& sheets, const std::string& wanted) {
  for (const SheetEntry& sheet : sheets) {
    if (sheet.name == wanted) return sheet.part;
  }
  const std::size_t place = number_of(wanted, 0);
  if (place >= 1 && place <= sheets.size()) return sheets[place - 1].part;
  std::vector<const SheetEntry*> all;
  for (const SheetEntry& sheet : sheets) all.push_back(&sheet);
  return failure(tr("--sheet {1}: no such sheet (it has {2})", {wanted, names_of(all)}));
}

}  // namespace

Result<OpenedWorkbook> open_workbook(std::string_view bytes) {
  auto archive = open_archive(bytes);
  if (!archive.ok()) return archive.failed();
  // Parts encrypted within the zip file can be neither read nor copied faithfully.
  const zip_int64_t entries = zip_get_num_entries(archive->get(), 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive->get(), static_cast<zip_uint64_t>(i), 0, &stat) != 0)
      return failure(tr(kDamaged));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
      return failure(tr("parts of it are encrypted: save it without a password"));
  }
  OpenedWorkbook opened{std::move(*archive), part_limit(bytes.size()), {}, {}};
  auto book = read_book(opened.archive.get(), opened.limit);
  if (!book.ok()) return book.failed();
  opened.book = std::move(*book);
  if (opened.book.sheets.empty()) return failure(tr(kDamaged));
  auto strings = read_shared_strings(opened.archive.get(), opened.limit);
  if (!strings.ok()) return strings.failed();
  opened.strings = std::move(*strings);
  return opened;
}

Result<std::string> list_sheet(const OpenedWorkbook& book, const ColumnPick& pick,
                               const std::string& wanted) {
  const std::vector<SheetEntry>& sheets = book.book.sheets;
  if (!wanted.empty()) return named_sheet(sheets, wanted);
  if (sheets.size() == 1) return sheets.front().part;
  std::vector<const SheetEntry*> all, named, numbered;
  // All the sheets' first rows together are read within what one part may inflate to.
  std::uint64_t inflated = 0;
  for (const SheetEntry& sheet : sheets) {
    all.push_back(&sheet);
    TableBuilder probe(pick);
    const Status read = read_sheet(book, sheet.part, probe, true, &inflated);
    if (inflated > book.limit) {
      return failure(tr("its sheets inflate to more than {1} MiB (a zip bomb?)",
                        {std::to_string(book.limit >> 20)}));
    }
    const auto first = probe.finish();
    if (!read.ok() || !first.ok() || first->columns.empty()) continue;
    (first->header_row != kNoHeader && probe.named() ? named : numbered).push_back(&sheet);
  }
  const auto& found = named.empty() ? numbered : named;
  if (found.size() == 1) return found.front()->part;
  if (found.empty()) {
    return failure(
        tr("none of its sheets ({1}) has a column of standard numbers in its first rows: choose "
           "the sheet with --sheet NAME or --sheet N",
           {names_of(all)}));
  }
  return failure(
      tr("its sheets {1} all have a column of standard numbers: choose one with --sheet NAME or "
         "--sheet N",
         {names_of(found)}));
}

Result<Table> first_rows(std::string_view sheet, const SharedStrings& strings,
                         const ColumnPick& pick) {
  TableBuilder table(pick);
  TableCells cells(table);
  SheetWalk walk(strings, cells);
  XmlReader reader(walk);
  constexpr std::size_t kChunk = 1 << 16;
  for (std::size_t at = 0; at < sheet.size() && !table.picked(); at += kChunk) {
    if (Status fed = reader.feed(sheet.substr(at, kChunk)); !fed.ok()) return fed.failed();
  }
  return table.finish();
}

Result<Table> read_xlsx_bytes(std::string_view bytes, const ColumnPick& pick,
                              const std::string& sheet) {
  const auto book = open_workbook(bytes);
  if (!book.ok()) return book.failed();
  const auto part = list_sheet(*book, pick, sheet);
  if (!part.ok()) return part.failed();
  TableBuilder table(pick);
  if (const Status read = read_sheet(*book, *part, table, false);
      !read.ok() && table.error().empty())
    table.fail(read.error());
  auto read = table.finish();
  if (read.ok()) read->sheet_part = *part;
  return read;
}

Result<Table> read_xlsx_table(const std::string& path, const ColumnPick& pick,
                              const std::string& sheet) {
  std::string bytes;
  if (std::string why = read_bounded_file(native_path(path), kWorkbookFileBytes, bytes);
      !why.empty())
    return failure(why);
  return read_xlsx_bytes(bytes, pick, sheet);
}

}  // namespace stdlookup::lists

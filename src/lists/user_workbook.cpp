// The user's own workbook with the results written into it. The list sheet's XML and, when a
// fill or a bold header is needed, styles.xml are edited in place; every other part is copied
// as it is, compressed data included. The new file replaces the old only once it reads back
// with the results in their cells and every other part unchanged.
#include <zip.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "lists/columns.h"
#include "lists/files.h"
#include "lists/list_input.h"
#include "lists/user_list.h"
#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "workbook/check.h"
#include "workbook/package.h"
#include "workbook/rebuild.h"
#include "workbook/sheet_edit.h"

namespace stdlookup::lists {

using namespace workbook;
namespace {

constexpr std::size_t kLookupDate = 3;
constexpr const char* kChanged =
    tr_noop("the workbook was changed since it was read: run the update again");

// Shows `pick` each element opened at `depth`; where those it picks lie, from their start tag to
// the end of their end tag, as splices that remove them.
class ElementSpans final : public XmlHandler {
 public:
  using Pick = std::function<bool(const XmlElement& element)>;
  ElementSpans(std::size_t depth, Pick pick) : depth_(depth), pick_(std::move(pick)) {}
  std::vector<Splice> spans;

  void open(const XmlElement& element) override {
    if (depth_now_++ == depth_ && pick_(element)) picked_ = true, begin_ = element.begin;
  }
  void close(const XmlElement& element) override {
    if (--depth_now_ == depth_ && std::exchange(picked_, false))
      spans.push_back({begin_, element.end, {}});
  }

 private:
  std::size_t depth_, depth_now_ = 0, begin_ = 0;
  Pick pick_;
  bool picked_ = false;
};

// `content` without the elements at depth 1 that `unwanted` picks; as it is when unreadable.
std::string without_elements(const std::string& content, ElementSpans::Pick unwanted) {
  ElementSpans elements(1, std::move(unwanted));
  XmlReader reader(elements);
  if (!reader.feed(content).ok() || !reader.finish().ok()) return content;
  return apply_splices(content, std::move(elements.spans));
}

// A workbook read for updating, each part once: its bytes, the book, the list sheet and its
// map, the styles.
struct Workbook {
  std::string bytes;
  Book book;
  std::string sheet_part, sheet;
  std::string content_types;
  SheetMap map;
  StylesEditor styles;
};

constexpr const char* kNoHeaderRow = tr_noop(
    "it has no header row (standard numbers from its first row on): add a header row, e.g. "
    "标准号, above the numbers, so that the results have columns to go to");

// The list sheet, its header row and numbers column as the batch finds them in its first rows.
Result<Table> list_layout(const OpenedWorkbook& opened, Workbook& book, const std::string& column,
                          const std::string& sheet) {
  if (opened.book.strict)
    return failure(tr("saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)"));
  const ColumnPick pick = numbers_column(column);
  auto part = list_sheet(opened, pick, sheet);
  if (!part.ok()) return part.failed();
  book.sheet_part = std::move(*part);
  auto content = read_part(opened.archive.get(), book.sheet_part, opened.limit);
  if (!content.ok()) return content.failed();
  book.sheet = std::move(*content);
  auto layout = first_rows(book.sheet, opened.strings, pick);
  if (!layout.ok()) return layout;
  if (layout->columns.empty()) return failure(tr("it holds no standard numbers"));
  if (layout->header_row == kNoHeader) return failure(tr(kNoHeaderRow));
  return layout;
}

// The parts the edit needs besides the sheet: the content types, the styles.
Status read_edited_parts(const OpenedWorkbook& opened, Workbook& book) {
  auto types = read_part(opened.archive.get(), "[Content_Types].xml", opened.limit);
  if (!types.ok()) return types.failed();
  book.content_types = std::move(*types);
  if (!has_part(opened.archive.get(), book.book.styles_part))
    return failure(tr("it has no styles part, which the update needs"));
  auto styles = read_part(opened.archive.get(), book.book.styles_part, opened.limit);
  if (!styles.ok()) return styles.failed();
  return book.styles.load(std::move(*styles));
}

Result<Workbook> read_workbook(std::string bytes, const std::string& column,
                               const std::string& sheet) {
  Workbook book;
  book.bytes = std::move(bytes);
  auto opened = open_workbook(book.bytes);
  if (!opened.ok()) return opened.failed();
  book.book = opened->book;
  const auto layout = list_layout(*opened, book, column, sheet);
  if (!layout.ok()) return layout.failed();
  if (const Status read = read_edited_parts(*opened, book); !read.ok()) return read.failed();
  auto map = map_sheet(book.sheet, opened->strings, book.styles.info(book.book.date1904),
                       kResultHeaders, layout->header_row + 1, layout->columns.front());
  if (!map.ok()) return map.failed();
  book.map = std::move(*map);
  return book;
}

Result<std::string> read_file(const std::string& path, std::uint64_t limit) {
  std::string bytes;
  if (std::string why = read_bounded_file(native_path(path), limit, bytes); !why.empty())
    return failure(why);
  return bytes;
}

std::size_t hash_of(std::string_view bytes) {
  return std::hash<std::string_view>{}(bytes);
}

// What goes into the result cells of each line: changed values highlighted; a line looked up
// again loses an earlier run's highlight, also one whose lookup failed (`failed`).
std::vector<RowWrites> writes_of(const SheetMap& map,
                                 const std::vector<std::optional<ResultValues>>& results,
                                 const std::vector<bool>& failed) {
  std::vector<RowWrites> writes(map.lines.size());
  for (std::size_t i = 0; i < map.lines.size() && i < results.size(); ++i) {
    if (!results[i]) {
      if (i < failed.size() && failed[i]) {
        for (CellWrite& cell : writes[i]) cell.restore = true;
      }
      continue;
    }
    const ResultValues& r = *results[i];
    const std::array<const std::string*, kResultColumns> values = {
        &r.chinese_name, &r.implementation_date, &r.status, &r.lookup_date};
    for (std::size_t kind = 0; kind < kResultColumns; ++kind) {
      const CellSpot& spot = map.lines[i].results[kind];
      std::string value = cell_text(*values[kind]);
      CellWrite& cell = writes[i][kind];
      cell.restore = true;
      if (!spot.formula && spot.value == value && (spot.present || value.empty())) continue;
      cell.write = true;
      cell.highlight = kind != kLookupDate && spot.value != value;
      cell.value = std::move(value);
    }
  }
  return writes;
}

// The parts the edit replaces and removes.
struct EditedParts {
  std::map<std::string, std::string> replaced;
  std::vector<std::string> removed;
};

EditedParts edited_parts(const Workbook& book, const std::vector<RowWrites>& writes) {
  EditedParts parts;
  StylesEditor styles = book.styles;  // the book stays as it was read
  EditedSheet sheet = edit_sheet(book.sheet, book.map, writes, kResultHeaders, styles);
  parts.replaced[book.sheet_part] = std::move(sheet.text);
  if (styles.changed()) parts.replaced[book.book.styles_part] = styles.result();
  const std::string& chain = book.book.calc_chain_part;
  if (sheet.formula_replaced && !chain.empty()) {
    // The calculation chain lists formula cells; the application makes it again when missing.
    parts.removed.push_back(chain);
    parts.replaced["xl/_rels/workbook.xml.rels"] =
        without_elements(book.book.relations, [](const XmlElement& element) {
          return element.attribute("Type").ends_with("/calcChain");
        });
    parts.replaced["[Content_Types].xml"] = without_elements(
        book.content_types,
        [&](const XmlElement& element) { return element.attribute("PartName") == "/" + chain; });
  }
  return parts;
}

// Whether the written file at `temp` is a whole package, every part not edited kept, and reads
// back with the lines where they were and the values written.
Status check_written(const std::string& temp, const Workbook& book, const EditedParts& parts,
                     const std::vector<RowWrites>& writes, const std::string& column,
                     const std::string& sheet) {
  if (const Text incomplete = check_workbook_file(temp); !incomplete.empty())
    return failure(gbk_to_utf8(incomplete));
  auto written = read_file(temp, 2 * kWorkbookFileBytes);
  if (!written.ok()) return written.failed();
  if (!others_unchanged(book.bytes, *written, parts.replaced, parts.removed))
    return failure(tr("the written workbook lost parts of the old one"));
  const auto back = read_workbook(std::move(*written), column, sheet);
  if (!back.ok()) return failure(tr("the written workbook reads back wrong: {1}", {back.error()}));
  bool same = back->map.lines.size() == book.map.lines.size();
  for (std::size_t i = 0; same && i < writes.size(); ++i) {
    same = back->map.lines[i].row == book.map.lines[i].row;
    for (std::size_t kind = 0; same && kind < kResultColumns; ++kind) {
      if (writes[i][kind].write)
        same = back->map.lines[i].results[kind].value == writes[i][kind].value;
    }
  }
  if (!same) return failure(tr("the written workbook does not hold the results"));
  return {};
}

class UserWorkbook final : public UserList {
 public:
  UserWorkbook(std::string path, std::string column, std::string sheet, Workbook book)
      : path_(std::move(path)),
        column_(std::move(column)),
        sheet_(std::move(sheet)),
        hash_(hash_of(book.bytes)),
        book_(std::move(book)) {
    lines_.reserve(book_.map.lines.size());
    for (const SheetRow& row : book_.map.lines) {
      const auto& r = row.results;
      lines_.push_back({row.number,
                        static_cast<int>(row.row),
                        {r[0].value, r[1].value, r[2].value, r[3].value}});
    }
  }

  const std::vector<UserListLine>& lines() const override { return lines_; }

  Status write(const std::vector<std::optional<ResultValues>>& results, const std::string& out,
               const std::vector<bool>& failed) const override {
    if (const Status same = unchanged(); !same.ok()) return same;
    const std::vector<RowWrites> writes = writes_of(book_.map, results, failed);
    const EditedParts parts = edited_parts(book_, writes);
    auto updated = rebuild_package(book_.bytes, parts.replaced, parts.removed);
    if (!updated.ok()) return updated.failed();
    const FileReplacement replaced = replace_file(
        out, content_writer(*updated),
        [&](const std::string& temp) -> Text {
          const Status checked = check_written(temp, book_, parts, writes, column_, sheet_);
          return utf8_to_gbk(checked.error());
        },
        replace_options(out));
    if (const Text why = failure_of(replaced); !why.empty()) return failure(gbk_to_utf8(why));
    return {};
  }

 private:
  // Whether the list is still the file that was read.
  Status unchanged() const {
    auto now = read_file(path_, kWorkbookFileBytes);
    if (!now.ok()) return now.failed();
    if (now->size() != book_.bytes.size() || hash_of(*now) != hash_) return failure(tr(kChanged));
    return {};
  }

  // The list replaced in place, unless saved again meanwhile or open in a spreadsheet program.
  ReplaceOptions replace_options(const std::string& out) const {
    ReplaceOptions options;
    options.in_place = true;
    options.before_replacing = [this, out]() {
      if (const Status same = unchanged(); !same.ok()) return utf8_to_gbk(same.error());
      return utf8_to_gbk(open_elsewhere(out).error());
    };
    return options;
  }

  std::string path_, column_, sheet_;
  std::size_t hash_;
  Workbook book_;
  std::vector<UserListLine> lines_;
};

}  // namespace

bool cut_result_to_cell_limit(ResultValues& result) {
  bool cut = false;
  for (std::string* text :
       {&result.chinese_name, &result.implementation_date, &result.status, &result.lookup_date})
    cut = workbook::cut_to_cell_limit(*text) || cut;
  return cut;
}

OpenedList open_user_workbook(const std::string& path, const std::string& column,
                              const std::string& sheet) {
  auto bytes = read_file(path, kWorkbookFileBytes);
  if (!bytes.ok()) return bytes.failed();
  auto book = read_workbook(std::move(*bytes), column, sheet);
  if (!book.ok()) return book.failed();
  return std::unique_ptr<UserList>(
      std::make_unique<UserWorkbook>(path, column, sheet, std::move(*book)));
}

}  // namespace stdlookup::lists

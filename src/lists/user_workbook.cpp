// The user's own workbook with the results written into it. The list sheet's XML and, when a
// fill or a bold header is needed, styles.xml are edited in place; every other part is copied
// as it is, compressed data included. The new file replaces the old only once it reads back
// with the results in their cells and every other part unchanged.
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <utility>

#include "lists/files.h"
#include "lists/list_input.h"
#include "lists/user_list.h"
#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "workbook/package.h"
#include "workbook/sheet_edit.h"
#include "workbook/writer.h"

namespace stdlookup::lists {

using namespace workbook;
namespace {

constexpr std::array<const char*, kResultColumns> kAppendedHeaders = {"标准中文名", "实施日期",
                                                                      "是否作废", "查询日期"};
constexpr std::size_t kLookupDate = 3;

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

// The spans of the elements at `depth` in `content` that `pick` picks; fails when `content` is
// not XML we read.
Result<std::vector<Splice>> scan_elements(std::string_view content, std::size_t depth,
                                          ElementSpans::Pick pick) {
  ElementSpans elements(depth, std::move(pick));
  XmlReader reader(elements);
  if (!reader.feed(content).ok() || !reader.finish().ok()) return failure(tr(kDamaged));
  return std::move(elements.spans);
}

// The part a relationship's target names, from the workbook's folder.
std::string part_of_target(const std::string& target) {
  return target.starts_with('/') ? target.substr(1) : "xl/" + target;
}

// A workbook read for updating: its parts, the map of its list sheet and its styles.
struct Workbook {
  std::string error;
  std::string bytes;
  std::string sheet_part, sheet;
  std::string styles_part = "xl/styles.xml";
  std::string calc_chain_part;  // "" when it has none
  std::string relations;        // xl/_rels/workbook.xml.rels
  std::string content_types;
  SheetMap map;
  StylesEditor styles;
};

constexpr const char* kNoHeaderRow = tr_noop(
    "it has no header row (standard numbers from its first row on): add a header row, e.g. "
    "标准号, above the numbers, so that the results have columns to go to");

// The lines must be the numbers a batch reads from this workbook, or it is not updated.
std::string lines_problem(const Table& table, const SheetMap& map) {
  const NumberList numbers = numbers_of(table);
  bool same = numbers.numbers.size() == map.lines.size();
  for (std::size_t i = 0; same && i < numbers.numbers.size(); ++i)
    same = numbers.numbers[i] == map.lines[i].number;
  return same ? "" : tr("its list sheet is laid out in a way the update cannot follow");
}

// `same_lines`: whether to hold the lines against the numbers the batch reads (not needed again
// for the very bytes that were held so already).
Workbook read_workbook(std::string bytes, const std::string& column, const std::string& sheet,
                       bool same_lines = true) {
  Workbook book;
  book.bytes = std::move(bytes);
  Archive archive = open_archive(book.bytes, book.error);
  if (!archive) return book;
  // The sheet, its header row and numbers column as the batch finds them.
  const auto read = read_xlsx_bytes(book.bytes, numbers_column(column), sheet);
  const auto fail = [&](std::string why) {
    book.error = std::move(why);
    return std::move(book);
  };
  // Parts encrypted within the zip file cannot be copied faithfully.
  const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) != 0)
      return fail(tr(kDamaged));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
      return fail(tr("parts of it are encrypted: save it without a password"));
  }
  const std::uint64_t limit = part_limit(book.bytes.size());

  std::string workbook;
  if (std::string failure = read_part(archive.get(), "xl/workbook.xml", limit, workbook);
      !failure.empty())
    return fail(failure);
  bool date1904 = false, strict = false;
  const auto root = scan_elements(workbook, 0, [&](const XmlElement& element) {
    strict = is_strict(element.uri);
    return false;
  });
  const auto properties = scan_elements(workbook, 1, [&](const XmlElement& element) {
    const std::string_view value = element.attribute("date1904");
    if (element.name == "workbookPr") date1904 = value == "1" || value == "true";
    return false;
  });
  if (!root.ok() || !properties.ok()) return fail(tr(kDamaged));
  if (strict)
    return fail(tr("saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)"));

  if (!read.ok()) return fail(read.error());
  const Table& table = *read;
  if (table.columns.empty()) return fail(tr("it holds no standard numbers"));
  if (table.header_row == kNoHeader) return fail(tr(kNoHeaderRow));
  book.sheet_part = table.sheet_part;
  bool no_relations = false;
  std::string failure =
      read_part(archive.get(), "xl/_rels/workbook.xml.rels", limit, book.relations, &no_relations);
  if (!failure.empty() && !no_relations) return fail(failure);
  // Without readable relationships, the parts are where workbooks keep them.
  static_cast<void>(scan_elements(book.relations, 1, [&](const XmlElement& element) {
    const std::string_view type = element.attribute("Type");
    const std::string target(element.attribute("Target"));
    if (type.ends_with("/styles")) book.styles_part = part_of_target(target);
    if (type.ends_with("/calcChain")) book.calc_chain_part = part_of_target(target);
    return false;
  }));
  if (!book.calc_chain_part.empty() &&
      zip_name_locate(archive.get(), book.calc_chain_part.c_str(), 0) < 0)
    book.calc_chain_part.clear();
  failure = read_part(archive.get(), "[Content_Types].xml", limit, book.content_types);
  if (!failure.empty()) return fail(failure);

  SharedStrings shared;
  XmlReader strings_reader(shared);
  bool no_strings = false;
  failure = scan_part(archive.get(), "xl/sharedStrings.xml", limit, strings_reader, &no_strings);
  if (no_strings) failure.clear();
  if (failure.empty()) failure = shared.error;
  if (!failure.empty()) return fail(failure);

  std::string styles;
  bool no_styles = false;
  failure = read_part(archive.get(), book.styles_part, limit, styles, &no_styles);
  if (no_styles) return fail(tr("it has no styles part, which the update needs"));
  if (!failure.empty()) return fail(failure);
  if (failure = book.styles.load(std::move(styles)); !failure.empty()) return fail(failure);

  if (failure = read_part(archive.get(), book.sheet_part, limit, book.sheet); !failure.empty())
    return fail(failure);
  book.map = map_sheet(book.sheet, shared, book.styles.info(date1904), table.header_row + 1,
                       table.columns.front());
  if (!book.map.error.empty()) return fail(book.map.error);

  if (same_lines) book.error = lines_problem(table, book.map);
  return book;
}

std::string read_file(const std::string& path, std::uint64_t limit, std::string& bytes) {
  return read_bounded_file(native_path(path), limit, bytes);
}

std::size_t hash_of(std::string_view bytes) {
  return std::hash<std::string_view>{}(bytes);
}

// A zip source reading the old package from the caller's bytes and writing the new one into a
// string of ours: libzip's buffer source may free the buffer it was given when it writes the new
// package over a copied start of the old (parts stored after the ones replaced).
class PackageSource {
 public:
  explicit PackageSource(std::string_view original) : original_(original) {
    zip_error_init(&error_);
  }
  ~PackageSource() { zip_error_fini(&error_); }
  PackageSource(const PackageSource&) = delete;
  PackageSource& operator=(const PackageSource&) = delete;

  zip_source_t* create() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(&PackageSource::call, this, &error);
    zip_error_fini(&error);
    return source;
  }
  bool written() const { return committed_; }
  std::string& result() { return written_; }

 private:
  static zip_int64_t call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return static_cast<PackageSource*>(self)->run(data, length, command);
  }

  zip_int64_t run(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
      case ZIP_SOURCE_OPEN:
        read_at_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(length, original_.size() - read_at_);
        std::memcpy(data, original_.data() + read_at_, n);
        read_at_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_SEEK:
        return seek(read_at_, original_.size(), data, length);
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(read_at_);
      case ZIP_SOURCE_STAT: {
        zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (stat == nullptr) return -1;
        zip_stat_init(stat);
        stat->size = original_.size();
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_BEGIN_WRITE:
        written_.clear(), write_at_ = 0, committed_ = false;
        return 0;
      case ZIP_SOURCE_WRITE: {
        const char* bytes = static_cast<const char*>(data);
        const std::size_t n = static_cast<std::size_t>(length);
        if (written_.size() < write_at_ + n) written_.resize(write_at_ + n);
        std::memcpy(written_.data() + write_at_, bytes, n);
        write_at_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_SEEK_WRITE:
        return seek(write_at_, written_.size(), data, length);
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(write_at_);
      case ZIP_SOURCE_COMMIT_WRITE:
        committed_ = true;
        return 0;
      case ZIP_SOURCE_ROLLBACK_WRITE:
        written_.clear();
        return 0;
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_FREE:
      case ZIP_SOURCE_REMOVE:
        return 0;
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t seek(std::size_t& at, std::size_t size, void* data, zip_uint64_t length) {
    const zip_int64_t to = zip_source_seek_compute_offset(at, size, data, length, &error_);
    if (to >= 0) at = static_cast<std::size_t>(to);
    return to < 0 ? -1 : 0;
  }

  std::string_view original_;
  std::string written_;
  std::size_t read_at_ = 0, write_at_ = 0;
  bool committed_ = false;
  zip_error_t error_;
};

// The package with `replaced` parts put in and `removed` ones left out, every other entry copied
// as it is; "" or why not.
std::string rebuild(const std::string& original, const std::map<std::string, std::string>& replaced,
                    const std::vector<std::string>& removed, std::string& result) {
  PackageSource package(original);
  zip_source_t* source = package.create();
  if (source == nullptr) return tr("out of memory");
  zip_error_t error;
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(source, 0, &error);
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(source);
    return tr(kDamaged);
  }
  Archive owned(archive, &zip_discard);
  for (const auto& [name, content] : replaced) {
    const zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
    zip_source_t* part = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (index < 0 || part == nullptr) {
      if (part != nullptr) zip_source_free(part);
      return tr(kDamaged);
    }
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), part, 0) < 0) {
      zip_source_free(part);
      return tr(kDamaged);
    }
    // zlib's usual level: libzip keeps its slowest, best one for a part deflated before, unless
    // the method named differs from the part's (ZIP_CM_DEFAULT is deflate all the same).
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFAULT, 6);
  }
  for (const std::string& name : removed) {
    const zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
    if (index >= 0) zip_delete(archive, static_cast<zip_uint64_t>(index));
  }
  if (zip_close(owned.get()) < 0) return tr("the workbook could not be put together again");
  owned.release();
  if (!package.written()) return tr("the workbook could not be put together again");
  result = std::move(package.result());
  return {};
}

// `content` without the elements at depth 1 that `unwanted` picks; as it is when unreadable.
std::string without_elements(const std::string& content, ElementSpans::Pick unwanted) {
  auto spans = scan_elements(content, 1, std::move(unwanted));
  return spans.ok() ? apply_splices(content, std::move(*spans)) : content;
}

// Whether every entry of `before` not in `edited` is in `after` with the same data.
bool others_unchanged(const std::string& before, const std::string& after,
                      const std::map<std::string, std::string>& edited,
                      const std::vector<std::string>& removed) {
  std::string error;
  Archive old_archive = open_archive(before, error), new_archive = open_archive(after, error);
  if (!old_archive || !new_archive) return false;
  const zip_int64_t entries = zip_get_num_entries(old_archive.get(), 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_stat_t old_stat, new_stat;
    if (zip_stat_index(old_archive.get(), static_cast<zip_uint64_t>(i), 0, &old_stat) != 0)
      return false;
    const std::string name = old_stat.name;
    if (edited.count(name) || std::find(removed.begin(), removed.end(), name) != removed.end())
      continue;
    if (zip_stat(new_archive.get(), name.c_str(), 0, &new_stat) != 0 ||
        new_stat.crc != old_stat.crc || new_stat.size != old_stat.size ||
        new_stat.comp_size != old_stat.comp_size)
      return false;
  }
  return true;
}

class UserWorkbook final : public UserList {
 public:
  UserWorkbook(std::string path, std::string column, std::string sheet, std::size_t hash,
               std::size_t size, std::vector<UserListLine> lines)
      : path_(std::move(path)),
        column_(std::move(column)),
        sheet_(std::move(sheet)),
        hash_(hash),
        size_(size),
        lines_(std::move(lines)) {}

  const std::vector<UserListLine>& lines() const override { return lines_; }

  Status write(const std::vector<std::optional<ResultValues>>& results, const std::string& out,
               const std::vector<bool>& failed) const override {
    const std::string why = write_or_why(results, out, failed);
    if (!why.empty()) return failure(why);
    return {};
  }

 private:
  std::string write_or_why(const std::vector<std::optional<ResultValues>>& results,
                           const std::string& out, const std::vector<bool>& failed) const {
    std::string bytes;
    if (std::string failure = read_file(path_, kWorkbookFileBytes, bytes); !failure.empty())
      return failure;
    if (bytes.size() != size_ || hash_of(bytes) != hash_)
      return tr("the workbook was changed since it was read: run the update again");
    Workbook book = read_workbook(std::move(bytes), column_, sheet_, false);
    if (!book.error.empty()) return book.error;
    if (book.map.lines.size() != lines_.size())
      return tr("the workbook was changed since it was read: run the update again");

    std::vector<RowWrites> writes(lines_.size());
    for (std::size_t i = 0; i < lines_.size() && i < results.size(); ++i) {
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
        const CellSpot& spot = book.map.lines[i].results[kind];
        std::string value = cell_text(*values[kind]);
        // Looked up again: an earlier run's highlight goes, this run's changes get theirs.
        CellWrite& cell = writes[i][kind];
        cell.restore = true;
        if (!spot.formula && spot.value == value && (spot.present || value.empty())) continue;
        cell.write = true;
        cell.highlight = kind != kLookupDate && spot.value != value;
        cell.value = std::move(value);
      }
    }
    std::array<std::string, kResultColumns> headers;
    for (std::size_t kind = 0; kind < kResultColumns; ++kind)
      headers[kind] = kAppendedHeaders[kind];
    bool formula_replaced = false;
    std::map<std::string, std::string> parts;
    parts[book.sheet_part] =
        edit_sheet(book.sheet, book.map, writes, headers, book.styles, &formula_replaced);
    if (book.styles.changed()) parts[book.styles_part] = book.styles.result();
    std::vector<std::string> removed;
    if (formula_replaced && !book.calc_chain_part.empty()) {
      // The calculation chain lists formula cells; the application makes it again when missing.
      removed.push_back(book.calc_chain_part);
      parts["xl/_rels/workbook.xml.rels"] =
          without_elements(book.relations, [](const XmlElement& element) {
            return element.attribute("Type").ends_with("/calcChain");
          });
      parts["[Content_Types].xml"] =
          without_elements(book.content_types, [&](const XmlElement& element) {
            return element.attribute("PartName") == "/" + book.calc_chain_part;
          });
    }
    std::string updated;
    if (std::string failure = rebuild(book.bytes, parts, removed, updated); !failure.empty())
      return failure;

    const auto check = [&](const std::string& temp) -> Text {
      std::string written;
      if (std::string failure = read_file(temp, 2 * kWorkbookFileBytes, written); !failure.empty())
        return utf8_to_gbk(failure);
      if (!others_unchanged(book.bytes, written, parts, removed))
        return utf8_to_gbk(tr("the written workbook lost parts of the old one"));
      const Workbook back = read_workbook(std::move(written), column_, sheet_);
      if (!back.error.empty())
        return utf8_to_gbk(tr("the written workbook reads back wrong: {1}", {back.error}));
      bool same = back.map.lines.size() == book.map.lines.size();
      for (std::size_t i = 0; same && i < writes.size(); ++i) {
        same = back.map.lines[i].row == book.map.lines[i].row;
        for (std::size_t kind = 0; same && kind < kResultColumns; ++kind) {
          if (writes[i][kind].write)
            same = back.map.lines[i].results[kind].value == writes[i][kind].value;
        }
      }
      return same ? Text() : utf8_to_gbk(tr("the written workbook does not hold the results"));
    };
    const FileReplacement replaced = replace_file(
        out,
        [&](const std::string& temp) -> Text {
          const int error = write_whole_file(temp, updated);
          return error ? describe_file_error(error) : Text();
        },
        check, replace_options(out));
    return gbk_to_utf8(failure_of(replaced));
  }

  // The list replaced in place, unless saved again meanwhile or open in a spreadsheet program.
  ReplaceOptions replace_options(const std::string& out) const {
    ReplaceOptions options;
    options.in_place = true;
    options.before_replacing = [this, out]() {
      std::string now;
      if (std::string failure = read_file(path_, kWorkbookFileBytes, now); !failure.empty())
        return utf8_to_gbk(failure);
      if (now.size() != size_ || hash_of(now) != hash_)
        return utf8_to_gbk(tr("the workbook was changed since it was read: run the update again"));
      return utf8_to_gbk(open_elsewhere(out).error());
    };
    return options;
  }

  std::string path_, column_, sheet_;
  std::size_t hash_, size_;
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
  std::string bytes;
  if (std::string failure = read_file(path, kWorkbookFileBytes, bytes); !failure.empty())
    return workbook::failure(failure);
  const std::size_t hash = hash_of(bytes), size = bytes.size();
  const Workbook book = read_workbook(std::move(bytes), column, sheet);
  if (!book.error.empty()) return workbook::failure(book.error);
  std::vector<UserListLine> lines;
  lines.reserve(book.map.lines.size());
  for (const SheetRow& row : book.map.lines) {
    const auto& r = row.results;
    lines.push_back(
        {row.number, static_cast<int>(row.row), {r[0].value, r[1].value, r[2].value, r[3].value}});
  }
  return std::unique_ptr<UserList>(
      std::make_unique<UserWorkbook>(path, column, sheet, hash, size, std::move(lines)));
}

}  // namespace stdlookup::lists

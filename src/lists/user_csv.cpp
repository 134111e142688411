// The user's CSV list with the results written into it. The file is kept as bytes and split into
// records and fields exactly as the batch reads it; a record is rewritten only where a result
// goes, and of a rewritten record every other field is copied as it was, quotes and all. GBK
// needs no decoding to be split: its trail bytes never take the value of a comma, a quote, CR
// or LF.
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "lists/columns.h"
#include "lists/files.h"
#include "lists/input.h"
#include "lists/list_input.h"
#include "lists/output.h"
#include "lists/table_builder.h"
#include "lists/user_list.h"
#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::lists {

using namespace workbook;
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

constexpr std::size_t kResults = kResultColumns;

template <typename Values>  // ResultValues, const or not
auto fields_of(Values& values) {
  return std::array{&values.chinese_name, &values.implementation_date, &values.status,
                    &values.lookup_date};
}

struct Span {
  std::size_t begin, end;
};

// A record's fields lie in [begin, end); its line end (CR, LF or CRLF; none at the very end of
// the file) in [end, next).
struct Record {
  std::size_t begin, end, next;
};

// The records from `at` on, as read_csv_table splits them.
std::vector<Record> split_records(std::string_view bytes, std::size_t at) {
  std::vector<Record> records;
  std::size_t begin = at;
  scan_csv(
      bytes, at, [](std::size_t, std::size_t, std::size_t, std::size_t) { return true; },
      [&](std::size_t end, std::size_t next) {
        records.push_back({begin, end, next});
        begin = next;
        return true;
      });
  return records;
}

std::vector<Span> split_fields(std::string_view bytes, const Record& record) {
  std::vector<Span> fields;
  scan_csv(
      bytes.substr(0, record.end), record.begin,
      [&](std::size_t, std::size_t, std::size_t begin, std::size_t end) {
        fields.push_back({begin, end});
        return true;
      },
      [](std::size_t, std::size_t) { return true; });
  if (fields.empty()) fields.push_back({record.begin, record.end});  // an empty record
  return fields;
}

class CsvList final : public UserList {
 public:
  CsvList(std::string path, std::string column)
      : path_(std::move(path)), column_(std::move(column)) {}
  // Whether the list can be updated.
  Status open(std::string bytes);

  const std::vector<UserListLine>& lines() const override { return lines_; }
  Status write(const std::vector<std::optional<ResultValues>>& results, const std::string& out,
               const std::vector<bool>& failed) const override;

 private:
  // A field as UTF-8 text, as the batch reads it.
  std::string text_of(const Span& field) const {
    const std::string text =
        csv_unquoted(std::string_view(bytes_).substr(field.begin, field.end - field.begin));
    std::string utf8 = gbk_ ? gbk_to_utf8(text) : text;
    cut_cell(utf8);
    return utf8;
  }
  Result<std::string> content(const std::vector<std::optional<ResultValues>>& results) const;
  // A new field, quoted where needed, in the file's encoding.
  Result<std::string> encode(const std::string& utf8, std::size_t record) const;
  // The fields of record `r` with the results (or, in the header row, the appended headers).
  Status append_fields(std::string& out, std::size_t r, const ResultValues* result) const;
  // The result columns, found in the header row or appended after the widest record.
  void find_result_columns(std::size_t numbers);
  // The lines below the header with a number in column `numbers`.
  void read_lines(std::size_t numbers);
  // Whether the updated text reads back with the results where they went.
  Status check_written(const std::string& text,
                       const std::vector<std::optional<ResultValues>>& results) const;

  std::string path_, column_;
  std::string bytes_;
  std::size_t start_ = 0;  // after a byte-order mark
  bool gbk_ = false;
  std::string file_;  // of a UTF-16 list: the file's bytes (bytes_ holds them as UTF-8)
  bool big_endian_ = false;
  std::size_t header_row_ = 0;
  std::vector<Record> records_;
  std::array<std::size_t, kResults> columns_{};
  std::array<bool, kResults> appended_{};
  std::size_t width_ = 0;  // the fields of the widest record: appended columns come after
  std::vector<UserListLine> lines_;
  std::vector<std::size_t> line_records_;
};

Status CsvList::open(std::string bytes) {
  const auto encoding = encoding_of(bytes);
  if (!encoding.ok()) return encoding.failed();
  if (*encoding == TextEncoding::utf16le || *encoding == TextEncoding::utf16be) {
    // Split and edited as UTF-8, written back as UTF-16 (the mark becomes U+FEFF and back).
    big_endian_ = *encoding == TextEncoding::utf16be;
    auto utf8 = list_text_utf8(bytes);
    if (!utf8.ok()) return utf8.failed();
    file_ = std::move(bytes);
    bytes = std::move(*utf8);
  }
  bytes_ = std::move(bytes);
  const bool utf8 = is_valid_utf8(bytes_);
  if (std::string_view(bytes_).starts_with(kBom) && !utf8)
    return failure(tr("it starts with a UTF-8 byte-order mark but is not UTF-8"));
  gbk_ = !utf8;
  start_ = std::string_view(bytes_).starts_with(kBom) ? kBom.size() : 0;

  // The numbers, header row and numbers column as the batch finds them, and its verdict on the
  // file's limits.
  const auto table = read_csv_table(gbk_ ? gbk_to_utf8(bytes_) : bytes_, numbers_column(column_));
  if (!table.ok()) return table.failed();
  if (table->columns.empty()) return failure(tr("it holds no standard numbers"));
  if (table->header_row == kNoHeader)
    return failure(
        tr("it has no header row (standard numbers from its first line on): add a header "
           "row, e.g. 标准号, above the numbers, so that the results have columns to go to"));
  header_row_ = table->header_row;
  records_ = split_records(bytes_, start_);
  find_result_columns(table->columns.front());
  read_lines(table->columns.front());
  std::vector<std::string> numbers_found;
  for (const UserListLine& line : lines_) numbers_found.push_back(line.number);
  if (numbers_found != numbers_of(*table).numbers)
    return failure(tr("its records cannot be told apart faithfully (malformed GBK text?)"));
  return {};
}

void CsvList::find_result_columns(std::size_t numbers) {
  std::vector<std::string> header;
  if (header_row_ < records_.size()) {
    for (const Span& field : split_fields(bytes_, records_[header_row_]))
      header.push_back(text_of(field));
  }
  for (const Record& record : records_)
    width_ = std::max(width_, split_fields(bytes_, record).size());
  std::size_t next = width_;
  for (std::size_t k = 0; k < kResults; ++k) {
    appended_[k] = true;
    for (std::size_t c = 0; c < header.size() && appended_[k]; ++c) {
      const bool taken = c == numbers || std::find(columns_.begin(), columns_.begin() + k, c) !=
                                             columns_.begin() + k;
      const auto& names = kResultHeaders[k];
      const std::string_view text = trim_blanks(header[c]);
      if (!taken && !text.empty() && std::find(names.begin(), names.end(), text) != names.end()) {
        columns_[k] = c;
        appended_[k] = false;
      }
    }
    if (appended_[k]) columns_[k] = next++;
  }
}

void CsvList::read_lines(std::size_t numbers) {
  for (std::size_t r = header_row_ + 1; r < records_.size(); ++r) {
    const std::vector<Span> fields = split_fields(bytes_, records_[r]);
    if (numbers >= fields.size()) continue;
    UserListLine line{text_of(fields[numbers]), static_cast<int>(r + 1), {}};
    if (trim_blanks(line.number).empty()) continue;
    const auto before = fields_of(line.before);
    for (std::size_t k = 0; k < kResults; ++k) {
      if (appended_[k] || columns_[k] >= fields.size()) continue;
      *before[k] = csv_cell_value(text_of(fields[columns_[k]]));
    }
    lines_.push_back(std::move(line));
    line_records_.push_back(r);
  }
}

Result<std::string> CsvList::encode(const std::string& utf8, std::size_t record) const {
  if (!gbk_) return csv_field(utf8);
  const Text gbk = utf8_to_gbk(utf8);
  if (gbk_to_utf8(gbk) != utf8) {
    return failure(tr("record {1} gets \"{2}\", which GBK (the list's encoding) cannot hold",
                      {std::to_string(record + 1), table_cell(utf8)}));
  }
  return csv_field(gbk);
}

Status CsvList::append_fields(std::string& out, std::size_t r, const ResultValues* result) const {
  const std::size_t appended =
      static_cast<std::size_t>(std::count(appended_.begin(), appended_.end(), true));
  const std::vector<Span> fields = split_fields(bytes_, records_[r]);
  std::size_t count = appended > 0 ? width_ + appended : fields.size();
  if (result) count = std::max(count, *std::max_element(columns_.begin(), columns_.end()) + 1);
  for (std::size_t c = 0; c < count; ++c) {
    if (c > 0) out += ',';
    const std::string_view raw =
        c < fields.size()
            ? std::string_view(bytes_).substr(fields[c].begin, fields[c].end - fields[c].begin)
            : std::string_view();
    const auto k =
        static_cast<std::size_t>(std::find(columns_.begin(), columns_.end(), c) - columns_.begin());
    Result<std::string> field = failure({});
    if (k < kResults && result) {
      field = encode(csv_text_cell(*fields_of(*result)[k]), r);
    } else if (k < kResults && r == header_row_ && appended_[k]) {
      field = encode(std::string(kResultHeaders[k].front()), r);
    } else {
      out += raw;
      continue;
    }
    if (!field.ok()) return field.failed();
    // A field whose text stays the same keeps its bytes, quotes and all.
    const bool same = c < fields.size() && csv_unquoted(raw) == csv_unquoted(*field);
    out += same ? std::string(raw) : *field;
  }
  return {};
}

Result<std::string> CsvList::content(
    const std::vector<std::optional<ResultValues>>& results) const {
  const bool appended = std::find(appended_.begin(), appended_.end(), true) != appended_.end();
  std::string out(bytes_, 0, start_);
  out.reserve(bytes_.size() + records_.size() * 16);
  std::size_t line = 0;  // the next line's index; lines are in record order
  for (std::size_t r = 0; r < records_.size(); ++r) {
    const Record& record = records_[r];
    while (line < line_records_.size() && line_records_[line] < r) ++line;
    const ResultValues* result =
        line < line_records_.size() && line_records_[line] == r && results[line] ? &*results[line]
                                                                                 : nullptr;
    // A blank line stays blank; a record without a new field stays as it was, unless appended
    // columns give every record their fields (empty ones, but the header's).
    // Title lines above the header stay as they are.
    const bool blank = record.begin == record.end && r != header_row_;
    if (blank || r < header_row_ || (!result && !appended)) {
      out.append(bytes_, record.begin, record.next - record.begin);
      continue;
    }
    if (const Status added = append_fields(out, r, result); !added.ok()) return added.failed();
    out.append(bytes_, record.end, record.next - record.end);
  }
  return out;
}

Status CsvList::check_written(const std::string& text,
                              const std::vector<std::optional<ResultValues>>& results) const {
  // Read as the batch reads it, the new text holds the same numbers, the results where they
  // went and the earlier values elsewhere.
  CsvList check(path_, column_);
  if (const Status read = check.open(text); !read.ok())
    return failure(tr("the updated list would not read back ({1})", {read.error()}));
  bool same = check.lines_.size() == lines_.size();
  for (std::size_t i = 0; i < lines_.size() && same; ++i) {
    ResultValues expected = results[i] ? *results[i] : lines_[i].before;
    const auto want = fields_of(expected), got = fields_of(check.lines_[i].before);
    same = check.lines_[i].number == lines_[i].number;
    for (std::size_t k = 0; k < kResults; ++k) {
      cut_cell(*want[k]);
      same = same && *want[k] == *got[k];
    }
  }
  if (!same) return failure(tr("the updated list would not read back as written"));
  return {};
}

Status CsvList::write(const std::vector<std::optional<ResultValues>>& results,
                      const std::string& out, const std::vector<bool>& /*failed*/) const {
  if (results.size() != lines_.size())
    return failure(tr("the results do not match the list's lines"));
  auto text = content(results);
  if (!text.ok()) return text.failed();
  if (!file_.empty()) *text = utf8_to_utf16(*text, big_endian_);
  if (const Status checked = check_written(*text, results); !checked.ok()) return checked;

  ReplaceOptions options;
  options.in_place = true;
  // The list itself may have been saved again while the lookups ran: that is not overwritten.
  options.before_replacing = [&]() {
    std::error_code same_error;
    std::string now;
    if (std::filesystem::equivalent(native_path(path_), native_path(out), same_error) &&
        read_bounded_file(native_path(path_), kCsvFileBytes, now).empty() &&
        now != (file_.empty() ? bytes_ : file_))
      return utf8_to_gbk(tr("it was changed since it was read (saved again meanwhile?)"));
    return utf8_to_gbk(open_elsewhere(out).error());
  };
  const FileReplacement replaced = replace_file(
      out, content_writer(*text),
      [&](const std::string& temp) {
        std::string back;
        const std::string failed = read_bounded_file(native_path(temp), kCsvFileBytes, back);
        if (!failed.empty()) return utf8_to_gbk(failed);
        return back == *text ? Text() : utf8_to_gbk(tr("the written file reads back differently"));
      },
      options);
  if (const Text why = failure_of(replaced); !why.empty()) return failure(gbk_to_utf8(why));
  return {};
}

}  // namespace

OpenedList open_user_csv(const std::string& path, const std::string& column) {
  std::string bytes;
  if (std::string failed = read_bounded_file(native_path(path), kCsvFileBytes, bytes);
      !failed.empty())
    return failure(failed);
  auto list = std::make_unique<CsvList>(path, column);
  if (const Status opened = list->open(std::move(bytes)); !opened.ok()) return opened.failed();
  return std::unique_ptr<UserList>(std::move(list));
}

OpenedList open_user_list(const std::string& path, const std::string& column,
                          const std::string& sheet) {
  char head[8] = {};
  std::ifstream file(native_path(path), std::ios::binary);
  file.read(head, sizeof head);
  const ListKind kind =
      list_kind(path, std::string_view(head, static_cast<std::size_t>(file.gcount())));
  if (kind == ListKind::workbook) return open_user_workbook(path, column, sheet);
  if (kind == ListKind::text)
    return failure(tr("--update goes with a workbook (.xlsx, .xlsm) or a .csv list"));
  if (!sheet.empty()) return failure(tr("--sheet goes with a workbook list"));
  return open_user_csv(path, column);
}

}  // namespace stdlookup::lists

#include "lists/batch_rows.h"

#include <nlohmann/json.hpp>

#include "lists/columns.h"
#include "lists/list_input.h"
#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "workbook/writer.h"

namespace stdlookup::lists {
namespace {

using json = nlohmann::ordered_json;
using workbook::failure;

std::string dump(const json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The rows as the window's list holds them, through the window's row writer in the look that
// reads at a glance.
Result<std::vector<int>> write_xlsx(const std::vector<OutputRow>& rows, const std::string& path) {
  workbook::WorkbookRow header;
  for (std::size_t c = 0; c < header.size(); ++c) header[c] = utf8_to_gbk(kRowHeaders[c]);
  auto writer = readable_workbook_writer();
  const workbook::SaveResult saved = workbook::write_rows(
      *writer, header, static_cast<int>(rows.size()),
      [&](int r) {
        const StandardRecord& f = rows[static_cast<std::size_t>(r)].record;
        return workbook::WorkbookRow{f.number, f.chinese_name, f.implementation_date, f.status};
      },
      path);
  if (!saved.ok()) return failure(gbk_to_utf8(saved.failure_reason));
  std::vector<int> cut;
  for (int sheet_row : saved.cut_rows) cut.push_back(sheet_row - 2);  // after the header
  return cut;
}

}  // namespace

const char* reason_words(FailureReason reason) {
  switch (reason) {
    case FailureReason::none:
    case FailureReason::http_status:
      return "";
    case FailureReason::refused:
      return tr_noop("connection refused");
    case FailureReason::not_resolved:
      return tr_noop("host name does not resolve");
    case FailureReason::proxy_refused:
      return tr_noop("proxy refused");
    case FailureReason::timed_out:
      return tr_noop("timed out");
    case FailureReason::too_large:
      return tr_noop("answer too large");
    case FailureReason::not_a_standard_page:
      return tr_noop("not a standard's page");
    case FailureReason::no_answer:
      break;
  }
  return tr_noop("no usable answer");
}

std::string reason_text(FailureReason reason, int http_status) {
  if (reason == FailureReason::http_status) return "HTTP status " + std::to_string(http_status);
  return reason_words(reason);
}

Row row_cells(const OutputRow& r) {
  return {gbk_to_utf8(r.record.number), gbk_to_utf8(r.record.chinese_name),
          gbk_to_utf8(r.record.implementation_date), gbk_to_utf8(r.record.status)};
}

Row row_headers() {
  return Row(kRowHeaders.begin(), kRowHeaders.end());
}

std::string row_json(const OutputRow& r) {
  json object{{"number", gbk_to_utf8(r.record.number)},
              {"chinese_name", gbk_to_utf8(r.record.chinese_name)},
              {"implementation_date", gbk_to_utf8(r.record.implementation_date)},
              {"status", gbk_to_utf8(r.record.status)}};
  if (r.line) {
    object["line"] = *r.line;
    object["query"] = r.query;
  }
  if (r.tries) object["tries"] = *r.tries;
  if (r.failed) object["reason"] = reason_text(r.reason, r.http_status);
  // Indented as an element of the array: the same text as the array dumped at once.
  std::string item;
  for (char c : dump(object)) {
    item += c;
    if (c == '\n') item += "  ";
  }
  return item;
}

std::string json_rows_between(bool first) {
  return first ? "[\n  " : ",\n  ";
}

std::string json_rows_end(bool empty) {
  return empty ? "[]\n" : "\n]\n";
}

std::unique_ptr<workbook::WorkbookWriter> readable_workbook_writer() {
  return workbook::make_xlsx_workbook_writer(
      workbook::WorkbookLook::readable,
      {std::string(status_words::abolished),
       {std::string(status_words::failed), std::string(status_words::not_found)}});
}

Result<std::vector<int>> write_output(const std::vector<OutputRow>& rows, const std::string& path) {
  const std::string extension = extension_of(path);
  if (extension == ".xlsx") return write_xlsx(rows, path);
  std::string content;
  if (extension == ".json") {
    for (std::size_t i = 0; i < rows.size(); ++i)
      content += json_rows_between(i == 0) + row_json(rows[i]);
    content += json_rows_end(rows.empty());
  } else {
    // A byte-order mark: without one, Excel reads a CSV file in the system's code page (GBK on
    // a Chinese Windows). stdout goes without one.
    content = "\xEF\xBB\xBF" + csv_line(row_headers());
    for (const OutputRow& r : rows) content += csv_line(row_cells(r));
  }
  const Text problem = failure_of(replace_file(path, content_writer(content)));
  if (!problem.empty()) return failure(gbk_to_utf8(problem));
  return std::vector<int>();
}

}  // namespace stdlookup::lists

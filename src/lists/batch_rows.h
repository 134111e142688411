// A batch's rows as the files of --output hold them: a workbook, CSV with a byte-order mark, or
// a JSON array; the same cells and objects as stdout's CSV and JSON. Texts are UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lists/output.h"
#include "lookup/lookup.h"
#include "lookup/scrape.h"
#include "workbook/result.h"
#include "workbook/writer.h"

namespace stdlookup::lists {

using workbook::Result;

// One looked-up line of a batch.
struct OutputRow {
  StandardRecord record;  // status = the batch status
  bool failed = false;
  std::optional<std::string> line;  // with --normalize: the line as given (UTF-8)
  std::string query;                // what was looked up (UTF-8)
  std::optional<int> tries;         // with --retries: requests made
  // Why it failed; the status goes with FailureReason::http_status.
  FailureReason reason = FailureReason::none;
  int http_status = 0;
};

// The English words of a reason other than an HTTP status (JSON's constants, the keys of their
// translations); "" for none and for an HTTP status.
const char* reason_words(FailureReason reason);
// Why a lookup failed, as JSON's "reason" gives it: "connection refused", "HTTP status 503", ...
std::string reason_text(FailureReason reason, int http_status);

// A row's four cells, as the window's list holds them, and their headers.
Row row_cells(const OutputRow& row);
Row row_headers();
// A row as an object of the JSON array, indented as an element of it, and the array's parts
// around the elements: "[\n  " before the first, ",\n  " between, "\n]\n" after ("[]\n" empty).
std::string row_json(const OutputRow& row);
std::string json_rows_between(bool first);
std::string json_rows_end(bool empty);

// The workbook writer of --output: the readable look, abolished and unanswered rows marked.
std::unique_ptr<workbook::WorkbookWriter> readable_workbook_writer();

// Writes the rows to `path` atomically, the format by its extension; the rows (0-based) with a
// cell cut to a workbook cell's limit.
workbook::Result<std::vector<int>> write_output(const std::vector<OutputRow>& rows,
                                                const std::string& path);

}  // namespace stdlookup::lists

#include "batch_output.h"

#include <cstdio>
#include <filesystem>

#include "cli_platform.h"
#include "emit.h"
#include "export/export.h"
#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::cli {
namespace {

// The rows as the window's list holds them, written by the window's row writer, in the look
// that reads at a glance.
Text write_xlsx(const std::vector<OutputRow>& rows, const std::string& path) {
  std::vector<ExportRow> cells;
  cells.reserve(rows.size());
  for (const OutputRow& r : rows) {
    cells.push_back(
        {r.record.number, r.record.chinese_name, r.record.implementation_date, r.record.status});
  }
  auto writer = make_xlsx_workbook_writer(WorkbookLook::readable);
  const SaveResult result = write_rows_to_workbook(cells, *writer, path);
  if (!result.ok()) return result.failure_reason;
  for (int sheet_row : result.cut_rows) {
    const OutputRow& r = rows[static_cast<std::size_t>(sheet_row - 2)];  // after the header
    warn(cut_cell_warning(path, sheet_row, r.query));
  }
  return {};
}

}  // namespace

Text write_output(const std::vector<OutputRow>& rows, const std::string& path) {
  const std::string extension = extension_of(path);
  if (extension == ".xlsx") return write_xlsx(rows, path);
  const bool csv = extension != ".json";
  // A CSV file starts with a byte-order mark: without one, Excel reads it in the system's code
  // page (GBK on a Chinese Windows). stdout goes without one.
  const std::string content =
      (csv ? "\xEF\xBB\xBF" : "") + rows_text(rows, csv ? OutputFormat::csv : OutputFormat::json);
  return failure_of(replace_file(path, [&](const std::string& temp) {
    int error = write_whole_file(temp, content);
    return error ? describe_file_error(error) : Text();
  }));
}

Progress::Progress(int total, bool shown) : total_(total), shown_(shown), start_(clock::now()) {}

void Progress::show(int done, const std::string& current) {
  if (!shown_) return;
  constexpr int kWidth = 24;
  int filled = total_ ? done * kWidth / total_ : kWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '-');
  std::string left = "--:--";
  if (done > 0) {
    double per_line = std::chrono::duration<double>(clock::now() - start_).count() / done;
    int seconds = static_cast<int>(per_line * (total_ - done) + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d", seconds / 60, seconds % 60);
    left = buf;
  }
  // TRANSLATORS: the time a run still needs, mm:ss, at the end of the progress line.
  const std::string time_left = tr("剩余 {1}", {left});
  std::fprintf(stderr, "\r\033[K[%s] %d/%d  %s  %s", bar.c_str(), done, total_,
               table_cell(current).c_str(), time_left.c_str());
  std::fflush(stderr);
}

void Progress::finish() {
  if (shown_) std::fputs("\r\033[K", stderr);
}

}  // namespace stdlookup::cli

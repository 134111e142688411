// stdlookup-cli batch FILE: every line of a list looked up in turn, the rows to stdout, to a file
// or compared with an earlier list.
#include <algorithm>
#include <atomic>
#include <csignal>

#include "batch_output.h"
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "input.h"
#include "list_input.h"
#include "lookup/batch.h"
#include "lookup/number_cleanup.h"
#include "runtime/gbk.h"
#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) {
  interrupted = true;
  cancel_lookups();  // ends the request in flight too
}

// A pause (between tries, after each line) that Ctrl-C cuts short.
void interruptible_wait(std::chrono::milliseconds total) {
  using namespace std::chrono;
  const auto end = steady_clock::now() + total;
  for (auto now = steady_clock::now(); !interrupted && now < end; now = steady_clock::now()) {
    const auto left = duration_cast<milliseconds>(end - now).count();
    pause(static_cast<int>(std::clamp<long long>(left, 1, 50)));
  }
}

// The numbers of a workbook or CSV list (UTF-8), read by column; `failure` says why not.
std::vector<std::string> list_numbers(const std::string& file, const std::string& column,
                                      std::string& failure) {
  Table table;
  if (extension_of(file) == ".xlsx") {
    table = read_xlsx_table(file, numbers_column(column));
  } else {
    std::string bytes;
    failure = read_input_bytes(file, bytes);
    if (!failure.empty()) return {};
    if (!is_valid_utf8(bytes)) bytes = gbk_to_utf8(bytes);
    table = read_csv_table(bytes, numbers_column(column));
  }
  NumberList list = numbers_of(table);
  failure = list.error;
  return list.numbers;
}

// What the user gave, line by line: as UTF-8 for showing, as GBK for looking up (a plain list's
// lines go to the query unchanged, as the window's would). "" or the message for stderr.
std::string read_given(const Options& options, const std::string& file, GivenLines& given) {
  const std::string name = file.empty() || file == "-" ? std::string("standard input") : file;
  const std::string extension = file == "-" ? std::string() : extension_of(file);
  if (extension == ".xlsx" || extension == ".csv") {
    std::string failure;
    for (std::string& number : list_numbers(file, options.column, failure)) given.add_utf8(number);
    return failure.empty() ? "" : "cannot read " + table_cell(name) + ": " + table_cell(failure);
  }
  if (!options.column.empty()) return "--column goes with an .xlsx or .csv list";
  BatchInput input = read_batch_input(file);
  if (!input.failure.empty()) return "cannot read " + table_cell(name) + ": " + input.failure;
  if (input.read_as_gbk) warn(table_cell(name) + " is not UTF-8: read as GBK");
  given = std::move(input.lines);
  return {};
}

class Batch {
 public:
  Batch(const Options& options, const GivenLines& given) : options_(options), given_(given) {}

  // Looks every line up; each row goes to `on_row` as it completes.
  void run(const std::function<void(OutputRow)>& on_row) {
    Progress progress(static_cast<int>(given_.size()), !options_.quiet && stderr_is_terminal());
    BatchRun run;
    run.pause_ms = options_.delay_ms;
    run.retries = options_.retries;
    run.wait = interruptible_wait;
    run.cancel = &interrupted;
    run.on_line = [&](int index, const Text&) { progress.show(index, query_of(index)); };
    run.on_row = [&](const BatchRow& looked_up) {
      OutputRow row = output_row(looked_up);
      if (row.failed) {
        any_failed_ = true;
        progress.finish();
        warn(table_cell(row.query) + ": 查询失败");
      }
      on_row(std::move(row));
    };
    std::signal(SIGINT, on_interrupt);
    run_batch(
        static_cast<int>(given_.size()), [&](int index) { return line_to_look_up(index); }, run);
    progress.finish();
    std::signal(SIGINT, SIG_DFL);
  }

  bool any_failed() const { return any_failed_; }

 private:
  // What a line is looked up as: the line itself, or with --normalize its cleaned-up number.
  std::string query_of(int index) const {
    const std::string shown = given_[static_cast<std::size_t>(index)].shown;
    return options_.normalize ? normalize_number(shown) : shown;
  }
  Text line_to_look_up(int index) const {
    return options_.normalize ? utf8_to_gbk(query_of(index))
                              : given_[static_cast<std::size_t>(index)].gbk;
  }
  OutputRow output_row(const BatchRow& looked_up) const {
    OutputRow row;
    row.record = looked_up.record;
    row.failed = looked_up.result.failed;
    row.query = query_of(looked_up.index);
    if (options_.normalize) row.line = given_[static_cast<std::size_t>(looked_up.index)].shown;
    if (options_.retries > 0) row.tries = looked_up.tries;
    return row;
  }

  const Options& options_;
  const GivenLines& given_;
  bool any_failed_ = false;
};

// The change report since the earlier list; true when a standard became 作废.
bool report_changes(const ListRows& previous, const std::vector<OutputRow>& rows,
                    const Options& options) {
  std::vector<ListRow> now;
  now.reserve(rows.size());
  for (const OutputRow& r : rows) {
    const Row cells = row_cells(r);
    now.push_back({r.query, cells[0], cells[1], cells[2], cells[3]});
  }
  const ChangeReport report = compare_lists(previous.rows, now);
  make_emitter(options.format, print, stdout_is_terminal())->report(report);
  return !report.newly_abolished.empty();
}

}  // namespace

int batch_command(const Options& options, const std::string& file) {
  const bool to_file = !options.output.empty() && options.output != "-";
  if (to_file) {
    if (const std::string problem = output_problem(options.output); !problem.empty()) {
      warn(problem);
      return kUsageError;
    }
  }
  ListRows previous;
  if (!options.compare.empty()) {
    previous = read_export(options.compare);
    if (!previous.error.empty()) {
      warn("--compare: " + table_cell(previous.error));
      return kUsageError;
    }
  }
  GivenLines given;
  if (const std::string problem = read_given(options, file, given); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  // stdout gets the rows unless they go to a file only, or the change report takes their place;
  // the rows of a file or a comparison are kept for the end.
  std::unique_ptr<Emitter> printer;
  if ((!to_file || options.format_given) && options.compare.empty())
    printer = make_emitter(options.format, print, stdout_is_terminal());
  const bool keep_rows = to_file || !options.compare.empty();
  std::vector<OutputRow> rows;
  if (printer) printer->begin_rows();
  Batch batch(options, given);
  batch.run([&](OutputRow row) {
    if (printer) printer->row(row);
    if (keep_rows) rows.push_back(std::move(row));
  });
  if (printer) printer->end_rows();

  const bool newly_abolished = !options.compare.empty() && report_changes(previous, rows, options);
  if (to_file) {
    if (Text reason = write_output(rows, options.output); !reason.empty()) {
      // No lookup is thrown away: the rows go to stdout unless they are there already.
      if (!printer) print(rows_text(rows, options.format, stdout_is_terminal()));
      warn("cannot write " + table_cell(options.output) + ": " + utf8(reason) +
           (printer ? "" : "; the rows went to stdout"));
      return kUsageError;
    }
  }
  if (interrupted) return kInterrupted;
  if (newly_abolished) return kNewlyAbolished;
  return batch.any_failed() ? kSomeFailed : kAllAnswered;
}

}  // namespace stdlookup::cli

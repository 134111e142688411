// stdlookup-cli batch FILE: every line of a list looked up in turn, the rows to stdout, to a file
// or compared with an earlier list.
#include <optional>

#include "batch_output.h"
#include "batch_run.h"
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "lookup/number_cleanup.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::cli {
namespace {

// What the user gave, line by line: as UTF-8 for showing, as GBK for looking up (a plain list's
// lines go to the query unchanged, as the window's would). "" or the message for stderr.
// `places`: where each line is, for the change report.
std::string read_given(const Options& options, const std::string& file, GivenLines& given,
                       std::vector<Place>& places) {
  const std::string name = file.empty() || file == "-" ? tr("standard input") : file;
  // What the list is comes from its bytes as well as its name (a workbook saved as .xlsm, .txt).
  auto bytes = read_input_bytes(file);
  if (!bytes.ok()) return tr("cannot read {1}: {2}", {table_cell(name), bytes.error()});
  const ListKind kind = list_kind(file, *bytes);
  if (kind != ListKind::text) {
    const auto list =
        read_list_numbers(std::move(*bytes), kind, options.column, options.sheet, options.label);
    if (!list.ok()) return tr("cannot read {1}: {2}", {table_cell(name), table_cell(list.error())});
    for (std::size_t i = 0; i < list->numbers.size(); ++i) {
      given.add_utf8(list->numbers[i]);
      places.push_back({list->rows[i], i < list->labels.size() ? list->labels[i] : ""});
    }
    return {};
  }
  if (!options.column.empty()) return tr("--column goes with a workbook or .csv list");
  if (!options.sheet.empty()) return tr("--sheet goes with a workbook list");
  if (!options.label.empty()) return tr("--label goes with a workbook or .csv list");
  auto input = batch_input_of(std::move(*bytes));
  if (!input.ok()) return tr("cannot read {1}: {2}", {table_cell(name), input.error()});
  if (input->read_as_gbk) warn(tr("{1} is not UTF-8: read as GBK", {table_cell(name)}));
  given = std::move(input->lines);
  for (std::size_t i = 0; i < given.size(); ++i) places.push_back({static_cast<int>(i) + 1, ""});
  return {};
}

// Whether an earlier run's row is the one of `line`: the same number, or the page's number with
// the year the line left out ("GB 2760" → "GB 2760-2014").
bool same_standard(const std::string& line, const ListRow& row) {
  const std::string asked = to_lower(normalize_number(line));
  for (const std::string* held : {&row.query, &row.number}) {
    const std::string number = to_lower(normalize_number(*held));
    if (number == asked) return true;
    if (number.size() > asked.size() && number.compare(0, asked.size(), asked) == 0 &&
        number[asked.size()] == '-')
      return true;
  }
  return false;
}

// An earlier run's row as this run would have made it (the line as given is the query: the file
// keeps only that).
OutputRow held_row(const ListRow& row, bool normalize) {
  OutputRow held;
  held.record = {utf8_to_gbk(row.number),
                 utf8_to_gbk(row.chinese_name),
                 utf8_to_gbk(row.status),
                 utf8_to_gbk(row.implementation_date),
                 {}};
  held.failed = row.status == status_words::failed;
  held.query = row.query.empty() ? row.number : row.query;
  if (normalize) held.line = held.query;
  return held;
}

// Whether a row holds all a batch row has: a status is its last field, one of four words.
bool complete(const ListRow& row) {
  using namespace status_words;
  return row.status == current || row.status == abolished || row.status == not_found ||
         row.status == failed;
}

// --resume: the rows an interrupted run left in `path` for the first lines of the list (none when
// there is no such file yet); a row torn or short of fields is asked again. "" or the message
// for stderr.
std::string held_rows(const std::string& path, const Batch& batch, std::size_t lines,
                      std::vector<std::optional<OutputRow>>& rows) {
  if (!std::filesystem::exists(native_path(path))) return {};
  auto read = read_export(path, true);
  const auto cannot = [&](const std::string& why) {
    return tr("--resume: cannot go on from {1}: {2}", {table_cell(path), why});
  };
  if (!read.ok()) return cannot(table_cell(read.error()));
  ListRows& held = *read;
  if (held.cut_short && extension_of(path) == ".csv" && !held.rows.empty()) held.rows.pop_back();
  if (held.rows.size() > lines) return cannot(tr("it holds more rows than the list has lines"));
  for (std::size_t i = 0; i < held.rows.size(); ++i) {
    if (!complete(held.rows[i])) continue;
    const std::string asked = batch.query_of(static_cast<int>(i));
    if (!same_standard(asked, held.rows[i])) {
      return cannot(
          tr("its row {1} is {2}, the list's line is {3}; leave --resume out to start "
             "again",
             {std::to_string(i + 1), table_cell(held.rows[i].number), table_cell(asked)}));
    }
    rows[i] = held_row(held.rows[i], batch.normalizes());
  }
  return {};
}

// The lines to look up: those without a row, and those whose earlier request failed.
std::vector<int> lines_left(const std::vector<std::optional<OutputRow>>& rows) {
  std::vector<int> todo;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i] || rows[i]->failed) todo.push_back(static_cast<int>(i));
  }
  return todo;
}

// The rows in list order, up to the first line without one (an interrupted run's end).
std::vector<OutputRow> rows_so_far(std::vector<std::optional<OutputRow>>& rows) {
  std::vector<OutputRow> done;
  for (auto& row : rows) {
    if (!row) break;
    done.push_back(std::move(*row));
  }
  return done;
}

std::vector<ListRow> list_rows(const std::vector<OutputRow>& rows) {
  std::vector<ListRow> list;
  list.reserve(rows.size());
  for (const OutputRow& r : rows) {
    const Row cells = row_cells(r);
    list.push_back({r.query, cells[0], cells[1], cells[2], cells[3]});
  }
  return list;
}

// Checks what the options name before the first lookup; "" or the message for stderr.
std::string options_problem(const Options& options, const std::string& file, ListRows& previous) {
  const bool to_file = !options.output.empty() && options.output != "-";
  std::error_code error;
  if (to_file && !file.empty() && file != "-" &&
      std::filesystem::equivalent(native_path(file), native_path(options.output), error))
    return tr("--output {1}: that is your list: use --update to write into it",
              {table_cell(options.output)});
  if (to_file) {
    if (const Status problem = output_problem(options.output); !problem.ok())
      return problem.error();
  }
  if (options.resume && !to_file) return tr("--resume goes with --output FILE or --update");
  if (!options.compare.empty()) {
    // None yet is the first run of a monthly check: every line is new.
    std::error_code missing;
    if (!std::filesystem::exists(native_path(options.compare), missing) && !missing) {
      warn(tr("--compare {1} does not exist yet: a first run, every line is new",
              {table_cell(options.compare)}));
      return {};
    }
    auto read = read_export(options.compare);
    if (!read.ok()) return tr("--compare: {1}", {table_cell(read.error())});
    previous = std::move(*read);
  }
  return {};
}

// Writes the rows to --output; on failure they go to stdout (unless there already) and the
// exit code is returned.
std::optional<int> write_rows(const std::vector<OutputRow>& rows, const Options& options,
                              bool printed, std::size_t lines) {
  const auto written = write_output(rows, options.output);
  if (!written.ok()) {
    // No lookup is thrown away.
    if (!printed) print(rows_text(rows, options.format, stdout_is_terminal()));
    warn(printed ? tr("cannot write {1}: {2}", {table_cell(options.output), written.error()})
                 : tr("cannot write {1}: {2}; the rows went to stdout",
                      {table_cell(options.output), written.error()}));
    return kUsageError;
  }
  for (int row : *written) {
    const OutputRow& r = rows[static_cast<std::size_t>(row)];
    warn(cut_cell_warning(options.output, row + 2, r.query));
  }
  if (Batch::interrupted() && rows.size() < lines) {
    warn(
        // TRANSLATORS: {1} the lines of the list, {2} the lines done, {3} the output file.
        trn("stopped after {2} of {1} line; their rows are in {3}: run the same command with "
            "--resume to go on",
            "stopped after {2} of {1} lines; their rows are in {3}: run the same command with "
            "--resume to go on",
            lines, {std::to_string(rows.size()), table_cell(options.output)}));
  }
  return std::nullopt;
}

}  // namespace

int batch_command(const Options& options, const std::string& file) {
  if (options.update) return update_command(options, file);
  ListRows previous;
  if (const std::string problem = options_problem(options, file, previous); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  GivenLines given;
  std::vector<Place> places;
  if (const std::string problem = read_given(options, file, given, places); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  // The rows of a file or a comparison are kept for the end.
  const bool to_file = !options.output.empty() && options.output != "-";
  const bool keep_rows = to_file || !options.compare.empty();
  Batch batch(options, given);
  std::vector<std::optional<OutputRow>> rows(keep_rows ? given.size() : 0);
  if (options.resume) {
    if (const std::string problem = held_rows(options.output, batch, given.size(), rows);
        !problem.empty()) {
      warn(problem);
      return kUsageError;
    }
  }
  // stdout gets the rows unless they go to a file only, or the change report takes their place.
  std::unique_ptr<Emitter> printer;
  if ((!to_file || options.format_given) && options.compare.empty())
    printer = make_emitter(options.format, print, stdout_is_terminal());
  if (printer) printer->begin_rows();
  const auto todo = keep_rows ? lines_left(rows) : line_range(0, static_cast<int>(given.size()));
  batch.run(todo, [&](int line, OutputRow row) {
    if (printer) printer->row(row);
    if (keep_rows) rows[static_cast<std::size_t>(line)] = std::move(row);
  });
  if (printer) printer->end_rows();
  const std::vector<OutputRow> done = keep_rows ? rows_so_far(rows) : std::vector<OutputRow>();
  const bool newly_abolished =
      !options.compare.empty() &&
      report_changes(compare_lists(previous.rows, list_rows(done), places), options);
  if (to_file) {
    if (auto code = write_rows(done, options, printer != nullptr, given.size())) return *code;
  }
  return batch_exit_code(batch, newly_abolished);
}

}  // namespace stdlookup::cli

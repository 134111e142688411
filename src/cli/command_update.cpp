// stdlookup-cli batch LIST --update [OUT]: the results written into the user's own list, what
// changed since its last update reported as --compare reports it.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>

#include "batch_output.h"
#include "batch_run.h"
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "lists/user_list.h"
#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/i18n.h"
#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

namespace fs = std::filesystem;

std::string today() {
  const std::time_t now = std::time(nullptr);
  char text[16] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now));
  return text;
}

// "" or the message for stderr.
std::string update_problem(const Options& options, const std::string& list) {
  if (list.empty() || list == "-") return tr("--update goes with a list file, not standard input");
  const std::string extension = extension_of(list);
  if (!options.output.empty() || !options.compare.empty())
    return tr(
        "--update writes into the list and reports the changes itself: leave --output and "
        "--compare out");
  const std::string& out = *options.update;
  if (!out.empty() && extension_of(out) != extension)
    return tr("--update {1}: the copy must be a {2} file too", {table_cell(out), extension});
  return {};
}

// The results of a line: a value the page did not give keeps what the cell held.
ResultValues results_of(const OutputRow& row, const ResultValues& before, const std::string& date) {
  const auto value = [](const Text& now, const std::string& held) {
    return now.empty() ? held : utf8(now);
  };
  return {value(row.record.chinese_name, before.chinese_name),
          value(row.record.implementation_date, before.implementation_date),
          utf8(row.record.status), date};
}

ListRow list_row(const std::string& number, const ResultValues& values) {
  return {number, number, values.chinese_name, values.implementation_date, values.status};
}

OpenedList open_list(const std::string& path, const Options& options) {
  return open_user_list(path, options.column, options.sheet);
}

// --resume's record of a run into OUT, beside it: made before the first lookup, removed once
// every line is looked up, so that only a run interrupted or with failed requests leaves one. It
// holds the lines of the list the run writes, in order, each marked looked up ("+ ") or not ("- "),
// line breaks in a number escaped.
constexpr std::string_view kRecordHeader = "stdlookup-cli --update: the lines of a run\n";

struct RecordLine {
  bool done = false;
  std::string number;
};

std::string record_path(const std::string& out) {
  const fs::path native = native_path(out);
  const std::u8string path =
      (native.parent_path() / (u8"." + native.filename().u8string() + u8".stdlookup-resume"))
          .u8string();
  return std::string(path.begin(), path.end());
}

// The record of an interrupted run; none when the last run ended. One that cannot be read
// counts as a run that looked up nothing.
std::optional<std::vector<RecordLine>> read_record(const std::string& out) {
  const fs::path path = native_path(record_path(out));
  std::error_code error;
  if (!fs::exists(path, error)) return std::nullopt;
  std::string bytes;
  std::vector<RecordLine> record;
  if (!read_bounded_file(path, kCsvFileBytes, bytes).empty() || !bytes.starts_with(kRecordHeader))
    return record;
  for (std::size_t at = kRecordHeader.size(), end; at < bytes.size(); at = end + 1) {
    end = std::min(bytes.find('\n', at), bytes.size());
    const std::string_view line = std::string_view(bytes).substr(at, end - at);
    if (line.size() < 2 || (line[0] != '+' && line[0] != '-') || line[1] != ' ')
      return std::vector<RecordLine>();
    RecordLine& kept = record.emplace_back();
    kept.done = line[0] == '+';
    for (std::size_t i = 2; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        c = line[++i];
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c;
      }
      kept.number += c;
    }
  }
  return record;
}

// "" or why the record could not be written.
std::string write_record(const std::string& out, const std::vector<UserListLine>& lines,
                         const std::vector<bool>& done) {
  std::string text(kRecordHeader);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += done[i] ? "+ " : "- ";
    for (char c : lines[i].number) {
      text += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    text += '\n';
  }
  return utf8(failure_of(replace_file(record_path(out), [&](const std::string& temp) {
    const int error = write_whole_file(temp, text);
    return error ? describe_file_error(error) : Text();
  })));
}

// For each of `lines`, the index of the line of `held` it is, held being a copy of lines in
// order, or -1 for a line that is not in the copy. False when held has a line lines have not.
bool match_lines(const std::vector<std::string>& lines, const std::vector<std::string>& held,
                 std::vector<int>& matched) {
  std::size_t next = 0;
  matched.assign(lines.size(), -1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (next < held.size() && held[next] == lines[i]) matched[i] = static_cast<int>(next++);
  }
  return next == held.size();
}

std::vector<std::string> numbers_of(const std::vector<UserListLine>& lines) {
  std::vector<std::string> numbers;
  for (const UserListLine& line : lines) numbers.push_back(line.number);
  return numbers;
}

// --resume: which lines the interrupted run into `out` looked up (`done`), and from a copy the
// results it holds for them. "" or the message for stderr.
std::string resume_from(const std::string& list, const std::string& out, const Options& options,
                        const std::vector<UserListLine>& lines, std::vector<bool>& done,
                        std::vector<std::optional<ResultValues>>& results) {
  std::error_code error;
  const bool copy = !fs::equivalent(native_path(list), native_path(out), error);
  if (copy && !fs::exists(native_path(out), error)) return {};  // nothing written yet
  OpenedList held;
  if (copy && !(held = open_list(out, options)).list)
    return tr("--resume: cannot go on from {1}: {2}", {table_cell(out), table_cell(held.error)});
  // What the interrupted run wrote: the list itself, or a copy of it that must be this one's.
  const std::vector<UserListLine>& written = copy ? held.list->lines() : lines;
  std::vector<int> matched;
  if (!match_lines(numbers_of(lines), numbers_of(written), matched)) {
    return tr(
        "--resume: {1} is not a copy of {2} (its lines are not the list's, in order); leave "
        "--resume out to start again",
        {table_cell(out), table_cell(list)});
  }
  // Without a record the last run looked every line up.
  const auto record = read_record(out);
  std::vector<bool> written_done(written.size(), !record);
  if (record) {
    std::vector<std::string> recorded;
    for (const RecordLine& line : *record) recorded.push_back(line.number);
    std::vector<int> in_record;
    match_lines(numbers_of(written), recorded, in_record);
    for (std::size_t j = 0; j < written.size(); ++j)
      written_done[j] = in_record[j] >= 0 && (*record)[static_cast<std::size_t>(in_record[j])].done;
  }
  std::size_t count = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int j = matched[i];
    if (j < 0 || !written_done[static_cast<std::size_t>(j)]) continue;
    done[i] = true;
    ++count;
    if (copy) results[i] = written[static_cast<std::size_t>(j)].before;
  }
  const std::string looked_up = std::to_string(count);
  // TRANSLATORS: {1} the lines of the list, {2} those looked up by the earlier run.
  warn(record ? trn("--resume: {2} of {1} line was looked up already",
                    "--resume: {2} of {1} lines were looked up already", lines.size(), {looked_up})
              : trn("--resume: {2} of {1} line was looked up already (by the last update, which "
                    "ran to its end)",
                    "--resume: {2} of {1} lines were looked up already (by the last update, which "
                    "ran to its end)",
                    lines.size(), {looked_up}));
  return {};
}

// Where the results go, checked before the first lookup: the folder, the file (read-only, other
// hard links), the record's folder, and no spreadsheet program holding it open.
std::string target_problem(const std::string& out) {
  ReplaceOptions in_place;
  in_place.in_place = true;
  for (const auto& [path, options] :
       {std::pair{out, in_place}, std::pair{record_path(out), ReplaceOptions()}}) {
    if (Text problem = replacement_problem(path, options); !problem.empty()) return utf8(problem);
  }
  return open_elsewhere(out);
}

// Where each line is in the list: its row, and with --label that row's cell, read as the batch
// reads the list (the same lines in the same order). "" or the message for stderr.
std::string list_places(const std::string& list, const Options& options,
                        const std::vector<UserListLine>& lines, std::vector<Place>& places) {
  places.resize(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) places[i].row = lines[i].row;
  if (options.label.empty()) return {};
  std::string bytes;
  if (std::string failure = read_input_bytes(list, bytes); !failure.empty()) return failure;
  const ListKind kind = list_kind(list, bytes);
  const NumberList read =
      read_list_numbers(std::move(bytes), kind, options.column, options.sheet, options.label);
  if (!read.error.empty()) return read.error;
  if (read.labels.size() == lines.size()) {
    for (std::size_t i = 0; i < lines.size(); ++i) places[i].label = read.labels[i];
  }
  return {};
}

}  // namespace

int update_command(const Options& options, const std::string& list) {
  if (const std::string problem = update_problem(options, list); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  const std::string out = options.update->empty() ? list : *options.update;
  const OpenedList opened = open_list(list, options);
  if (!opened.list) {
    warn(tr("cannot update {1}: {2}", {table_cell(list), table_cell(opened.error)}));
    return kUsageError;
  }
  if (const std::string problem = target_problem(out); !problem.empty()) {
    warn(tr("cannot update {1}: {2}", {table_cell(out), table_cell(problem)}));
    return kUsageError;
  }
  const std::vector<UserListLine>& lines = opened.list->lines();
  std::vector<std::optional<ResultValues>> results(lines.size());
  std::vector<bool> failed(lines.size());
  std::vector<bool> done(lines.size());
  if (options.resume) {
    if (std::string problem = resume_from(list, out, options, lines, done, results);
        !problem.empty()) {
      warn(problem);
      return kUsageError;
    }
  }
  std::vector<Place> places;
  if (const std::string problem = list_places(list, options, lines, places); !problem.empty()) {
    warn(tr("cannot update {1}: {2}", {table_cell(list), table_cell(problem)}));
    return kUsageError;
  }
  if (const std::string problem = write_record(out, lines, done); !problem.empty()) {
    warn(tr("cannot update {1}: {2}", {table_cell(out), table_cell(problem)}));
    return kUsageError;
  }
  GivenLines given;
  for (const UserListLine& line : lines) given.add_utf8(line.number);
  std::vector<Change> changes;
  const std::string date = today();
  Batch batch(options, given);
  std::vector<int> todo;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!done[i]) todo.push_back(static_cast<int>(i));
  }
  batch.run(todo, [&](int index, OutputRow row) {
    const UserListLine& line = lines[static_cast<std::size_t>(index)];
    // A failed request leaves the row as it was.
    ResultValues values{line.before.chinese_name, line.before.implementation_date, "查询失败", ""};
    failed[static_cast<std::size_t>(index)] = row.failed;
    if (!row.failed) {
      ResultValues& result =
          *(results[static_cast<std::size_t>(index)] = results_of(row, line.before, date));
      // Cut before it is compared with what the list holds, which was cut so too.
      if (cut_result_to_cell_limit(result)) warn(cut_cell_warning(out, line.row, line.number));
      values = result;
    }
    Change& change = changes.emplace_back();
    if (!line.before.status.empty()) change.before = list_row(line.number, line.before);
    change.now = list_row(line.number, values);
    change.place = places[static_cast<std::size_t>(index)];
  });
  const bool newly_abolished = report_changes(report_of(changes), options);
  if (const std::string reason = opened.list->write(results, out, failed); !reason.empty()) {
    warn(
        tr("cannot update {1}: {2}; it was left as it was", {table_cell(out), table_cell(reason)}));
    return kUsageError;
  }
  // The record goes once every line is looked up; else it says which are left (those of an
  // interrupted run, those whose request failed).
  for (std::size_t i = 0; i < lines.size(); ++i) done[i] = done[i] || results[i].has_value();
  std::error_code error;
  if (std::find(done.begin(), done.end(), false) == done.end()) {
    fs::remove(native_path(record_path(out)), error);
  } else if (const std::string problem = write_record(out, lines, done); !problem.empty()) {
    warn(tr("--resume will ask again for the lines of this run: {1}", {table_cell(problem)}));
  }
  if (Batch::interrupted() && changes.size() < todo.size()) {
    warn(
        // TRANSLATORS: {1} the lines left to look up, {2} those done, {3} the list written.
        trn("stopped after {2} of {1} line; their results are in {3}: run the same command "
            "with --resume to go on",
            "stopped after {2} of {1} lines; their results are in {3}: run the same command "
            "with --resume to go on",
            todo.size(), {std::to_string(changes.size()), table_cell(out)}));
  }
  return batch_exit_code(batch, newly_abolished);
}

}  // namespace stdlookup::cli

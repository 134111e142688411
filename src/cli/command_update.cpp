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
#include "lists/resume.h"
#include "runtime/i18n.h"
#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

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

// --resume: the message for what the interrupted run looked up already.
void say_resumed(const Resumed& resumed, std::size_t lines) {
  const std::string looked_up = std::to_string(resumed.count);
  // TRANSLATORS: {1} the lines of the list, {2} those looked up by the earlier run.
  warn(resumed.recorded
           ? trn("--resume: {2} of {1} line was looked up already",
                 "--resume: {2} of {1} lines were looked up already", lines, {looked_up})
           : trn("--resume: {2} of {1} line was looked up already (by the last update, which "
                 "ran to its end)",
                 "--resume: {2} of {1} lines were looked up already (by the last update, which "
                 "ran to its end)",
                 lines, {looked_up}));
}

}  // namespace

int update_command(const Options& options, const std::string& list) {
  if (const std::string problem = update_problem(options, list); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  const std::string out = options.update->empty() ? list : *options.update;
  const OpenedList opened = open_user_list(list, options.column, options.sheet);
  if (!opened.ok()) {
    warn(tr("cannot update {1}: {2}", {table_cell(list), table_cell(opened.error())}));
    return kUsageError;
  }
  if (const Status problem = update_target_problem(out); !problem.ok()) {
    warn(tr("cannot update {1}: {2}", {table_cell(out), table_cell(problem.error())}));
    return kUsageError;
  }
  const std::vector<UserListLine>& lines = (*opened)->lines();
  std::vector<std::optional<ResultValues>> results(lines.size());
  std::vector<bool> failed(lines.size());
  std::vector<bool> done(lines.size());
  if (options.resume) {
    auto resumed = resume_update(list, out, options.column, options.sheet, lines);
    if (!resumed.ok()) {
      warn(resumed.error());
      return kUsageError;
    }
    say_resumed(*resumed, lines.size());
    done = std::move(resumed->done);
    results = std::move(resumed->results);
  }
  const auto places = places_of(list, options.column, options.sheet, options.label, lines);
  if (!places.ok()) {
    warn(tr("cannot update {1}: {2}", {table_cell(list), table_cell(places.error())}));
    return kUsageError;
  }
  if (const Status written = write_resume_record(out, lines, done); !written.ok()) {
    warn(tr("cannot update {1}: {2}", {table_cell(out), table_cell(written.error())}));
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
    ResultValues values{line.before.chinese_name, line.before.implementation_date,
                        std::string(status_words::failed), ""};
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
    change.place = (*places)[static_cast<std::size_t>(index)];
  });
  const bool newly_abolished = report_changes(report_of(changes), options);
  if (const Status written = (*opened)->write(results, out, failed); !written.ok()) {
    warn(tr("cannot update {1}: {2}; it was left as it was",
            {table_cell(out), table_cell(written.error())}));
    return kUsageError;
  }
  // The record goes once every line is looked up; else it says which are left (those of an
  // interrupted run, those whose request failed).
  for (std::size_t i = 0; i < lines.size(); ++i) done[i] = done[i] || results[i].has_value();
  if (std::find(done.begin(), done.end(), false) == done.end()) {
    remove_resume_record(out);
  } else if (const Status kept = write_resume_record(out, lines, done); !kept.ok()) {
    warn(tr("--resume will ask again for the lines of this run: {1}", {table_cell(kept.error())}));
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

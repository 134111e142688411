// stdlookup-cli batch LIST --update [OUT]: the results written into the user's own list, what
// changed since its last update reported as --compare reports it.
#include <algorithm>
#include <ctime>
#include <filesystem>

#include "batch_output.h"
#include "batch_run.h"
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "runtime/system.h"
#include "user_list.h"

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
  const std::string extension = list == "-" ? std::string() : extension_of(list);
  if (extension != ".xlsx" && extension != ".csv")
    return "--update goes with an .xlsx or .csv list";
  if (!options.output.empty() || !options.compare.empty())
    return "--update writes into the list and reports the changes itself: leave --output and "
           "--compare out";
  const std::string& out = *options.update;
  if (!out.empty() && extension_of(out) != extension)
    return "--update " + table_cell(out) + ": the copy must be a " + extension + " file too";
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

// --resume: the lines not yet looked up by the run that was interrupted, the one whose date is
// the newest in 查询日期 (the lines without that date).
std::vector<int> lines_to_update(const std::vector<UserListLine>& lines, bool resume) {
  std::string newest;
  if (resume) {
    for (const UserListLine& line : lines) newest = std::max(newest, line.before.lookup_date);
  }
  std::vector<int> todo;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (newest.empty() || lines[i].before.lookup_date != newest)
      todo.push_back(static_cast<int>(i));
  }
  if (todo.size() < lines.size()) {
    warn("--resume: " + std::to_string(lines.size() - todo.size()) + " of " +
         std::to_string(lines.size()) + " lines were looked up on " + newest + " already");
  }
  return todo;
}

}  // namespace

int update_command(const Options& options, const std::string& list) {
  if (const std::string problem = update_problem(options, list); !problem.empty()) {
    warn(problem);
    return kUsageError;
  }
  const std::string out = options.update->empty() ? list : *options.update;
  // Going on into a copy: the copy holds the results so far.
  const bool from_copy = options.resume && out != list && std::filesystem::exists(native_path(out));
  const std::string source = from_copy ? out : list;
  const OpenedList opened = extension_of(list) == ".xlsx"
                                ? open_user_workbook(source, options.column)
                                : open_user_csv(source, options.column);
  if (!opened.list) {
    warn("cannot update " + table_cell(source) + ": " + table_cell(opened.error));
    return kUsageError;
  }
  const std::vector<UserListLine>& lines = opened.list->lines();
  GivenLines given;
  for (const UserListLine& line : lines) given.add_utf8(line.number);
  std::vector<std::optional<ResultValues>> results(lines.size());
  std::vector<ListRow> before, now;
  const std::string date = today();
  Batch batch(options, given);
  const std::vector<int> todo = lines_to_update(lines, options.resume);
  batch.run(todo, [&](int index, OutputRow row) {
    const UserListLine& line = lines[static_cast<std::size_t>(index)];
    // A failed request leaves the row as it was.
    ResultValues values{line.before.chinese_name, line.before.implementation_date, "查询失败", ""};
    if (!row.failed) {
      ResultValues& result =
          *(results[static_cast<std::size_t>(index)] = results_of(row, line.before, date));
      // Cut before it is compared with what the list holds, which was cut so too.
      if (cut_result_to_cell_limit(result)) warn(cut_cell_warning(out, line.row, line.number));
      values = result;
    }
    if (!line.before.status.empty()) before.push_back(list_row(line.number, line.before));
    now.push_back(list_row(line.number, values));
  });
  const bool newly_abolished = report_changes(before, now, options);
  if (const std::string reason = opened.list->write(results, out); !reason.empty()) {
    warn("cannot update " + table_cell(out) + ": " + table_cell(reason) +
         "; it was left as it was");
    return kUsageError;
  }
  if (Batch::interrupted() && now.size() < todo.size()) {
    warn("stopped after " + std::to_string(now.size()) + " of " + std::to_string(todo.size()) +
         " lines; their results are in " + table_cell(out) +
         ": run the same command with --resume to go on");
  }
  return batch_exit_code(batch, newly_abolished);
}

}  // namespace stdlookup::cli

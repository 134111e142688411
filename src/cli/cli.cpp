#include "cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>

#include "cli_platform.h"
#include "compare.h"
#include "export/export.h"
#include "input.h"
#include "list_input.h"
#include "lookup/batch.h"
#include "lookup/hosts.h"
#include "lookup/lookup.h"
#include "lookup/number_cleanup.h"
#include "output.h"
#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/settings.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "web/cookie_store.h"
#include "web/transport.h"

namespace stdlookup::cli {
namespace {

using json = nlohmann::ordered_json;

std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) {
  interrupted = true;
  cancel_requests();  // ends the request in flight too
}

struct Options {
  std::string query_host;
  std::string download_host;
  std::string proxy;
  std::string format = "text";
  std::string output;
  int delay_ms = 500;
  bool quiet = false;
  bool format_given = false;
  // batch
  std::string column;   // of an .xlsx or .csv list
  std::string compare;  // an earlier export
  int retries = 0;
  bool normalize = false;
};

std::string utf8(const Text& gbk) {
  return gbk_to_utf8(gbk);
}

std::string dump(const json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// CSV printed to a terminal has its control characters escaped, as the text table has.
bool stdout_is_terminal() {
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  return terminal;
}

void warn(const std::string& text) {
  std::string line = "stdlookup-cli: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// ---- query

int query(const Options& options, const std::string& number) {
  clear_cookie_files();
  LookupResult result = lookup_standard(utf8_to_gbk(number));
  const StandardRecord& f = result.page.fields;
  const std::string status = utf8(single_query_status(result));
  if (options.format == "json") {
    print(dump(json{{"number", utf8(f.number)},
                    {"chinese_name", utf8(f.chinese_name)},
                    {"status", status},
                    {"implementation_date", utf8(f.implementation_date)},
                    {"publishing_department", utf8(f.publishing_department)}}));
  } else if (options.format == "csv") {
    print(csv_line({"标准编号", "中文名称", "标准状态", "实施日期", "发布部门"},
                   stdout_is_terminal()) +
          csv_line({utf8(f.number), utf8(f.chinese_name), status, utf8(f.implementation_date),
                    utf8(f.publishing_department)},
                   stdout_is_terminal()));
  } else {
    print(aligned_table({{"标准编号", table_cell(utf8(f.number))},
                         {"中文名称", table_cell(utf8(f.chinese_name))},
                         {"标准状态", status},
                         {"实施日期", table_cell(utf8(f.implementation_date))},
                         {"发布部门", table_cell(utf8(f.publishing_department))}}));
  }
  if (result.failed) {
    warn(table_cell(number) + ": 查询失败");
    return kSomeFailed;
  }
  return kAllAnswered;
}

// ---- batch

struct BatchRow {
  StandardRecord record;  // status = the batch status
  bool failed = false;
  std::optional<std::string> line;  // with --normalize: the line as given (UTF-8)
  std::string query;                // what was looked up (UTF-8)
  std::optional<int> tries;         // with --retries: requests made
};

json row_json(const BatchRow& r) {
  json object{{"number", utf8(r.record.number)},
              {"chinese_name", utf8(r.record.chinese_name)},
              {"implementation_date", utf8(r.record.implementation_date)},
              {"status", utf8(r.record.status)}};
  if (r.line) {
    object["line"] = *r.line;
    object["query"] = r.query;
  }
  if (r.tries) object["tries"] = *r.tries;
  return object;
}

// `terminal`: CSV for a terminal (see csv_line).
std::string format_rows(const std::vector<BatchRow>& rows, const std::string& format,
                        bool terminal = false) {
  const auto& headers = export_header_texts();
  if (format == "json") {
    json array = json::array();
    for (const BatchRow& r : rows) array.push_back(row_json(r));
    return dump(array);
  }
  std::vector<Row> table{{utf8(headers[0]), utf8(headers[1]), utf8(headers[2]), utf8(headers[3])}};
  for (const BatchRow& r : rows) {
    table.push_back({utf8(r.record.number), utf8(r.record.chinese_name),
                     utf8(r.record.implementation_date), utf8(r.record.status)});
  }
  if (format == "csv") {
    std::string out;
    for (const Row& row : table) out += csv_line(row, terminal);
    return out;
  }
  for (Row& row : table) {
    for (std::string& cell : row) cell = table_cell(cell);
  }
  return aligned_table(table);
}

Row cells_of(const BatchRow& r) {
  return {utf8(r.record.number), utf8(r.record.chinese_name), utf8(r.record.implementation_date),
          utf8(r.record.status)};
}

// The rows on stdout: CSV and JSON row by row as each line completes, so a pipe sees progress
// and nothing piles up; the text table whole at the end, its columns as wide as their widest
// cell. The result is the same as format_rows gives for all rows at once.
class RowPrinter {
 public:
  explicit RowPrinter(std::string format) : format_(std::move(format)) {
    if (format_ == "csv") print(format_rows({}, "csv", stdout_is_terminal()));
  }
  void add(const BatchRow& r) {
    if (format_ == "text") {
      rows_.push_back(r);
    } else if (format_ == "csv") {
      print(csv_line(cells_of(r), stdout_is_terminal()));
    } else {
      // One element of the array, indented as a whole; the closing "]" comes with finish().
      const std::string text = dump(row_json(r));
      std::string item = printed_ ? ",\n  " : "[\n  ";
      for (char c : std::string_view(text).substr(0, text.size() - 1)) {
        item += c;
        if (c == '\n') item += "  ";
      }
      print(item);
    }
    printed_ = true;
  }
  void finish() {
    if (format_ == "text") print(format_rows(rows_, "text"));
    if (format_ == "json") print(printed_ ? "\n]\n" : "[]\n");
  }

 private:
  std::string format_;
  std::vector<BatchRow> rows_;  // the text table's
  bool printed_ = false;
};

// The rows as the window's list holds them, written by the window's row writer.
Text write_xlsx(const std::vector<BatchRow>& rows, const std::string& path) {
  std::vector<ExportRow> cells;
  cells.reserve(rows.size());
  for (const BatchRow& r : rows) {
    cells.push_back(
        {r.record.number, r.record.chinese_name, r.record.implementation_date, r.record.status});
  }
  auto writer = make_xlsx_workbook_writer();
  const SaveResult result = write_rows_to_workbook(cells, *writer, path);
  if (!result.ok()) return result.failure_reason;
  for (int sheet_row : result.cut_rows) {
    const BatchRow& r = rows[static_cast<std::size_t>(sheet_row - 2)];  // after the header
    warn(table_cell(path) + ": row " + std::to_string(sheet_row) + " (" + table_cell(r.query) +
         "): a cell over " + std::to_string(kCellCharacterLimit) +
         " characters was cut to fit, ending in \"…\"");
  }
  return {};
}

std::string extension_of(const std::string& path) {
  const std::u8string extension = native_path(path).extension().u8string();
  return to_lower(std::string(extension.begin(), extension.end()));
}

bool known_extension(const std::string& path) {
  const std::string extension = extension_of(path);
  return extension == ".xlsx" || extension == ".csv" || extension == ".json";
}

// Why the rows could not be written to `path`, found before the first lookup: a missing folder,
// one that may not be written to, a target that is a folder. "" when a file can be made there.
Text output_target_problem(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target = native_path(path);
  std::error_code error;
  // Said in words of our own: the system's error numbers differ between platforms.
  if (fs::is_directory(target, error)) return utf8_to_gbk("目标是一个文件夹");
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, error)) return utf8_to_gbk("目标文件夹不存在");
  // The one sure test of permission (and of a read-only file system) is making a file there.
  const fs::path probe = folder / (".stdlookup-cli-" + std::to_string(std::random_device{}()));
  errno = 0;
  std::FILE* file = open_new_file(probe);
  if (file == nullptr) return describe_file_error(errno ? errno : EACCES);
  std::fclose(file);
  fs::remove(probe, error);
  return {};
}

Text write_output(const std::vector<BatchRow>& rows, const std::string& path) {
  const std::string extension = extension_of(path);
  if (extension == ".xlsx") return write_xlsx(rows, path);
  const std::string content = format_rows(rows, extension == ".json" ? "json" : "csv");
  return failure_of(replace_file(path, [&](const std::string& temp) {
    int error = write_whole_file(temp, content);
    return error ? describe_file_error(error) : Text();
  }));
}

class Progress {
 public:
  Progress(int total, bool shown) : total_(total), shown_(shown), start_(clock::now()) {}
  void show(int done, const std::string& current) {
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
    std::fprintf(stderr, "\r\033[K[%s] %d/%d  %s  剩余 %s", bar.c_str(), done, total_,
                 table_cell(current).c_str(), left.c_str());
    std::fflush(stderr);
  }
  void finish() {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

 private:
  using clock = std::chrono::steady_clock;
  int total_;
  bool shown_;
  clock::time_point start_;
};

// The change report: what became of each standard since the earlier list.
std::string format_report(const ChangeReport& report, const std::string& format) {
  const std::pair<const char*, const std::vector<Change>*> kinds[] = {
      {"newly_abolished", &report.newly_abolished},
      {"newly_current", &report.newly_current},
      {"details_changed", &report.details_changed},
      {"newly_failed", &report.newly_failed},
      {"added", &report.added},
      {"gone", &report.gone},
  };
  const auto side = [](const ListRow& row) {
    return json{{"number", row.number},
                {"chinese_name", row.chinese_name},
                {"implementation_date", row.implementation_date},
                {"status", row.status}};
  };
  if (format == "json") {
    json out = json::object();
    for (const auto& [kind, changes] : kinds) {
      json list = json::array();
      for (const Change& c : *changes)
        list.push_back({{"before", side(c.before)}, {"now", side(c.now)}});
      out[kind] = list;
    }
    out["unchanged"] = report.unchanged;
    return dump(out);
  }
  std::vector<Row> table;
  if (format == "csv") {
    table.push_back({"change", "number", "chinese_name", "implementation_date", "status",
                     "previous_chinese_name", "previous_implementation_date", "previous_status"});
  }
  const std::map<std::string, std::string> words = {{"newly_abolished", "新作废"},
                                                    {"newly_current", "恢复现行"},
                                                    {"details_changed", "有变化"},
                                                    {"newly_failed", "查询失败"},
                                                    {"added", "新增"},
                                                    {"gone", "移除"}};
  for (const auto& [kind, changes] : kinds) {
    for (const Change& c : *changes) {
      const ListRow& shown = c.now.number.empty() && c.now.query.empty() ? c.before : c.now;
      const std::string number = shown.number.empty() ? shown.query : shown.number;
      if (format == "csv") {
        table.push_back({kind, number, c.now.chinese_name, c.now.implementation_date, c.now.status,
                         c.before.chinese_name, c.before.implementation_date, c.before.status});
      } else {
        std::string what =
            c.before.status.empty() || c.now.status.empty() || c.before.status == c.now.status
                ? shown.status
                : c.before.status + " → " + c.now.status;
        if (kind == std::string("details_changed")) {
          if (c.before.chinese_name != c.now.chinese_name)
            what += "  " + c.before.chinese_name + " → " + c.now.chinese_name;
          if (c.before.implementation_date != c.now.implementation_date)
            what += "  " + c.before.implementation_date + " → " + c.now.implementation_date;
        }
        table.push_back({words.at(kind), table_cell(number), table_cell(what)});
      }
    }
  }
  if (format == "csv") {
    std::string out;
    for (const Row& row : table) out += csv_line(row, stdout_is_terminal());
    return out;
  }
  table.push_back({"未变", std::to_string(report.unchanged), ""});
  return aligned_table(table);
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

// The lines of a workbook or CSV list (UTF-8), read by column; `failure` says why not.
std::vector<std::string> list_lines(const std::string& file, const Options& options,
                                    std::string& failure) {
  Table table;
  if (extension_of(file) == ".xlsx") {
    table = read_xlsx_table(file, numbers_column(options.column));
  } else {
    std::string bytes;
    failure = read_input_bytes(file, bytes);
    if (!failure.empty()) return {};
    if (!is_valid_utf8(bytes)) bytes = gbk_to_utf8(bytes);
    table = read_csv_table(bytes, numbers_column(options.column));
  }
  NumberList list = numbers_of(table);
  failure = list.error;
  return list.numbers;
}

int batch(const Options& options, const std::string& file) {
  const bool to_file = !options.output.empty() && options.output != "-";
  if (to_file) {
    if (!known_extension(options.output)) {
      warn("--output " + table_cell(options.output) +
           ": unknown extension; use .xlsx, .csv or .json, or - for stdout");
      return kUsageError;
    }
    if (Text problem = output_target_problem(options.output); !problem.empty()) {
      warn("cannot write " + table_cell(options.output) + ": " + utf8(problem));
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
  const std::string name = file.empty() || file == "-" ? std::string("standard input") : file;
  // What the user gave, line by line: as UTF-8 for showing, as GBK for looking up (a plain list's
  // lines go to the query unchanged, as the window's would).
  GivenLines given;
  const std::string extension = file == "-" ? std::string() : extension_of(file);
  if (extension == ".xlsx" || extension == ".csv") {
    std::string failure;
    for (std::string& number : list_lines(file, options, failure)) given.add_utf8(number);
    if (!failure.empty()) {
      warn("cannot read " + table_cell(name) + ": " + table_cell(failure));
      return kUsageError;
    }
  } else {
    if (!options.column.empty()) {
      warn("--column goes with an .xlsx or .csv list");
      return kUsageError;
    }
    BatchInput input = read_batch_input(file);
    if (!input.failure.empty()) {
      warn("cannot read " + table_cell(name) + ": " + input.failure);
      return kUsageError;
    }
    if (input.read_as_gbk) warn(table_cell(name) + " is not UTF-8: read as GBK");
    given = std::move(input.lines);
  }
  std::signal(SIGINT, on_interrupt);
  Progress progress(static_cast<int>(given.size()), !options.quiet && isatty(STDERR_FILENO));
  // stdout gets the rows unless they go to a file only, or the change report takes their place;
  // the rows of a file or a comparison are kept for the end.
  std::optional<RowPrinter> printer;
  if ((!to_file || options.format_given) && options.compare.empty())
    printer.emplace(options.format);
  const bool keep_rows = to_file || !options.compare.empty();
  std::vector<BatchRow> rows;
  bool any_failed = false;
  // What a line is looked up as: the line itself, or with --normalize its cleaned-up number.
  const auto query_of = [&](int index) {
    const std::string shown = given[static_cast<std::size_t>(index)].shown;
    return options.normalize ? normalize_number(shown) : shown;
  };
  BatchRun run;
  run.pause_ms = options.delay_ms;
  run.retries = options.retries;
  run.wait = interruptible_wait;
  run.cancel = &interrupted;
  run.on_line = [&](int index, const Text&) { progress.show(index, query_of(index)); };
  run.on_row = [&](const stdlookup::BatchRow& looked_up) {
    BatchRow row;
    row.record = looked_up.record;
    row.failed = looked_up.result.failed;
    row.query = query_of(looked_up.index);
    if (options.normalize) row.line = given[static_cast<std::size_t>(looked_up.index)].shown;
    if (options.retries > 0) row.tries = looked_up.tries;
    if (row.failed) {
      any_failed = true;
      progress.finish();
      warn(table_cell(row.query) + ": 查询失败");
    }
    if (printer) printer->add(row);
    if (keep_rows) rows.push_back(std::move(row));
  };
  run_batch(
      static_cast<int>(given.size()),
      [&](int index) {
        return options.normalize ? utf8_to_gbk(query_of(index))
                                 : given[static_cast<std::size_t>(index)].gbk;
      },
      run);
  progress.finish();
  std::signal(SIGINT, SIG_DFL);

  if (printer) printer->finish();
  bool newly_abolished = false;
  if (!options.compare.empty()) {
    std::vector<ListRow> now;
    for (const BatchRow& r : rows) {
      const Row cells = cells_of(r);
      now.push_back({r.query, cells[0], cells[1], cells[2], cells[3]});
    }
    const ChangeReport report = compare_lists(previous.rows, now);
    newly_abolished = !report.newly_abolished.empty();
    print(format_report(report, options.format));
  }
  if (to_file) {
    if (Text reason = write_output(rows, options.output); !reason.empty()) {
      // No lookup is thrown away: the rows go to stdout unless they are there already.
      if (!printer) print(format_rows(rows, options.format, stdout_is_terminal()));
      warn("cannot write " + table_cell(options.output) + ": " + utf8(reason) +
           (printer ? "" : "; the rows went to stdout"));
      return kUsageError;
    }
  }
  if (interrupted) return kInterrupted;
  if (newly_abolished) return kNewlyAbolished;
  return any_failed ? kSomeFailed : kAllAnswered;
}

// ---- download

int download(const Options& options, const std::string& number) {
  DownloadResult result = find_download(utf8_to_gbk(number));
  if (options.format == "json") {
    print(dump(json{{"found", result.found},
                    {"detail_link", utf8(result.detail_link)},
                    {"download_link", utf8(result.download_link)}}));
  } else if (options.format == "csv") {
    print(csv_line({"found", "detail_link", "download_link"}, stdout_is_terminal()) +
          csv_line({result.found ? "true" : "false", utf8(result.detail_link),
                    utf8(result.download_link)},
                   stdout_is_terminal()));
  } else if (!result.download_link.empty()) {
    print(table_cell(utf8(result.download_link)) + "\n");
  }
  if (!result.found) {
    warn(table_cell(number) + ": no download found");
    return kSomeFailed;
  }
  if (result.detail_failed) {
    warn(table_cell(number) + ": the detail page " + table_cell(utf8(result.detail_link)) +
         " could not be fetched");
    return kSomeFailed;
  }
  if (result.download_link.empty()) {
    warn(table_cell(number) + ": no download link on the detail page " +
         table_cell(utf8(result.detail_link)));
    return kSomeFailed;
  }
  return kAllAnswered;
}

// ---- config

int show_config(const Options& options, const Settings& settings) {
  const std::filesystem::path file = settings_file_path();
  if (options.format == "json") {
    json values;
    for (std::string_view key : kSettingKeys) {
      const Setting& s = *find_setting(settings, key);
      values[std::string(key)] = {{"value", s.value}, {"from", describe_origin(s)}};
    }
    values["file"] = file.string();
    print(dump(values));
    return kAllAnswered;
  }
  std::vector<Row> rows;
  if (options.format == "csv") rows.push_back({"key", "value", "from"});
  for (std::string_view key : kSettingKeys) {
    const Setting& s = *find_setting(settings, key);
    rows.push_back({std::string(key), s.value, describe_origin(s)});
  }
  if (options.format == "csv") {
    std::string out;
    for (const Row& row : rows) out += csv_line(row, stdout_is_terminal());
    print(out);
    return kAllAnswered;
  }
  if (rows.back()[1].empty()) rows.back()[1] = "(direct)";
  const bool exists = std::filesystem::is_regular_file(file);
  rows.push_back({"file", file.string(), exists ? "" : "(none)"});
  print(aligned_table(rows));
  return kAllAnswered;
}

}  // namespace

// --delay in words users understand ("-5" must not read as an option either).
std::string check_delay(const std::string& value) {
  int ms = 0;
  std::size_t used = 0;
  try {
    ms = std::stoi(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != value.size()) return "must be a whole number of milliseconds";
  if (ms < 0) return "must be ≥ 0";
  return {};
}

int run(int argc, char** argv) {
  treat_file_size_limit_as_error();
  CLI::App app{"Looks Chinese national and food standards up by their number.", "stdlookup-cli"};
  app.set_version_flag("-V,--version", "stdlookup-cli " STDLOOKUP_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  Options options;
  std::string number, file, topic;
  const Settings built_in = built_in_settings();
  auto* query_host_option = app.add_option(
      "--query-host", options.query_host,
      "standards query service, HOST[:PORT] (built in: " + built_in.query_host.value + ")");
  auto* download_host_option = app.add_option(
      "--download-host", options.download_host,
      "download search service, HOST[:PORT] (built in: " + built_in.download_host.value + ")");
  auto* proxy_option = app.add_option("--proxy", options.proxy,
                                      "HTTP proxy, HOST:PORT; \"\" for a direct connection "
                                      "(built in: direct)");
  auto* format = app.add_option("--format", options.format, "what goes to stdout (default text)")
                     ->check(CLI::IsMember({"text", "json", "csv"}));
  app.add_flag("--quiet", options.quiet, "no progress on stderr");

  auto* query_cmd = app.add_subcommand("query", "look one standard up");
  query_cmd->add_option("NUMBER", number, "standard number")->required();
  auto* batch_cmd = app.add_subcommand("batch", "look up every line of FILE (or standard input)");
  batch_cmd->add_option("FILE", file,
                        "one number per line, or a workbook (.xlsx) or .csv list; - for standard "
                        "input");
  batch_cmd->add_option("--column", options.column,
                        "of an .xlsx or .csv list: the column of the numbers, by letter or header "
                        "(default: the one headed 标准号, else the first)");
  batch_cmd->add_option("--compare", options.compare,
                        "an earlier export (.xlsx, .csv or .json): print what changed instead of "
                        "the rows; exit 3 when a standard became 作废");
  batch_cmd
      ->add_option("--retries", options.retries,
                   "try a failed request again up to N times (no response, 5xx, 429), "
                   "waiting 1 s, 2 s, … or the server's Retry-After (default 0)")
      ->check(CLI::Range(0, 20))
      ->type_name("N");
  batch_cmd->add_flag("--normalize", options.normalize,
                      "clean each number up first (full-width characters, invisible ones, "
                      "dashes, \"gb2760\" → \"GB 2760\"); JSON rows keep the line as given");
  auto* download_cmd = app.add_subcommand("download", "find the download link of a standard");
  download_cmd->add_option("NUMBER", number, "standard number")->required();
  auto* config_cmd = app.add_subcommand(
      "config", "show the service hosts and the proxy in effect, and where each came from");
  auto* help_cmd = app.add_subcommand("help", "show the help of the program or of COMMAND");
  help_cmd->add_option("COMMAND", topic, "query, batch, download or config");

  // The batch options belong to batch, and are still accepted before it; given before another
  // command they are a usage error.
  std::vector<CLI::Option*> batch_options;
  for (CLI::App* owner : {&app, batch_cmd}) {
    const std::string group = owner == &app ? "" : "Options";  // hidden at the top level
    batch_options.push_back(
        owner
            ->add_option("--output", options.output,
                         "write the rows to FILE (.xlsx, .csv or .json; - for stdout), atomically; "
                         "stdout then stays empty unless --format is given")
            ->group(group));
    batch_options.push_back(
        owner
            ->add_option_function<std::string>(
                "--delay",
                [&options](const std::string& value) { options.delay_ms = std::stoi(value); },
                "pause after each request in ms (default 500)")
            ->type_name("MS")
            ->check(CLI::Validator(check_delay, "", "delay"))
            ->allow_extra_args(false)
            ->group(group));
  }

  try {
    app.parse(argc, argv);
    if (!batch_cmd->parsed()) {
      for (CLI::Option* option : batch_options) {
        if (option->count()) {
          throw CLI::ValidationError("--" + option->get_lnames().front() + " goes with batch only");
        }
      }
    }
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kUsageError;
  }
  if (help_cmd->parsed()) {
    CLI::App* about = &app;
    std::string usage = "stdlookup-cli";
    if (!topic.empty()) {
      usage += " " + topic;
      try {
        about = app.get_subcommand(topic);
      } catch (const CLI::OptionNotFound&) {
        warn("no command " + table_cell(topic) +
             "; the commands are query, batch, download and config");
        return kUsageError;
      }
    }
    print(app.get_formatter()->make_help(about, usage, CLI::AppFormatMode::Normal));
    return kAllAnswered;
  }
  options.format_given = format->count() > 0;
  // Built-in values, the settings file, the environment, then these options.
  LoadedSettings loaded = load_settings();
  const std::pair<CLI::Option*, const std::string*> given[] = {
      {query_host_option, &options.query_host},
      {download_host_option, &options.download_host},
      {proxy_option, &options.proxy}};
  for (std::size_t i = 0; i < kSettingKeys.size() && loaded.problem.empty(); ++i) {
    const auto& [option, value] = given[i];
    if (option->count() == 0) continue;
    loaded.problem = set_setting(loaded.settings, kSettingKeys[i], *value,
                                 SettingOrigin::command_line, option->get_name());
    if (!loaded.problem.empty()) loaded.problem = option->get_name() + ": " + loaded.problem;
  }
  if (!loaded.problem.empty()) {
    warn(loaded.problem);
    return kUsageError;
  }
  use_settings(loaded.settings);
  if (config_cmd->parsed()) return show_config(options, loaded.settings);

  if (query_cmd->parsed()) return query(options, number);
  if (batch_cmd->parsed()) return batch(options, file);
  return download(options, number);
}

}  // namespace stdlookup::cli

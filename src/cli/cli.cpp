#include "cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "export/export.h"
#include "lookup/hosts.h"
#include "lookup/lookup.h"
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
};

std::string utf8(const Text& gbk) {
  return gbk_to_utf8(gbk);
}

// The text table shows a field on one line.
std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return text;
}

std::string dump(const json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
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
    print(csv_line({"标准编号", "中文名称", "标准状态", "实施日期", "发布部门"}) +
          csv_line({utf8(f.number), utf8(f.chinese_name), status, utf8(f.implementation_date),
                    utf8(f.publishing_department)}));
  } else {
    print(aligned_table({{"标准编号", one_line(utf8(f.number))},
                         {"中文名称", one_line(utf8(f.chinese_name))},
                         {"标准状态", status},
                         {"实施日期", one_line(utf8(f.implementation_date))},
                         {"发布部门", one_line(utf8(f.publishing_department))}}));
  }
  if (result.failed) {
    warn(number + ": 查询失败");
    return kSomeFailed;
  }
  return kAllAnswered;
}

// ---- batch

struct BatchRow {
  StandardRecord record;  // status = the batch status
  bool failed = false;
};

std::string format_rows(const std::vector<BatchRow>& rows, const std::string& format) {
  const auto& headers = export_header_texts();
  if (format == "json") {
    json array = json::array();
    for (const BatchRow& r : rows) {
      array.push_back({{"number", utf8(r.record.number)},
                       {"chinese_name", utf8(r.record.chinese_name)},
                       {"implementation_date", utf8(r.record.implementation_date)},
                       {"status", utf8(r.record.status)}});
    }
    return dump(array);
  }
  std::vector<Row> table{{utf8(headers[0]), utf8(headers[1]), utf8(headers[2]), utf8(headers[3])}};
  for (const BatchRow& r : rows) {
    table.push_back({utf8(r.record.number), utf8(r.record.chinese_name),
                     utf8(r.record.implementation_date), utf8(r.record.status)});
  }
  if (format == "csv") {
    std::string out;
    for (const Row& row : table) out += csv_line(row);
    return out;
  }
  for (Row& row : table) {
    for (std::string& cell : row) cell = one_line(cell);
  }
  return aligned_table(table);
}

// The rows as the window's list holds them, written by the window's row writer.
Text write_xlsx(const std::vector<BatchRow>& rows, const std::string& path) {
  std::vector<ExportRow> cells;
  cells.reserve(rows.size());
  for (const BatchRow& r : rows) {
    cells.push_back(
        {r.record.number, r.record.chinese_name, r.record.implementation_date, r.record.status});
  }
  auto writer = make_xlsx_workbook_writer();
  return write_rows_to_workbook(cells, *writer, path).failure_reason;
}

std::string extension_of(const std::string& path) {
  const std::u8string extension = native_path(path).extension().u8string();
  return to_lower(std::string(extension.begin(), extension.end()));
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
                 one_line(current).c_str(), left.c_str());
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

bool read_input(const std::string& file, std::string& content) {
  std::ostringstream buffer;
  if (file.empty() || file == "-") {
    buffer << std::cin.rdbuf();
    content = buffer.str();
    return !std::cin.bad();
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  buffer << in.rdbuf();
  content = buffer.str();
  return !in.bad();
}

// LF or CRLF line ends give the lines the window gets for the same text: its edit box hands
// the text over with "\r\n" breaks.
Text window_text(const std::string& utf8_input) {
  std::string crlf;
  for (std::size_t i = 0; i < utf8_input.size(); ++i) {
    if (utf8_input[i] == '\r' && i + 1 < utf8_input.size() && utf8_input[i + 1] == '\n') continue;
    if (utf8_input[i] == '\n') crlf += '\r';
    crlf += utf8_input[i];
  }
  return utf8_to_gbk(crlf);
}

int batch(const Options& options, const std::string& file) {
  std::string input;
  if (!read_input(file, input)) {
    warn("cannot read " + (file.empty() || file == "-" ? std::string("standard input") : file));
    return kUsageError;
  }
  const TextArray lines = batch_lines(window_text(input));
  clear_cookie_files();

  std::signal(SIGINT, on_interrupt);
  Progress progress(lines.count(), !options.quiet && isatty(STDERR_FILENO));
  std::vector<BatchRow> rows;
  bool any_failed = false;
  for (const Text& line : lines) {
    if (interrupted) break;
    progress.show(static_cast<int>(rows.size()), utf8(line));
    LookupResult result = lookup_standard(line);
    if (interrupted && result.failed) break;  // cut short, not failed: no row
    pause(options.delay_ms);
    BatchRow row{result.page.fields, result.failed};
    row.record.publishing_department.clear();  // the list has no such column
    row.record.status = batch_status(result);
    if (result.failed) {
      any_failed = true;
      progress.finish();
      warn(utf8(line) + ": 查询失败");
    }
    rows.push_back(std::move(row));
  }
  progress.finish();
  std::signal(SIGINT, SIG_DFL);

  if (options.output.empty() || options.format_given) print(format_rows(rows, options.format));
  if (!options.output.empty()) {
    if (Text reason = write_output(rows, options.output); !reason.empty()) {
      warn("cannot write " + options.output + ": " + utf8(reason));
      return kUsageError;
    }
  }
  if (interrupted) return kInterrupted;
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
    print(csv_line({"found", "detail_link", "download_link"}) +
          csv_line({result.found ? "true" : "false", utf8(result.detail_link),
                    utf8(result.download_link)}));
  } else if (result.found) {
    print(utf8(result.download_link) + "\n");
  }
  if (!result.found) {
    warn(number + ": no download found");
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
    for (const Row& row : rows) out += csv_line(row);
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

int run(int argc, char** argv) {
  CLI::App app{"Looks Chinese national and food standards up by their number.", "stdlookup-cli"};
  app.set_version_flag("--version", "stdlookup-cli " STDLOOKUP_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  Options options;
  std::string number, file;
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
  auto* output =
      app.add_option("--output", options.output,
                     "batch only: write the rows to FILE (.xlsx, .csv or .json), atomically; "
                     "stdout then stays empty unless --format is given");
  auto* delay = app.add_option("--delay", options.delay_ms,
                               "batch only: pause after each request in ms (default 500)")
                    ->check(CLI::NonNegativeNumber);
  app.add_flag("--quiet", options.quiet, "no progress on stderr");

  auto* query_cmd = app.add_subcommand("query", "look one standard up");
  query_cmd->add_option("NUMBER", number, "standard number")->required();
  auto* batch_cmd = app.add_subcommand("batch", "look up every line of FILE (or standard input)");
  batch_cmd->add_option("FILE", file, "one number per line; - for standard input");
  auto* download_cmd = app.add_subcommand("download", "find the download link of a standard");
  download_cmd->add_option("NUMBER", number, "standard number")->required();
  auto* config_cmd = app.add_subcommand(
      "config", "show the service hosts and the proxy in effect, and where each came from");

  try {
    app.parse(argc, argv);
    if (!batch_cmd->parsed() && (output->count() || delay->count())) {
      throw CLI::ValidationError("--output and --delay go with batch only");
    }
    if (extension_of(options.output) == ".xlsx" && !workbook_writer_available()) {
      throw CLI::ValidationError(
          "--output: this build cannot write .xlsx workbooks; use .csv or .json");
    }
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kUsageError;
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

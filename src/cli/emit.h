// What the commands print, once per output format: text for people, JSON and CSV for scripts.
// An emitter writes to a sink: stdout as things happen, or a string that becomes a file.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "command.h"
#include "lists/compare.h"
#include "lists/output.h"
#include "lookup/lookup.h"

namespace stdlookup::cli {

using Sink = std::function<void(const std::string&)>;

class Emitter {
 public:
  virtual ~Emitter() = default;
  // The single query's answer, with the status as it shows it.
  virtual void query(const LookupResult& result, const std::string& status) = 0;
  virtual void download(const DownloadResult& result) = 0;
  virtual void config(const Settings& settings, const std::filesystem::path& file) = 0;
  // A batch's rows: each as it completes (CSV and JSON go out at once, so a pipe sees progress),
  // then the end (the text table comes whole, its columns as wide as their widest cell).
  virtual void begin_rows() = 0;
  virtual void row(const OutputRow& row) = 0;
  virtual void end_rows() = 0;
  // What became of each standard since an earlier list.
  virtual void report(const ChangeReport& report) = 0;
};

// `terminal`: the sink is a terminal, so a server's text must not drive it (see csv_line).
std::unique_ptr<Emitter> make_emitter(OutputFormat format, Sink sink, bool terminal);

// The rows as one text: as a file of that format holds them, or (`terminal`) for a terminal.
std::string rows_text(const std::vector<OutputRow>& rows, OutputFormat format,
                      bool terminal = false);

// ---- shared by the emitters

std::string utf8(const Text& gbk);
// The line stderr gets for a failed lookup of `query`: "GB 1: 查询失败: connection refused (query
// host H)". Where nothing answers at the built-in query host, it names the settings file.
std::string failure_message(const std::string& query, FailureReason reason, int http_status);

struct ChangeKind {
  const char* key;   // JSON and CSV
  const char* word;  // the text table
  const std::vector<Change>* changes;
};
// The kinds of change, in the order they are reported.
std::array<ChangeKind, 7> change_kinds(const ChangeReport& report);
// The row a change is shown by (the earlier one for a number gone), and its number.
const ListRow& shown_side(const Change& change);
std::string shown_number(const Change& change);

std::unique_ptr<Emitter> make_text_emitter(Sink sink);
std::unique_ptr<Emitter> make_json_emitter(Sink sink);
std::unique_ptr<Emitter> make_csv_emitter(Sink sink, bool terminal);

}  // namespace stdlookup::cli

#include "lists/resume.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "lists/files.h"
#include "lists/input.h"
#include "lists/list_input.h"
#include "lists/output.h"
#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"

namespace stdlookup::lists {
namespace {

namespace fs = std::filesystem;
using workbook::failure;

// The record holds the lines of the list the run writes, in order, each marked looked up ("+ ")
// or not ("- "), line breaks in a number escaped.
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

// For each of `lines`, the index of the line of `held` it is, held being a copy of lines in
// order, or -1 for a line that is not in the copy. None when held has a line lines have not.
std::optional<std::vector<int>> match_lines(const std::vector<std::string>& lines,
                                            const std::vector<std::string>& held) {
  std::size_t next = 0;
  std::vector<int> matched(lines.size(), -1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (next < held.size() && held[next] == lines[i]) matched[i] = static_cast<int>(next++);
  }
  if (next != held.size()) return std::nullopt;
  return matched;
}

std::vector<std::string> numbers_of(const std::vector<UserListLine>& lines) {
  std::vector<std::string> numbers;
  for (const UserListLine& line : lines) numbers.push_back(line.number);
  return numbers;
}

// Which lines of `written` the record says were looked up; all without a record.
std::vector<bool> recorded_done(const std::vector<UserListLine>& written,
                                const std::optional<std::vector<RecordLine>>& record) {
  std::vector<bool> done(written.size(), !record);
  if (!record) return done;
  std::vector<std::string> recorded;
  for (const RecordLine& line : *record) recorded.push_back(line.number);
  // The record's lines are the written ones in order; those it lacks were not looked up.
  std::size_t next = 0;
  for (std::size_t j = 0; j < written.size(); ++j) {
    if (next < recorded.size() && recorded[next] == written[j].number)
      done[j] = (*record)[next++].done;
  }
  return done;
}

}  // namespace

Status write_resume_record(const std::string& out, const std::vector<UserListLine>& lines,
                           const std::vector<bool>& done) {
  std::string text(kRecordHeader);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += done[i] ? "+ " : "- ";
    for (char c : lines[i].number) {
      text += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    text += '\n';
  }
  const Text problem = failure_of(replace_file(record_path(out), content_writer(text)));
  if (!problem.empty()) return failure(gbk_to_utf8(problem));
  return {};
}

void remove_resume_record(const std::string& out) {
  std::error_code error;
  fs::remove(native_path(record_path(out)), error);
}

Result<Resumed> resume_update(const std::string& list, const std::string& out,
                              const std::string& column, const std::string& sheet,
                              const std::vector<UserListLine>& lines) {
  Resumed resumed{std::vector<bool>(lines.size()),
                  std::vector<std::optional<ResultValues>>(lines.size())};
  std::error_code error;
  const bool copy = !fs::equivalent(native_path(list), native_path(out), error);
  if (copy && !fs::exists(native_path(out), error)) return resumed;  // nothing written yet
  OpenedList held = failure({});
  if (copy && !(held = open_user_list(out, column, sheet)).ok()) {
    return failure(
        tr("--resume: cannot go on from {1}: {2}", {table_cell(out), table_cell(held.error())}));
  }
  // What the interrupted run wrote: the list itself, or a copy of it that must be this one's.
  const std::vector<UserListLine>& written = copy ? (*held)->lines() : lines;
  const auto matched = match_lines(numbers_of(lines), numbers_of(written));
  if (!matched) {
    return failure(
        tr("--resume: {1} is not a copy of {2} (its lines are not the list's, in order); leave "
           "--resume out to start again",
           {table_cell(out), table_cell(list)}));
  }
  const auto record = read_record(out);
  resumed.recorded = record.has_value();
  const std::vector<bool> written_done = recorded_done(written, record);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int j = (*matched)[i];
    if (j < 0 || !written_done[static_cast<std::size_t>(j)]) continue;
    resumed.done[i] = true;
    ++resumed.count;
    if (copy) resumed.results[i] = written[static_cast<std::size_t>(j)].before;
  }
  return resumed;
}

Status update_target_problem(const std::string& out) {
  ReplaceOptions in_place;
  in_place.in_place = true;
  for (const auto& [path, options] :
       {std::pair{out, in_place}, std::pair{record_path(out), ReplaceOptions()}}) {
    if (Text problem = replacement_problem(path, options); !problem.empty())
      return failure(gbk_to_utf8(problem));
  }
  return open_elsewhere(out);
}

Result<std::vector<Place>> places_of(const std::string& list, const std::string& column,
                                     const std::string& sheet, const std::string& label,
                                     const std::vector<UserListLine>& lines) {
  std::vector<Place> places(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) places[i].row = lines[i].row;
  if (label.empty()) return places;
  auto bytes = read_input_bytes(list);
  if (!bytes.ok()) return bytes.failed();
  const ListKind kind = list_kind(list, *bytes);
  const auto read = read_list_numbers(std::move(*bytes), kind, column, sheet, label);
  if (!read.ok()) return read.failed();
  if (read->labels.size() == lines.size()) {
    for (std::size_t i = 0; i < lines.size(); ++i) places[i].label = read->labels[i];
  }
  return places;
}

}  // namespace stdlookup::lists

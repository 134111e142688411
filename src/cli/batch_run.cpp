#include "batch_run.h"

#include <algorithm>
#include <atomic>
#include <numeric>

#include "batch_output.h"
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "lookup/batch.h"
#include "lookup/number_cleanup.h"
#include "runtime/gbk.h"
#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

std::atomic<bool> stop{false};

extern "C" void on_stop(int) {
  stop = true;
  cancel_lookups();  // ends the request in flight too
}

// A pause (between tries, after each line) that Ctrl-C cuts short.
void interruptible_wait(std::chrono::milliseconds total) {
  using namespace std::chrono;
  const auto end = steady_clock::now() + total;
  for (auto now = steady_clock::now(); !stop && now < end; now = steady_clock::now()) {
    const auto left = duration_cast<milliseconds>(end - now).count();
    pause(static_cast<int>(std::clamp<long long>(left, 1, 50)));
  }
}

}  // namespace

void Batch::run(const std::vector<int>& todo,
                const std::function<void(int line, OutputRow)>& on_row) {
  Progress progress(static_cast<int>(todo.size()), !options_.quiet && stderr_is_terminal());
  const auto line = [&todo](int index) { return todo[static_cast<std::size_t>(index)]; };
  BatchRun run;
  run.pause_ms = options_.delay_ms;
  run.retries = options_.retries;
  run.wait = interruptible_wait;
  run.cancel = &stop;
  run.on_line = [&](int index, const Text&) { progress.show(index, query_of(line(index))); };
  run.on_row = [&](const BatchRow& looked_up) {
    OutputRow row = output_row(line(looked_up.index), looked_up);
    if (row.failed) {
      any_failed_ = true;
      progress.finish();
      warn(failure_message(row.query, row.reason, row.http_status));
    }
    on_row(line(looked_up.index), std::move(row));
  };
  // A polite kill or a closed terminal ends the run as Ctrl-C does: the rows done are kept.
  catch_stop_signals(on_stop);
  run_batch(
      static_cast<int>(todo.size()), [&](int index) { return line_to_look_up(line(index)); }, run);
  progress.finish();
  release_stop_signals();
}

bool Batch::interrupted() {
  return stop;
}

std::string Batch::query_of(int line) const {
  const std::string shown = given_[static_cast<std::size_t>(line)].shown;
  return options_.normalize ? normalize_number(shown) : shown;
}

Text Batch::line_to_look_up(int line) const {
  return options_.normalize ? utf8_to_gbk(query_of(line))
                            : given_[static_cast<std::size_t>(line)].gbk;
}

OutputRow Batch::output_row(int line, const BatchRow& looked_up) const {
  OutputRow row;
  row.record = looked_up.record;
  row.failed = looked_up.result.failed;
  row.reason = looked_up.result.reason;
  row.http_status = looked_up.result.status;
  row.query = query_of(line);
  if (options_.normalize) row.line = given_[static_cast<std::size_t>(line)].shown;
  if (options_.retries > 0) row.tries = looked_up.tries;
  return row;
}

std::vector<int> line_range(int first, int last) {
  std::vector<int> lines(static_cast<std::size_t>(std::max(last - first, 0)));
  std::iota(lines.begin(), lines.end(), first);
  return lines;
}

bool report_changes(const ChangeReport& report, const Options& options) {
  make_emitter(options.format, print, stdout_is_terminal())->report(report);
  return report.abolished();
}

int batch_exit_code(const Batch& batch, bool newly_abolished) {
  if (Batch::interrupted()) return kInterrupted;
  if (newly_abolished) return kNewlyAbolished;
  return batch.any_failed() ? kSomeFailed : kAllAnswered;
}

}  // namespace stdlookup::cli

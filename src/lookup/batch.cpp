#include "lookup/batch.h"

#include "runtime/system.h"

namespace stdlookup {

int run_batch(int count, const std::function<Text(int index)>& line_at, const BatchRun& run) {
  const auto wait = run.wait ? run.wait : [](std::chrono::milliseconds time) {
    pause(static_cast<int>(time.count()));
  };
  const auto cancelled = [&run] { return run.cancel != nullptr && run.cancel->load(); };
  // Retries must see a page that is no standard's page as the failure it is.
  const PageFetcher fetch =
      run.retries > 0 ? with_retries(standard_pages_only(run.fetch), run.retries, wait) : run.fetch;
  clear_lookup_cookies();
  int rows = 0;
  for (int index = 0; index < count && !cancelled(); ++index) {
    const Text line = line_at(index);
    if (run.on_line) run.on_line(index, line);
    BatchRow row;
    row.index = index;
    row.result = lookup_standard(line, [&](const Text& url) {
      FetchedPage page = fetch(url);
      row.tries = page.tries;
      return page;
    });
    if (cancelled() && row.result.failed) break;  // cut short, not failed: no row
    row.record = batch_record(row.result, line);
    wait(std::chrono::milliseconds(run.pause_ms));
    if (run.on_row) run.on_row(row);
    ++rows;
  }
  return rows;
}

}  // namespace stdlookup

#include "lookup/actions.h"

#include "lookup/batch.h"
#include "lookup/query_url.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "runtime/window_services.h"

namespace stdlookup {

using namespace literals;

void single_query(Controls& controls, const PageFetcher& fetch) {
  Text number = controls.edit_text(kNumberInput);
  clear_lookup_cookies();
  LookupResult result = lookup_standard(number, fetch);
  const StandardRecord& fields = result.page.fields;
  controls.set_edit_text(kNumberBox, fields.number);
  controls.set_edit_text(kNameBox, fields.chinese_name);
  // A page with neither status word shows 标签5's layout caption again, never the previous
  // standard's status beside empty fields; a failed request says so.
  const Text status = single_query_status(result);
  controls.set_caption(kStatusLabel, status.empty() ? "标准状态"_gbk : status);
  if (result.page.abolished) message_box("该标准作废"_gbk, kMbOk);
  controls.set_edit_text(kDateBox, fields.implementation_date);
  controls.set_edit_text(kDepartmentBox, fields.publishing_department);
}

void batch_query(Controls& controls, const BatchOptions& options) {
  const TextArray lines = batch_lines(controls.edit_text(kBatchInput));
  const int count = lines.count();
  BatchRun run;
  run.fetch = options.fetch;
  run.pause_ms = options.pause_ms;
  run.on_line = [&](int, const Text&) { controls.set_progress_maximum(kProgressBar, count); };
  run.on_row = [&](const BatchRow& row) {
    controls.together([&] {
      const int written = controls.list_insert_row(kResultList, "");
      controls.list_set_cell(kResultList, written, 0, row.record.number);
      controls.list_set_cell(kResultList, written, 1, row.record.chinese_name);
      controls.list_set_cell(kResultList, written, 2, row.record.implementation_date);
      controls.list_set_cell(kResultList, written, 3, row.record.status);
      controls.set_progress_position(kProgressBar, row.index + 1);
    });
  };
  run_batch(
      count, [&lines](int index) { return lines[index + 1]; }, run);
}

void open_detail_page(Controls& controls) {
  open_in_browser(query_url(controls.edit_text(kNumberInput)));
}

void download_search(Controls& controls, const PageFetcher& fetch) {
  DownloadResult result = find_download(controls.edit_text(kNumberInput), fetch);
  if (!result.found) {
    // Nothing found: 按钮6 must not go on opening the previous standard's file. The link is
    // emptied and the button shows its layout caption again.
    controls.set_caption(kDownloadLinkButton, "查找中"_gbk);
    controls.set_edit_text(kDownloadLinkBox, "");
    return;
  }
  controls.set_caption(kDownloadLinkButton, "找到了，点此下载"_gbk);
  controls.set_edit_text(kDownloadLinkBox, result.download_link);
  pause(200);
}

void open_download_link(Controls& controls) {
  open_in_browser(controls.edit_text(kDownloadLinkBox));
}

}  // namespace stdlookup

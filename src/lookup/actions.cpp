#include "lookup/actions.h"

#include "lookup/query_url.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "web/cookie_store.h"

namespace stdlookup {

using namespace literals;

void single_query(Controls& controls, const PageFetcher& fetch) {
  Text number = controls.edit_text(kNumberInput);
  clear_cookie_files();
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
  clear_cookie_files();
  int done = 0;
  for (const Text& line : lines) {
    controls.set_progress_maximum(kProgressBar, count);
    LookupResult result = lookup_standard(line, options.fetch);
    pause(options.pause_ms);
    const StandardRecord record = batch_record(result, line);
    ++done;
    controls.together([&] {
      int row = controls.list_insert_row(kResultList, "");
      controls.list_set_cell(kResultList, row, 0, record.number);
      controls.list_set_cell(kResultList, row, 1, record.chinese_name);
      controls.list_set_cell(kResultList, row, 2, record.implementation_date);
      controls.list_set_cell(kResultList, row, 3, record.status);
      controls.set_progress_position(kProgressBar, done);
    });
  }
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

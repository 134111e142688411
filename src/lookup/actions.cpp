#include "lookup/actions.h"

#include "lookup/query_url.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "web/cookie_store.h"

namespace stdlookup {

using namespace literals;

void single_query(Controls& controls, const PageFetcher& fetch) {
  Text number = controls.edit_text("编辑框1");
  clear_cookie_files();
  LookupResult result = lookup_standard(number, fetch);
  const StandardRecord& fields = result.page.fields;
  controls.set_edit_text("编辑框2", fields.number);
  controls.set_edit_text("编辑框3", fields.chinese_name);
  // 标签5 keeps its caption when the page holds neither word; a failed request says so.
  if (result.failed) controls.set_caption("标签5", status_failed());
  if (result.page.current) controls.set_caption("标签5", status_current());
  if (result.page.abolished) {
    controls.set_caption("标签5", status_abolished());
    message_box("该标准作废"_gbk, kMbOk);
  }
  controls.set_edit_text("编辑框5", fields.implementation_date);
  controls.set_edit_text("编辑框6", fields.publishing_department);
}

void batch_query(Controls& controls, const BatchOptions& options) {
  const TextArray lines = batch_lines(controls.edit_text("编辑框7"));
  const int count = lines.count();
  clear_cookie_files();
  int done = 0;
  for (const Text& line : lines) {
    controls.set_progress_maximum("进度条1", count);
    LookupResult result = lookup_standard(line, options.fetch);
    pause(options.pause_ms);
    const StandardRecord& fields = result.page.fields;
    const Text status = batch_status(result);
    ++done;
    controls.together([&] {
      int row = controls.list_insert_row("超级列表框1", "");
      controls.list_set_cell("超级列表框1", row, 0, fields.number);
      controls.list_set_cell("超级列表框1", row, 1, fields.chinese_name);
      controls.list_set_cell("超级列表框1", row, 2, fields.implementation_date);
      controls.list_set_cell("超级列表框1", row, 3, status);
      controls.set_progress_position("进度条1", done);
    });
  }
}

void download_search(Controls& controls, const PageFetcher& fetch) {
  DownloadResult result = find_download(controls.edit_text("编辑框1"), fetch);
  if (!result.found) return;  // the previous link and caption stay
  controls.set_caption("按钮6", "找到了，点此下载"_gbk);
  controls.set_edit_text("编辑框4", result.download_link);
  pause(200);
}

void open_download_link(Controls& controls) {
  open_in_browser(controls.edit_text("编辑框4"));
}

}  // namespace stdlookup
